#pragma once

#include "engine/notes/Tuning.h"

#include <iosfwd>
#include <string>

namespace trov {

// A tuning read from a Scala scale file ("scl"): "!" comment lines, a description line, a count line, then
// one line per degree, either cents (a number with a ".") or a ratio ("3/2", "2").
// Threads: as `Tuning`.
class TuningSCL : public Tuning {
public:
    // The longest line kept; the rest of a longer line is skipped.
    static constexpr std::size_t kMaxLineLength = 4096;

    TuningSCL() = default;

    // False for a file that cannot be read (only regular files are opened) or is not a valid scale; the
    // tuning is then left as it was and the reason kept, for a caller that may try the file as something
    // else to log or show once it knows the load failed.
    bool load(const File& file) override;
    // The same from a stream.
    bool parse(std::istream& in);
    // Why the last load or parse refused the file, as a clause ("it ends after 3 of the 12 notes it
    // announces"); empty after one that succeeded.
    const std::string& getRefusal() const { return refusal_; }

private:
    bool refuse(const std::string& reason);

    std::string refusal_;
};

} // namespace trov
