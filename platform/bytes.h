// Fixed-size byte-string buffers and the bounded helpers that fill them.
//
// Every text the program holds is a NUL-terminated byte string in the ANSI
// code page (Shift_JIS on Japanese Windows) inside a fixed-size buffer.  The
// helpers here never write past a buffer: a result that would not fit is
// refused (false) and the destination is left as it was.
#pragma once

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <string_view>

// A full path including its terminating NUL.
inline constexpr std::size_t PATH_BUFFER = 260;
// The most bytes read of a small file that a run only consults: a shortcut
// is read no further, and a larger configuration file counts as absent, so
// that a huge or sparse file can never hold up a run.
inline constexpr unsigned long long SMALL_FILE_LIMIT = 64 * 1024;

// One line read from a file (at most 5119 bytes) including its NUL.
inline constexpr std::size_t LINE_BUFFER = 5120;

// The text of a NUL-terminated buffer up to its first NUL.
inline std::string_view text_of(const char* s) { return s ? std::string_view(s) : std::string_view(); }

// Slices that never throw (the Windows program carries no exception support).
inline std::string_view head(std::string_view s, std::size_t n) {
    return std::string_view(s.data(), n < s.size() ? n : s.size());
}
inline std::string_view from(std::string_view s, std::size_t pos) {
    return pos < s.size() ? std::string_view(s.data() + pos, s.size() - pos) : std::string_view();
}
inline std::string_view slice(std::string_view s, std::size_t pos, std::size_t n) { return head(from(s, pos), n); }
inline bool starts_with(std::string_view s, std::string_view prefix) { return head(s, prefix.size()) == prefix; }

// Space, tab, CR, LF, VT or FF.
inline bool is_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The text without the blanks around it.
inline std::string_view trim_blanks(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

// True when `text` holds a byte from 0x80 up: a character beyond ASCII.
inline bool holds_high_bytes(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

// Equal but for the letter case of ASCII letters.
inline bool same_ignoring_case(std::string_view a, std::string_view b) {
    auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

// Joins `parts` into `dst` (capacity `cap`, NUL included).  Refuses, leaving
// `dst` untouched, when the result would need `cap` bytes or more.
inline bool concat_text(char* dst, std::size_t cap, std::initializer_list<std::string_view> parts) {
    std::size_t total = 0;
    for (std::string_view p : parts) total += p.size();
    if (cap == 0 || total >= cap) return false;
    // dst may itself be the first or the last part (appending to or
    // prepending to itself): the parts are laid down from the back.
    std::size_t end = total;
    dst[end] = '\0';
    const std::string_view* first = parts.begin();
    for (const std::string_view* p = parts.end(); p != first;) {
        --p;
        end -= p->size();
        if (!p->empty()) std::memmove(dst + end, p->data(), p->size());
    }
    return true;
}

template <std::size_t N>
inline bool concat_text(char (&dst)[N], std::initializer_list<std::string_view> parts) {
    return concat_text(dst, N, parts);
}

inline bool copy_text(char* dst, std::size_t cap, std::string_view src) { return concat_text(dst, cap, {src}); }

template <std::size_t N>
inline bool copy_text(char (&dst)[N], std::string_view src) {
    return concat_text(dst, N, {src});
}

// Copies as much of `src` as fits (at most cap - 1 bytes), always terminating.
inline void copy_text_cut(char* dst, std::size_t cap, std::string_view src) {
    if (cap == 0) return;
    std::size_t n = src.size() < cap - 1 ? src.size() : cap - 1;
    if (n > 0) std::memmove(dst, src.data(), n);
    dst[n] = '\0';
}
