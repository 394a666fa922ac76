#include "platform/posix/wildcard.h"

#include <cstddef>

#include "platform/bytes.h"

namespace {

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

unsigned char upper(char c) { return static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); }

}  // namespace

bool wildcard_match(std::string_view pattern, std::string_view name) {
    // The folder writer's patterns, "*" and "*.url": a star and then no
    // wildcard is a suffix compare.
    if (!pattern.empty() && pattern.front() == '*' && !has_wildcard(pattern.substr(1))) {
        const std::string_view suffix = pattern.substr(1);
        return name.size() >= suffix.size() && same_ignoring_case(name.substr(name.size() - suffix.size()), suffix);
    }
    std::size_t p = 0, n = 0;
    std::size_t star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

int compare_names(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i)
        if (upper(a[i]) != upper(b[i])) return upper(a[i]) < upper(b[i]) ? -1 : 1;
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);  // as unsigned bytes
}
