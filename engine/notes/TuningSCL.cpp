#include "engine/notes/TuningSCL.h"

#include "engine/notes/LineReader.h"
#include "framework/File.h"

#include <charconv>
#include <cmath>
#include <istream>
#include <new>
#include <string>
#include <system_error>

namespace trov {

namespace {

// The next line that is not a comment.
bool readContentLine(LineReader& in, std::string& line) {
    while (in.next(line))
        if (line.empty() || line[0] != '!')
            return true;
    return false;
}

std::size_t skipBlanks(const std::string& text, std::size_t at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    return at;
}

// The leading decimal integer from at (blanks and a "+" allowed before it); 0 when there is none, and
// saturated rather than overflowing.
long long leadingInteger(const std::string& text, std::size_t at) {
    at = skipBlanks(text, at);
    if (at < text.size() && text[at] == '+')
        ++at;
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data() + at, end, value);
    if (result.ec == std::errc::result_out_of_range)
        return text[at] == '-' ? -1 : (1LL << 62);
    return value;
}

// The ratio of a degree line; 0 when the line gives none (a non-positive, infinite or undefined ratio, or
// cents out of the range of double).
double degreeRatio(const std::string& line) {
    double ratio = 0.0;
    if (line.find('.') != std::string::npos) {
        std::size_t at = skipBlanks(line, 0);
        if (at < line.size() && line[at] == '+')
            ++at;
        double cents = 0.0;
        // A value beyond the range of double is left unparsed (read as 0) by from_chars: refuse it.
        if (std::from_chars(line.data() + at, line.data() + line.size(), cents).ec ==
            std::errc::result_out_of_range)
            return 0.0;
        ratio = std::pow(2.0, cents / 1200.0);
    } else {
        const long long numerator = leadingInteger(line, 0);
        const std::size_t slash = line.find('/');
        const long long denominator = slash == std::string::npos ? 1 : leadingInteger(line, slash + 1);
        if (denominator == 0)
            return 0.0;
        ratio = static_cast<double>(numerator) / static_cast<double>(denominator);
    }
    return std::isfinite(ratio) && ratio > 0.0 ? ratio : 0.0;
}

// A line as a message quotes it: its blanks trimmed, cut short.
std::string quoted(const std::string& line) {
    constexpr std::size_t kMostShown = 40;
    const std::size_t first = line.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const std::string trimmed = line.substr(first, line.find_last_not_of(" \t\r\n") + 1 - first);
    return trimmed.size() <= kMostShown ? trimmed : trimmed.substr(0, kMostShown) + "...";
}

} // namespace

bool TuningSCL::load(const File& file) {
    File scale(file);
    // Checked before opening: opening a pipe would wait for a writer.
    if (!scale.isRegularFile() || !scale.openRead() || scale.getStream() == nullptr)
        return refuse(!scale.exists()          ? "it does not exist"
                      : !scale.isRegularFile() ? std::string("it is ") + File::kNotRegularText
                                               : "it cannot be opened");
    const bool loaded = parse(*scale.getStream());
    scale.close();
    return loaded;
}

bool TuningSCL::parse(std::istream& in) {
    LineReader lines(in, kMaxLineLength);
    std::string description;
    std::string line;
    std::vector<double> ratios;
    try {
        if (!readContentLine(lines, description))
            return refuse("it holds no description line");
        while (!description.empty() && (description.back() == '\r' || description.back() == '\n'))
            description.pop_back();
        if (!readContentLine(lines, line))
            return refuse("it has no line giving the number of notes");
        const long long count = leadingInteger(line, 0);
        if (count <= 0)
            return refuse("its number of notes (\"" + quoted(line) + "\") is no positive number");
        // Every degree needs a line of its own, so the count cannot make us read or hold more than the
        // stream has.
        for (long long degree = 0; degree < count; ++degree) {
            if (!readContentLine(lines, line))
                return refuse("it ends after " + std::to_string(degree) + " of the " + std::to_string(count) +
                              " notes it announces");
            const double ratio = degreeRatio(line);
            if (ratio == 0.0)
                return refuse("note " + std::to_string(degree + 1) + " (\"" + quoted(line) +
                              "\") is neither cents nor a positive ratio");
            ratios.push_back(ratio);
        }
    } catch (const std::exception& exception) {
        return refuse(std::string("it could not be read (") + exception.what() + ")");
    }
    description_ = std::move(description);
    ratios_ = std::move(ratios);
    refusal_.clear();
    return true;
}

bool TuningSCL::refuse(const std::string& reason) {
    refusal_ = reason;
    return false;
}

} // namespace trov
