#include "platform/posix/user_dirs.h"

#include <cstring>

namespace {

enum class Line { other, value, too_long };

// The value of one user-dirs assignment line for `variable`:
// VAR="$HOME/..." or VAR="/absolute" with backslash escapes, or VAR="" for
// present but empty.  Any other line is no assignment that counts; a value
// too long for a path is one that names no folder the program can use.
Line user_dirs_value(std::string_view line, std::string_view variable, std::string_view home,
                     char (&value)[PATH_BUFFER]) {
    line = trim_blanks(line);
    if (line.size() <= variable.size() || !starts_with(line, variable)) return Line::other;
    line = trim_blanks(from(line, variable.size()));
    if (!starts_with(line, "=")) return Line::other;
    line = trim_blanks(from(line, 1));
    if (!starts_with(line, "\"")) return Line::other;
    line.remove_prefix(1);
    if (starts_with(line, "\""))
        return copy_text(value, "") ? Line::value : Line::other;  // like an empty registry value

    std::string_view prefix;
    if (starts_with(line, "$HOME") && (line.size() == 5 || line[5] == '/' || line[5] == '"')) {
        prefix = home;
        line.remove_prefix(5);
    } else if (!starts_with(line, "/")) {
        return Line::other;  // only $HOME-relative or absolute values count
    }
    char path[PATH_BUFFER];
    if (!copy_text(path, prefix)) return Line::too_long;
    std::size_t n = prefix.size();
    bool fits = true;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') return fits && copy_text(value, std::string_view(path, n)) ? Line::value : Line::too_long;
        if (c == '\\' && i + 1 < line.size()) c = line[++i];
        if (n + 1 >= sizeof path) fits = false;
        else path[n++] = c;
    }
    return Line::other;  // no closing quote
}

}  // namespace

bool user_dirs_lookup(LineReader& reader, std::string_view variable, std::string_view home, char* out,
                      std::size_t cap) {
    char value[PATH_BUFFER];
    bool have = false;
    // Every line is read: a later assignment overrides an earlier one, as
    // when the file is sourced by a shell; one too long for a path leaves
    // the variable absent.
    for_each_text_line(reader, [&](std::string_view line) {
        char candidate[PATH_BUFFER];
        const Line kind = user_dirs_value(line, variable, home, candidate);
        if (kind != Line::other) have = kind == Line::value && copy_text(value, text_of(candidate));
        return true;
    });
    return have && copy_text(out, cap, text_of(value));
}
