#include "platform/config_text.h"

#include <cstring>

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

char fold(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

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

void profile_lookup(LineReader& reader, std::string_view section, std::string_view key,
                    std::string_view fallback, char* out, std::size_t cap) {
    bool found = false;
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
        std::string_view v = trim(from(line, eq + 1));
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = slice(v, 1, v.size() - 2);
        copy_text_cut(out, cap, v);
        found = true;
        return false;
    });
    if (!found) copy_text_cut(out, cap, fallback);
}

bool user_dirs_lookup(LineReader& reader, std::string_view variable, std::string_view home, char* out,
                      std::size_t cap) {
    char value[PATH_BUFFER];
    bool have = false;
    for_each_line(reader, [&](std::string_view line) {
        line = trim(line);
        if (line.size() <= variable.size() || !starts_with(line, variable)) return true;
        line = trim(from(line, variable.size()));
        if (line.empty() || line.front() != '=') return true;
        line = trim(from(line, 1));
        if (line.empty() || line.front() != '"') return true;
        line.remove_prefix(1);

        char path[PATH_BUFFER];
        std::size_t n = 0;
        if (starts_with(line, "\"")) {
            value[0] = '\0';  // present but empty, like an empty registry value
            have = true;
            return true;
        }
        if (starts_with(line, "$HOME") && (line.size() == 5 || line[5] == '/' || line[5] == '"')) {
            if (home.size() >= sizeof path) return true;
            std::memcpy(path, home.data(), home.size());
            n = home.size();
            line.remove_prefix(5);
        } else if (line.empty() || line.front() != '/') {
            return true;  // only $HOME-relative or absolute values count
        }
        bool closed = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            char c = line[i];
            if (c == '"') {
                closed = true;
                break;
            }
            if (c == '\\' && i + 1 < line.size()) c = line[++i];
            if (n + 1 >= sizeof path) return true;  // too long for a path: not a usable value
            path[n++] = c;
        }
        if (!closed) return true;
        path[n] = '\0';
        std::memcpy(value, path, n + 1);
        have = true;
        return true;  // a later assignment overrides this one
    });
    return have && copy_text(out, cap, value);
}
