// Folder-search names as Windows has them.  Matching: '*' matches any run
// of bytes, '?' one byte, and ASCII letters match regardless of case.  Order:
// the order NTFS keeps a folder's names in, and so returns them: each letter
// in its simple upper case, then UTF-16 units.
#pragma once

#include <string_view>

bool wildcard_match(std::string_view pattern, std::string_view name);

// Compares two names as NTFS orders them: a name in UTF-8 by its UTF-16
// units, each character of the Basic Multilingual Plane in its simple upper
// case ("éa" "Éb", and "😀" before "！"); any other name (Shift_JIS, say) by
// its bytes once ASCII letters are upper case ("10" "9" "a-b" "Alpha" "B2"
// "beta" "_x"); a name before the longer ones it begins; names equal so
// (POSIX may hold "a" and "A") by their bytes as they are, so that every
// order of making a folder gives one listing.  Negative, zero or positive,
// as strcmp.
int compare_names(std::string_view a, std::string_view b);

inline bool has_wildcard(std::string_view pattern) {
    for (char c : pattern)
        if (c == '*' || c == '?') return true;
    return false;
}
