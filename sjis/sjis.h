// Shift_JIS-aware scanning of byte strings.
//
// In Shift_JIS the second byte of a double-byte character may take the value
// of an ASCII character (0x5C backslash, 0x68 'h', ...).  These searches walk
// the text character by character so that a match never begins on such a
// trail byte.  All are pure functions; a "none" result is nullptr.
#pragma once

#include <cstddef>
#include <string_view>

// True for 0x81-0x9F and 0xE0-0xFC; only the low 8 bits of `value` count.
constexpr bool sjis_is_lead_byte(unsigned value) {
    return static_cast<unsigned char>((value & 0xFFu) ^ 0x20u) - 0xA1u < 0x3Cu;
}

// Position of the last occurrence of `character` in `text`, or nullptr.
// Values below 0x100 name a single byte; from 0x100 up, a double-byte
// character (high byte first).  Only the low 16 bits of `character` count.
const char* sjis_find_last_char(const char* text, unsigned character);

// Position of the first occurrence of `pattern` in `text`, or nullptr.  The
// first pattern character is aligned to character boundaries; the rest is
// compared byte for byte.  An empty pattern (or a lone lead byte) matches at
// the start of `text`.
const char* sjis_find_substring(const char* text, const char* pattern);

// The same search in a text of known length that holds no NUL and begins
// at a character boundary.
const char* sjis_find_substring(std::string_view text, std::string_view pattern);

// True when the byte at `pos` begins a character of the NUL-free text that
// starts at `begin` (`pos` inside the text, not at its end).  Looks back only over the run of lead
// bytes just before `pos`: the byte before that run always ends a character.
inline bool sjis_is_char_start(const char* begin, const char* pos) {
    const char* p = pos;
    while (p != begin && sjis_is_lead_byte(static_cast<unsigned char>(p[-1]))) --p;
    return ((pos - p) & 1) == 0;
}
