#include "sjis/sjis.h"

#include <cstring>
#include <string_view>

// The searches let strchr or memchr find candidate bytes and settle whether
// a candidate begins a character by looking back over the lead bytes just
// before it.  `from` is always a known character start at or before the
// candidate and only moves forward, so no byte is looked back over twice.

namespace {

inline unsigned byte_at(const char* p) { return static_cast<unsigned char>(*p); }

// Whether `pos` begins a character; moves `from` up to a start at or
// before `pos` (when `pos` does not begin one, the byte before it does).
inline bool starts_character(const char*& from, const char* pos) {
    const bool start = sjis_is_char_start(from, pos);
    from = start ? pos : pos - 1;
    return start;
}

}  // namespace

const char* sjis_find_last_char(const char* text, unsigned character) {
    character &= 0xFFFFu;
    const unsigned first = character < 0x100u ? character : character >> 8;
    // A single byte that is a lead byte, or a pair whose first byte is not,
    // is never a character of its own.
    if (first == 0 || sjis_is_lead_byte(first) != (character >= 0x100u)) return nullptr;

    const char* last = nullptr;
    const char* from = text;
    for (const char* c = text; (c = std::strchr(c, static_cast<int>(first))) != nullptr; ++c) {
        if (!starts_character(from, c)) continue;
        if (character < 0x100u || (c[1] != '\0' && byte_at(c + 1) == (character & 0xFFu))) last = c;
    }
    return last;
}

namespace {

// How rare a byte is in the texts searched, higher for rarer: the search
// lets memchr/strchr look for the pattern's rarest byte (the ':' of
// "http://"), so most of the text is passed over at memchr speed.
constexpr int rarity(unsigned char c) {
    const unsigned char lower = static_cast<unsigned char>(c | 0x20);
    if (lower >= 'a' && lower <= 'z') return 0;
    if ((c >= '0' && c <= '9') || c == ' ' || c == '/' || c == '.' || c >= 0x80) return 1;
    return 2;
}

std::size_t anchor_of(std::string_view pattern) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < pattern.size(); ++i)
        if (rarity(static_cast<unsigned char>(pattern[i])) > rarity(static_cast<unsigned char>(pattern[best])))
            best = i;
    return best;
}

// An empty pattern, or a lone lead byte, matches at the start of any text.
bool matches_anywhere(std::string_view pattern) {
    return pattern.empty() || (pattern.size() == 1 && sjis_is_lead_byte(byte_at(pattern.data())));
}

enum class Compared { match, differs, text_ends };

// The first candidate that matches and begins a character.  Candidates are
// the places `anchor` bytes before each occurrence of the anchor byte:
// `next(p)` gives the next occurrence at or after p whose candidate lies in
// the text; `compare(c)` compares the pattern at candidate c.  Once the text
// ends inside a candidate, no later one can hold the pattern.
template <typename Next, typename Compare>
const char* first_aligned_match(const char* text, std::size_t anchor, Next next, Compare compare) {
    const char* from = text;
    for (const char* a = next(text); a != nullptr; a = next(a + 1)) {
        const char* c = a - anchor;
        const Compared r = compare(c);
        if (r == Compared::text_ends) return nullptr;
        if (r == Compared::match && starts_character(from, c)) return c;
    }
    return nullptr;
}

}  // namespace

const char* sjis_find_substring(const char* text, const char* pattern) {
    const std::string_view p = pattern;
    if (matches_anywhere(p)) return text;
    const std::size_t anchor = anchor_of(p);
    const int anchor_byte = static_cast<unsigned char>(p[anchor]);
    auto next = [&](const char* from) {
        while ((from = std::strchr(from, anchor_byte)) != nullptr && static_cast<std::size_t>(from - text) < anchor)
            ++from;
        return from;
    };
    auto compare = [&](const char* c) {
        // The bytes before the anchor byte lie inside the text; the rest is
        // compared up to the text's NUL.
        std::size_t k = 0;
        while (k < p.size() && c[k] == p[k]) ++k;
        return k == p.size() ? Compared::match : c[k] == '\0' ? Compared::text_ends : Compared::differs;
    };
    return first_aligned_match(text, anchor, next, compare);
}

const char* sjis_find_substring(std::string_view text, std::string_view pattern) {
    if (matches_anywhere(pattern)) return text.data();
    if (text.size() < pattern.size()) return nullptr;
    const std::size_t anchor = anchor_of(pattern);
    const char* const first = text.data() + anchor;                                    // first anchor place
    const char* const stop = text.data() + text.size() - pattern.size() + anchor + 1;  // past the last
    auto next = [&](const char* from) {
        if (from < first) from = first;
        return from < stop
                   ? static_cast<const char*>(std::memchr(from, pattern[anchor], static_cast<std::size_t>(stop - from)))
                   : nullptr;
    };
    auto compare = [&](const char* c) {
        return std::memcmp(c, pattern.data(), pattern.size()) == 0 ? Compared::match : Compared::differs;
    };
    return first_aligned_match(text.data(), anchor, next, compare);
}
