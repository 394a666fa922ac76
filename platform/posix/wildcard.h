// Folder-search name matching as Windows does it: '*' matches any run of
// bytes, '?' one byte, and ASCII letters match regardless of case.
#pragma once

#include <string_view>

bool wildcard_match(std::string_view pattern, std::string_view name);

inline bool has_wildcard(std::string_view pattern) {
    for (char c : pattern)
        if (c == '*' || c == '?') return true;
    return false;
}
