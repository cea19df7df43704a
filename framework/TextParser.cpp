#include "framework/TextParser.h"

#include <algorithm>

namespace trov {

void TextParser::addKeyword(const std::string& keyword) {
    entries_.push_back(Entry{keyword, {}, false});
}

std::string TextParser::feed(char c) {
    for (Entry& entry : entries_) {
        auto& positions = entry.positions;
        positions.erase(std::remove_if(positions.begin(), positions.end(),
                                       [&](unsigned& matched) {
                                           if (matched >= entry.keyword.size() || entry.keyword[matched] != c)
                                               return true;
                                           if (++matched == entry.keyword.size()) {
                                               entry.matched = true;
                                               return true;
                                           }
                                           return false;
                                       }),
                        positions.end());
        if (!entry.keyword.empty() && entry.keyword[0] == c) {
            // A one-character keyword completes at once.
            if (entry.keyword.size() == 1)
                entry.matched = true;
            else
                positions.push_back(1);
        }
    }
    for (Entry& entry : entries_) {
        if (entry.matched) {
            entry.matched = false;
            return entry.keyword;
        }
    }
    return std::string();
}

} // namespace trov
