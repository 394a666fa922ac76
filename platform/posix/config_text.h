// Readers of the small configuration texts the POSIX build consults: profile
// files ("kobu.txt") and the xdg user-dirs file.  Both work line by line over
// a LineReader, so a file of any size or content is read in bounded memory.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/streams.h"

// Profile-file lookup with the rules Windows users know: section and key
// names compared without regard to letter case, the first match wins, blanks
// around names and values are trimmed, one pair of surrounding quotes is
// removed, lines starting with ';' are comments.  Writes the value (or
// `fallback` when the section or key is absent); false, with `out`
// untouched, when that does not fit `cap`.
bool profile_lookup(LineReader& reader, std::string_view section, std::string_view key, std::string_view fallback,
                    char* out, std::size_t cap);

// The same lookup in the file at `path`; a file that cannot be read, or one
// larger than SMALL_FILE_LIMIT, gives the fallback.
bool profile_file_lookup(const char* path, std::string_view section, std::string_view key, std::string_view fallback,
                         char* out, std::size_t cap);

// Looks up `variable` (e.g. "XDG_DESKTOP_DIR") in a user-dirs file: a line
// VAR="$HOME/..." or VAR="/absolute" with backslash escapes, or VAR="" for
// a value that is present but empty; the last
// assignment wins, as when the file is sourced by a shell.  False when the
// variable is absent, malformed or its value does not fit `cap`.
bool user_dirs_lookup(LineReader& reader, std::string_view variable, std::string_view home, char* out, std::size_t cap);
