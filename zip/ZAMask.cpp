#include "ZAMask.h"

namespace {

char Fold(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

bool SameChar(char pattern, char name) {
    return Fold(pattern) == Fold(name);
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!SameChar(a[i], b[i]))
            return false;
    return true;
}

// Wildcard match, backtracking to the last '*' on a mismatch.
bool WildMatch(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || SameChar(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// The name's extension is empty or just "." (the last component has no '.' inside it).
bool HasNoExtension(std::string_view name) {
    const std::size_t dot = name.find_last_of("./\\");
    return dot == std::string_view::npos || name[dot] != '.' || dot + 1 == name.size();
}

} // namespace

ZAMask::ZAMask(std::string_view mask) : FPattern(mask), FEmpty(mask.empty()) {
    if (FEmpty)
        return;
    if (const std::size_t all = FPattern.find("*.*"); all != std::string::npos)
        FPattern = FPattern.substr(0, all) + '*' + FPattern.substr(all + 3);
    FNoExtension = mask.back() == '.';
    if (!FPattern.empty() && FPattern.back() == '.')
        FPattern.pop_back();
    FWildCards = FPattern.find_first_of("*?") != std::string::npos;
    FSeparator = FPattern.find('/') != std::string::npos;
}

bool ZAMask::Matches(std::string_view name) const {
    if (FEmpty)
        return false;
    std::string_view text = name;
    if (!text.empty() && text.back() == '.')
        text.remove_suffix(1);
    const bool matched = FWildCards ? WildMatch(FPattern, text) : SameText(FPattern, text);
    return matched && (!FNoExtension || HasNoExtension(name));
}
