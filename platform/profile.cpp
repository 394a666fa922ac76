#include "platform/profile.h"

namespace {

// One pair of surrounding quotes (double or single) removed.
std::string_view unquoted(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return slice(v, 1, v.size() - 2);
    return v;
}

enum class Step { go_on, found, stop };

struct Lookup {
    std::string_view section, key;
    std::string_view value;
    bool in_section = false;
    bool seen_section = false;

    Step line(std::string_view text) {
        text = trim_blanks(text);
        if (text.empty() || text.front() == ';') return Step::go_on;
        std::string_view name;
        if (section_line(text, name)) {
            // Only the first section of the name counts.
            if (in_section) return Step::stop;
            in_section = !seen_section && same_ignoring_case(name, section);
            seen_section = seen_section || in_section;
            return Step::go_on;
        }
        if (!in_section) return Step::go_on;
        const std::size_t eq = text.find('=');
        if (!same_ignoring_case(trim_blanks(head(text, eq)), key)) return Step::go_on;
        if (eq == std::string_view::npos) return Step::stop;  // the key without a value
        value = unquoted(trim_blanks(from(text, eq + 1)));
        return Step::found;
    }
};

}  // namespace

bool profile_lookup(LineReader& reader, std::string_view section, std::string_view key, std::string_view fallback,
                    char* out, std::size_t cap, bool* found_key) {
    Lookup lookup{section, key, {}};
    bool found = false;
    for_each_text_line(reader, [&](std::string_view line) {
        // A lone CR ends a line too.
        for (;;) {
            const std::size_t cr = line.find('\r');
            const Step step = lookup.line(head(line, cr));
            if (step != Step::go_on) {
                found = step == Step::found;
                return false;
            }
            if (cr == std::string_view::npos) return true;
            line.remove_prefix(cr + 1);
        }
    });
    if (found_key != nullptr) *found_key = found;
    // `value` points into the reader's storage: still valid, as the walk
    // stopped right after it.
    return copy_text(out, cap, found ? lookup.value : fallback);
}
