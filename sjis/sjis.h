// Shift_JIS-aware scanning of byte strings.
//
// In Shift_JIS the second byte of a double-byte character may take the value
// of an ASCII character (0x5C backslash, 0x68 'h', ...).  These searches walk
// the text character by character so that a match never begins on such a
// trail byte.  All are pure functions; a "none" result is nullptr.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

// True for 0x81-0x9F and 0xE0-0xFC; only the low 8 bits of `value` count.
constexpr bool sjis_is_lead_byte(unsigned value) {
    return static_cast<unsigned char>((value & 0xFFu) ^ 0x20u) - 0xA1u < 0x3Cu;
}

// Position of the last occurrence of `character` in `text`, or nullptr.
// Values below 0x100 name a single byte; from 0x100 up, a double-byte
// character (high byte first).  Only the low 16 bits of `character` count.
const char* sjis_find_last_char(const char* text, unsigned character);

// True when the byte at `pos` begins a character of the NUL-free text that
// starts at `begin` (`pos` inside the text, not at its end).  Looks back only
// over the run of lead bytes just before `pos`: the byte before that run
// always ends a character.
inline bool sjis_is_char_start(const char* begin, const char* pos) {
    const char* p = pos;
    while (p != begin && sjis_is_lead_byte(static_cast<unsigned char>(p[-1]))) --p;
    return ((pos - p) & 1) == 0;
}

// A pattern made ready for repeated searches: the byte that memchr or
// strchr looks for is its rarest one in ordinary text (the ':' of
// "http://"), so most of the text is passed over at their speed.  Constant
// patterns are made ready at compile time.
struct SjisPattern {
    std::string_view text;
    std::size_t anchor;  // index of the byte looked for

    constexpr SjisPattern(std::string_view pattern) : text(pattern), anchor(0) {  // NOLINT: converts on purpose
        for (std::size_t i = 1; i < pattern.size(); ++i)
            if (rarity(pattern[i]) > rarity(pattern[anchor])) anchor = i;
    }

    // An empty pattern, or a lone lead byte, matches at the start of any text.
    constexpr bool matches_anywhere() const {
        return text.empty() || (text.size() == 1 && sjis_is_lead_byte(static_cast<unsigned char>(text[0])));
    }

private:
    // Higher for rarer: letters are commonest, then digits, blanks, the '/'
    // and '.' of paths and the bytes of Japanese text, then punctuation.
    static constexpr int rarity(char ch) {
        const auto c = static_cast<unsigned char>(ch);
        const auto lower = static_cast<unsigned char>(c | 0x20);
        if (lower >= 'a' && lower <= 'z') return 0;
        if ((c >= '0' && c <= '9') || c == ' ' || c == '/' || c == '.' || c >= 0x80) return 1;
        return 2;
    }
};

namespace sjis_detail {

enum class Compared { match, differs, text_ends };

// The first candidate that matches and begins a character.  Candidates lie
// `anchor` bytes before each occurrence of the anchor byte: `next(p)` gives
// the next occurrence at or after p whose candidate lies in the text;
// `compare(c)` compares the pattern at candidate c.  Once the text ends
// inside a candidate, no later one can hold the pattern.  `from` is always a
// known character start at or before the candidate and only moves forward,
// so no byte is looked back over twice.
template <typename Next, typename Compare>
inline const char* first_aligned_match(const char* text, std::size_t anchor, Next next, Compare compare) {
    const char* from = text;
    for (const char* a = next(text); a != nullptr; a = next(a + 1)) {
        const char* c = a - anchor;
        const Compared r = compare(c);
        if (r == Compared::text_ends) return nullptr;
        if (r == Compared::match) {
            if (sjis_is_char_start(from, c)) return c;
            from = c - 1;  // the byte before a non-start begins a character
        }
    }
    return nullptr;
}

}  // namespace sjis_detail

// Position of the first occurrence of `pattern` in `text`, or nullptr.  The
// first pattern character is aligned to character boundaries; the rest is
// compared byte for byte.  An empty pattern (or a lone lead byte) matches at
// the start of `text`.
inline const char* sjis_find_substring(const char* text, const char* pattern) {
    using sjis_detail::Compared;
    const SjisPattern p(pattern);
    if (p.matches_anywhere()) return text;
    const int anchor_byte = static_cast<unsigned char>(p.text[p.anchor]);
    auto next = [&](const char* at) {
        while ((at = std::strchr(at, anchor_byte)) != nullptr && static_cast<std::size_t>(at - text) < p.anchor) ++at;
        return at;
    };
    auto compare = [&](const char* c) {
        // The bytes before the anchor byte lie inside the text; the rest is
        // compared up to the text's NUL.
        std::size_t k = 0;
        while (k < p.text.size() && c[k] == p.text[k]) ++k;
        return k == p.text.size() ? Compared::match : c[k] == '\0' ? Compared::text_ends : Compared::differs;
    };
    return sjis_detail::first_aligned_match(text, p.anchor, next, compare);
}

// The same search in a text of known length that holds no NUL and begins at
// a character boundary.
inline const char* sjis_find_substring(std::string_view text, const SjisPattern& pattern) {
    using sjis_detail::Compared;
    if (pattern.matches_anywhere()) return text.data();
    if (text.size() < pattern.text.size()) return nullptr;
    const char* const first = text.data() + pattern.anchor;  // first anchor place
    const char* const stop = text.data() + text.size() - pattern.text.size() + pattern.anchor + 1;  // past the last
    auto next = [&](const char* at) {
        if (at < first) at = first;
        return at < stop ? static_cast<const char*>(
                               std::memchr(at, pattern.text[pattern.anchor], static_cast<std::size_t>(stop - at)))
                         : nullptr;
    };
    auto compare = [&](const char* c) {
        return std::memcmp(c, pattern.text.data(), pattern.text.size()) == 0 ? Compared::match : Compared::differs;
    };
    return sjis_detail::first_aligned_match(text.data(), pattern.anchor, next, compare);
}
