#include "framework/StringUtils.h"

#include <cctype>

namespace trov {

std::string translateCharacters(const std::string& text, const std::string& from, const std::string& to) {
    std::string result = text;
    if (to.empty())
        return result;
    for (std::size_t i = 0; i < from.size(); ++i) {
        const char target = i < to.size() ? to[i] : to.back();
        if (target == from[i])
            continue;
        for (char& c : result)
            if (c == from[i])
                c = target;
    }
    return result;
}

std::string toLowerCase(const std::string& text) {
    std::string result = text;
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::string toUpperCase(const std::string& text) {
    std::string result = text;
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

std::string unescapeNewlines(const std::string& text) {
    return replaceAll(text, "\\\\n", "\n");
}

std::string replaceAll(const std::string& text, const std::string& search, const std::string& replacement) {
    std::string result = text;
    if (search.empty())
        return result;
    std::size_t at = result.find(search);
    while (at != std::string::npos) {
        result.replace(at, search.size(), replacement);
        at = result.find(search, at + replacement.size());
    }
    return result;
}

std::int32_t hexToInteger(const std::string& text) {
    static const std::string digits = "0123456789abcdef";
    std::uint64_t value = 0;
    for (char c : toLowerCase(text)) {
        const std::size_t digit = digits.find(c);
        if (digit == std::string::npos)
            break;
        value = value * 16 + digit;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::string filterCharacters(const std::string& text, int mode) {
    static const char* const sets[] = {
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-._()!@ ",
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-./?&=",
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789",
    };
    if (mode < 0 || mode > 2)
        return text;
    const std::string allowed = sets[mode];
    std::string result;
    for (char c : text)
        if (allowed.find(c) != std::string::npos)
            result += c;
    return result;
}

std::string asSentence(const std::string& reason) {
    const char last = reason.empty() ? ' ' : reason.back();
    return reason + (last == '.' || last == '!' || last == '?' ? "" : ".");
}

std::string cutWithEllipsis(const std::string& text, std::size_t most) {
    if (text.size() <= most)
        return text;
    std::size_t end = most;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end) + "...";
}

} // namespace trov
