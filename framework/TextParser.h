#pragma once

#include <string>
#include <vector>

namespace trov {

// Recognises keywords in characters that arrive one at a time (keys typed into the editor). Overlapping
// partial matches are followed in parallel; each completed keyword is reported once, one per call, in the
// order the keywords were added. User-interface thread.
class TextParser {
public:
    TextParser() = default;
    virtual ~TextParser() = default;

    void addKeyword(const std::string& keyword);
    // The keyword this character completed (or one completed earlier and not yet reported), else "".
    std::string feed(char c);

private:
    struct Entry {
        std::string keyword;
        std::vector<unsigned> positions; // characters matched by each partial match in progress
        bool matched = false;
    };
    std::vector<Entry> entries_;
};

} // namespace trov
