// ASCII letter case, the only case the registry's names are compared in here: Windows folds
// more of Unicode, but every name the system uses is ASCII, and folding only A-Z keeps two
// spellings of one name in Windows-1252 and in UTF-8 equal to each other.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace platform::ascii {

constexpr char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// The value of a hexadecimal digit in either case, -1 for any other character.
constexpr int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The text with A-Z made lower case.
inline std::string Fold(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = Lower(c);
    return folded;
}

}  // namespace platform::ascii
