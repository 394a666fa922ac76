#include "sjis/sjis.h"

#include <cstring>
#include <string_view>

// The search lets strchr find candidate bytes and settles whether a
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
