// The Unicode forms text files arrive in: UTF-8, UTF-16 (either byte order)
// and the UTF-7 of Internet shortcuts' Unicode sections.  Readers decode with
// these where they read; every decoder writes UTF-8 and never more than the
// room it is given.  Pure functions, no heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// How the bytes of a file are to be taken, from the byte-order mark it begins with.
enum class TextEncoding {
    bytes,    // no mark: the ANSI code page, or UTF-8 where a line reads as such
    utf8,     // EF BB BF
    utf16le,  // FF FE
    utf16be,  // FE FF
};

// The encoding the mark at the start of `start` names, and the mark's length
// (0 for none).  `start` needs the file's first three bytes, or all of a
// shorter file.
TextEncoding encoding_of_mark(std::string_view start, std::size_t& mark_length);

// What stands in for a character that cannot be decoded (an unpaired
// surrogate, a cut-off unit): U+FFFD, which is no ASCII byte in UTF-8.
inline constexpr std::uint32_t REPLACEMENT_CHARACTER = 0xFFFD;

// The results of utf8_next besides a code point.
inline constexpr std::uint32_t UTF8_INVALID = 0xFFFFFFFFu;     // not well-formed here
inline constexpr std::uint32_t UTF8_INCOMPLETE = 0xFFFFFFFEu;  // well-formed, but the text ends inside it

// Decodes the character at `p` (before `end`) and moves `p` past it; on
// UTF8_INVALID past its first byte, on UTF8_INCOMPLETE to `end`.  Overlong
// forms, surrogates and values above U+10FFFF are invalid.
std::uint32_t utf8_next(const char*& p, const char* end);

// True when `text` is well-formed UTF-8, but for a character cut off at its
// end and, when it `continues` a text cut off before it, up to three
// continuation bytes at its start.
bool is_utf8(std::string_view text, bool continues = false);

// True when `text` holds a character beyond ASCII and is well-formed UTF-8
// throughout, its last character whole: a name or path to show as Unicode.
bool is_unicode_text(std::string_view text);

// Writes `code_point` as UTF-8 at `out` (1 to 4 bytes; room for 4 needed) and
// returns the end.
char* put_utf8(std::uint32_t code_point, char* out);

// Turns the UTF-16 units of `in` (`size` bytes) into UTF-8 at `out`, which
// has room for (size + 1) / 2 * 3 bytes.  Returns how many bytes of `in` were
// used and sets `written`.  Unless `last`, a trailing half unit or high
// surrogate is left over for the next call; an unpaired surrogate or a lone
// last byte becomes U+FFFD.  `out` may lie over `in` when it is at least
// size / 2 bytes before it: every unit is read before its bytes are written.
std::size_t utf16_to_utf8(const char* in, std::size_t size, bool big_endian, bool last, char* out,
                          std::size_t& written);

// Decodes UTF-7 text into UTF-8 at `out` (capacity `cap`, no NUL written)
// and sets `length`.  False, for input that is no UTF-7 (a byte from 0x80
// up) or a result that does not fit.  An unpaired surrogate becomes U+FFFD.
bool utf7_to_utf8(std::string_view text, char* out, std::size_t cap, std::size_t& length);
