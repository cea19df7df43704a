#pragma once

#include "engine/notes/Tuning.h"

#include <iosfwd>

namespace trov {

// A tuning read from a Scala scale file ("scl"): "!" comment lines, a description line, a count line, then
// one line per degree, either cents (a number with a ".") or a ratio ("3/2", "2").
// Threads: as `Tuning`.
class TuningSCL : public Tuning {
public:
    // The longest line kept; the rest of a longer line is skipped.
    static constexpr std::size_t kMaxLineLength = 4096;

    TuningSCL() = default;

    // False for a file that cannot be read or is not a valid scale; the tuning is then left as it was and
    // the reason is logged.
    bool load(const File& file) override;
    // The same from a stream.
    bool parse(std::istream& in);
};

} // namespace trov
