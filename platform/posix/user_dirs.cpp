#include "platform/posix/user_dirs.h"

#include <cstring>

namespace {

// The value of one user-dirs assignment line for `variable`:
// VAR="$HOME/..." or VAR="/absolute" with backslash escapes, or VAR="" for
// present but empty.  False for any other line, or a value too long for a path.
bool user_dirs_value(std::string_view line, std::string_view variable, std::string_view home,
                     char (&value)[PATH_BUFFER]) {
    line = trim_blanks(line);
    if (line.size() <= variable.size() || !starts_with(line, variable)) return false;
    line = trim_blanks(from(line, variable.size()));
    if (!starts_with(line, "=")) return false;
    line = trim_blanks(from(line, 1));
    if (!starts_with(line, "\"")) return false;
    line.remove_prefix(1);
    if (starts_with(line, "\"")) return copy_text(value, "");  // like an empty registry value

    std::string_view prefix;
    if (starts_with(line, "$HOME") && (line.size() == 5 || line[5] == '/' || line[5] == '"')) {
        prefix = home;
        line.remove_prefix(5);
    } else if (!starts_with(line, "/")) {
        return false;  // only $HOME-relative or absolute values count
    }
    char path[PATH_BUFFER];
    if (!copy_text(path, prefix)) return false;
    std::size_t n = prefix.size();
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') return copy_text(value, std::string_view(path, n));
        if (c == '\\' && i + 1 < line.size()) c = line[++i];
        if (n + 1 >= sizeof path) return false;
        path[n++] = c;
    }
    return false;  // no closing quote
}

}  // namespace

bool user_dirs_lookup(LineReader& reader, std::string_view variable, std::string_view home, char* out,
                      std::size_t cap) {
    char value[PATH_BUFFER];
    bool have = false;
    // Every line is read: a later assignment overrides an earlier one, as
    // when the file is sourced by a shell.
    for_each_text_line(reader, [&](std::string_view line) {
        char candidate[PATH_BUFFER];
        if (user_dirs_value(line, variable, home, candidate)) have = copy_text(value, text_of(candidate));
        return true;
    });
    return have && copy_text(out, cap, text_of(value));
}
