// The reader of profile files ("kobu.txt"), with the rules Windows' own
// profile calls follow: section and key names compared without regard to
// letter case, the first section of a name and the first key in it count,
// blanks around names and values trimmed, one pair of quotes around a
// value removed, lines beginning with ';' are comments, CR LF, LF or a lone
// CR ends a line, a byte-order mark at the start is passed over (the line
// reader's work, which also turns UTF-16 into UTF-8).  A section name runs
// to the line's last ']'; a key line without '=' is that key without a value
// (the fallback).
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/streams.h"

// The name of the section that `line` begins, blanks around it and the
// line trimmed; false for a line that begins none.
inline bool section_line(std::string_view line, std::string_view& name) {
    // Most lines begin no section: only their start is looked at.
    std::size_t open = 0;
    while (open < line.size() && is_blank(line[open])) ++open;
    if (open == line.size() || line[open] != '[') return false;
    const std::size_t close = line.rfind(']');  // only blanks lie before the '['
    if (close == std::string_view::npos) return false;
    name = trim_blanks(slice(line, open + 1, close - open - 1));
    return true;
}

// Writes the value of `key` in `section` (or `fallback` when the section or
// key is absent, then `found`, if given, is false); false, with `out`
// untouched, when that does not fit `cap`.
bool profile_lookup(LineReader& reader, std::string_view section, std::string_view key, std::string_view fallback,
                    char* out, std::size_t cap, bool* found = nullptr);
