#include "sjis/sjis.h"

#include <cstring>

// Both searches let strchr find the candidate bytes and settle whether a
// candidate begins a character by looking back over the lead bytes just
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

const char* sjis_find_substring(const char* text, const char* pattern) {
    const unsigned p0 = byte_at(pattern);
    if (p0 == 0) return text;
    if (sjis_is_lead_byte(p0) && pattern[1] == '\0') return text;  // a lone lead byte: as if empty

    const char* from = text;
    for (const char* c = text; (c = std::strchr(c, static_cast<int>(p0))) != nullptr; ++c) {
        if (!starts_character(from, c)) continue;
        // The first pattern character is a whole character here (a double-byte
        // one is matched with its second byte, which is not the NUL); the rest
        // is compared byte for byte.  Once the text ends inside the pattern,
        // no later place can hold it.
        std::size_t k = 0;
        while (pattern[k] != '\0' && c[k] == pattern[k]) ++k;
        if (pattern[k] == '\0') return c;
        if (c[k] == '\0') return nullptr;
    }
    return nullptr;
}
