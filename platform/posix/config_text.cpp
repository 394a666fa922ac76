#include "platform/posix/config_text.h"

#include <cstring>

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

char fold(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// One pair of surrounding quotes (double or single) removed.
std::string_view unquoted(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return slice(v, 1, v.size() - 2);
    return v;
}

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

// Walks the file's logical lines: the first read of each line, up to its
// first NUL.  The rest of an over-long line is skipped, so its tail can never
// pass for a line of its own.
template <typename Visit>
void for_each_line(LineReader& reader, Visit visit) {
    std::string_view piece;
    bool continuation = false;
    while (reader.next(piece)) {
        bool ends_line = !piece.empty() && piece.back() == '\n';
        if (!continuation && !visit(up_to_nul(piece))) return;
        continuation = !ends_line;
    }
}

}  // namespace

bool profile_lookup(LineReader& reader, std::string_view section, std::string_view key, std::string_view fallback,
                    char* out, std::size_t cap) {
    std::string_view value = fallback;
    bool in_section = false;
    for_each_line(reader, [&](std::string_view line) {
        line = trim(line);
        if (line.empty() || line.front() == ';') return true;
        // A section header needs its closing bracket; without one the line
        // is read like any other, as Windows does.
        std::size_t close = line.front() == '[' ? line.find(']') : std::string_view::npos;
        if (close != std::string_view::npos) {
            in_section = same_name(trim(slice(line, 1, close - 1)), section);
            return true;
        }
        if (!in_section) return true;
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || !same_name(trim(head(line, eq)), key)) return true;
        value = unquoted(trim(from(line, eq + 1)));
        return false;
    });
    // `value` may point into the reader's storage: still valid, as the walk
    // stopped right after it.
    return copy_text(out, cap, value);
}

bool profile_file_lookup(const char* path, std::string_view section, std::string_view key, std::string_view fallback,
                         char* out, std::size_t cap) {
    bool fits = false;
    bool read = with_small_file_lines(
        path, [&](LineReader& reader) { fits = profile_lookup(reader, section, key, fallback, out, cap); });
    return read ? fits : copy_text(out, cap, fallback);
}

namespace {

// The value of one user-dirs assignment line for `variable`:
// VAR="$HOME/..." or VAR="/absolute" with backslash escapes, or VAR="" for
// present but empty.  False for any other line, or a value too long for a path.
bool user_dirs_value(std::string_view line, std::string_view variable, std::string_view home,
                     char (&value)[PATH_BUFFER]) {
    line = trim(line);
    if (line.size() <= variable.size() || !starts_with(line, variable)) return false;
    line = trim(from(line, variable.size()));
    if (!starts_with(line, "=")) return false;
    line = trim(from(line, 1));
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
    for_each_line(reader, [&](std::string_view line) {
        char candidate[PATH_BUFFER];
        if (user_dirs_value(line, variable, home, candidate)) have = copy_text(value, text_of(candidate));
        return true;
    });
    return have && copy_text(out, cap, text_of(value));
}
