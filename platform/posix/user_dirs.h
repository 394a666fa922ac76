// The reader of the xdg user-dirs file, which stands in for the registry's
// shell folders on POSIX.  It works line by line over a LineReader, so a file
// of any size or content is read in bounded memory.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/streams.h"

// Looks up `variable` (e.g. "XDG_DESKTOP_DIR") in a user-dirs file: a line
// VAR="$HOME/..." or VAR="/absolute" with backslash escapes, or VAR="" for
// a value that is present but empty; the last
// assignment wins, as when the file is sourced by a shell.  False when the
// variable is absent, malformed or its value does not fit `cap`.
bool user_dirs_lookup(LineReader& reader, std::string_view variable, std::string_view home, char* out, std::size_t cap);
