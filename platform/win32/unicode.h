// Between the Unicode names Windows keeps and the ANSI byte strings the
// program works in.  A name reaches its file through the ANSI calls only
// when it round-trips through the code page; otherwise the short (8.3)
// form of its path may, and where there is none no ANSI path does.
#pragma once

#include <cstddef>

namespace platform::win32 {

// Room for a Unicode path the program converts (the ANSI calls take at most
// MAX_PATH characters; the extended paths of page files take more).
inline constexpr unsigned long WIDE_PATH = 1024;

// `wide` in the ANSI code page, best fit where it has no character for one
// (what the ANSI calls show), cut to `cap`; true when that round-trips and
// fits, so the ANSI text names exactly `wide`.
bool to_ansi(const wchar_t* wide, char* out, std::size_t cap);

// The ANSI text in Unicode; false when it does not fit.
bool to_wide(const char* ansi, wchar_t* out, std::size_t cap);

// An ANSI path that reaches the file or folder `wide` names: itself when it
// round-trips and fits, else its short form when that does.
enum class Faithful { yes, too_long, no };
Faithful faithful_path(const wchar_t* wide, char* out, std::size_t cap);

}  // namespace platform::win32
