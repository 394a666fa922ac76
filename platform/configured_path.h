// The path a profile file (kobu.txt) names, in whichever reading of its
// bytes names it, the same on every system.  A file marked as UTF-8 or
// UTF-16 holds Unicode; unmarked bytes are the code page's text (932), or
// UTF-8 where the whole file is well-formed UTF-8, and a value that reads
// both ways is taken in the reading whose folder exists: the code page's,
// as Windows reads it, when both or neither do.  Each reading becomes a
// path the program's calls take (platform::path_from_unicode and
// platform::path_from_code_page).
#pragma once

#include <cstddef>
#include <string_view>

// The value of `key` in `section` of `file` as a path, into `out`: the
// `fallback` when the file (or one larger than SMALL_FILE_LIMIT), section
// or key is absent, or when neither reading holds the value.  False, with
// `out` untouched, for a path that does not fit `cap` or a value too long
// for a path.
bool read_configured_path(const char* file, std::string_view section, std::string_view key, const char* fallback,
                          char* out, std::size_t cap);
