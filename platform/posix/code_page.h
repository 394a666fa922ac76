// What the POSIX program knows of the page's code page (932, Shift_JIS as
// Windows has it) and of the names it is given: the characters code page 932
// holds, from the C library's converter, and whether the locale's names are
// UTF-8.  Shared with the test double.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/platform.h"

// The bytes of `code_point` in code page 932 (1 or 2), or 0 when it has
// none that reads back as the very same character.
int cp932_char(std::uint32_t code_point, char (&out)[2]);

// True when the locale the environment names for characters (LC_ALL, else
// LC_CTYPE, else LANG) is a UTF-8 one, as on every desktop Linux.
bool locale_is_utf8();

// True when `locale` (a locale name such as "ja_JP.UTF-8") names UTF-8.
bool names_utf8(std::string_view locale);

// A POSIX path as the page shows it: its bytes, to be shown as Unicode when
// `utf8_locale` and they are UTF-8.  False when it does not fit `cap`.
bool posix_shown_path(const char* path, bool utf8_locale, char* out, std::size_t cap, bool& unicode);

// The links page beside `input`, within a path buffer as every path the
// program holds.
bool posix_links_page_path(const char* input, char* out, std::size_t cap);

// A path written in UTF-8, as the POSIX calls take it: itself.
platform::Conversion posix_path_from_unicode(const char* utf8, char* out, std::size_t cap);

// A path written in code page 932, as the POSIX calls take it: in UTF-8
// under a UTF-8 locale, and as its bytes otherwise or where it is no code
// page 932 text (a name is bytes, whatever they are).
platform::Conversion posix_path_from_code_page(const char* text, bool utf8_locale, char* out, std::size_t cap);
