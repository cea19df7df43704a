#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace trov {

// Gathers the document values that parameters refuse while one document is read, so that its reader can
// tell the user which were refused: the log alone says nothing to someone rendering a bank whose volume
// did not read. A scope on the reading thread: while it lives, `Parameter` reports there what it refuses
// on that thread (and still logs it); scopes nest, the innermost collecting. Not for the audio thread.
class RefusedValues {
public:
    // The refused values a message names; the rest it counts.
    static constexpr std::size_t kNamed = 4;

    RefusedValues();
    ~RefusedValues();
    RefusedValues(const RefusedValues&) = delete;
    RefusedValues& operator=(const RefusedValues&) = delete;

    // Records a refused value with the scope of this thread, if it has one.
    static void record(const std::string& name, const std::string& text);

    std::size_t count() const { return count_; }
    // One sentence naming how many values were refused and the first few with their text; empty when
    // none was.
    std::string message() const;

private:
    RefusedValues* outer_;
    std::size_t count_ = 0;
    std::vector<std::pair<std::string, std::string>> named_;
};

} // namespace trov
