#include <cstring>

#include "app/app.h"
#include "favorites/favorites_page.h"
#include "links/links_page.h"
#include "platform/platform.h"

namespace {

// A whole tail wrapped in one pair of double quotes (as the shell passes a
// dropped file whose path holds a space) names the path inside them.
std::string_view unquoted(std::string_view tail) {
    if (tail.size() >= 2 && tail.front() == '"' && tail.back() == '"' &&
        slice(tail, 1, tail.size() - 2).find('"') == std::string_view::npos)
        return slice(tail, 1, tail.size() - 2);
    return tail;
}

// Turns the tail into the resolved argument (empty when it names nothing).
void resolve_argument(const char* tail, char (&resolved)[PATH_BUFFER]) {
    char argument[PATH_BUFFER];
    if (copy_text(argument, unquoted(text_of(tail)))) expand_long_path(argument, resolved, PATH_BUFFER);
}

// Writes the favorites page of `listing_root` to `output_path`.
int write_favorites_page(const char* output_path, const char* listing_root) {
    platform::FileHandle file = platform::create_for_writing(output_path);
    if (file == platform::NO_FILE) return 1;
    OutputStream out(file);
    write_favorites_head(out);
    write_root_heading(out, listing_root);
    // Without any folder to list the page keeps its heading and an empty
    // listing; it never falls back to listing the current drive's root.
    if (listing_root[0] != '\0') write_folder_tree(out, listing_root);
    else out.put("</div>\n");
    write_favorites_foot(out);
    return out.close() ? 0 : 1;
}

}  // namespace

int get_shell_folder(const char* value_name, char* destination) {
    return platform::read_shell_folder(value_name, destination, PATH_BUFFER) ? 0 : 1;
}

int app_main(void* /*instance*/, void* /*previous_instance*/, const char* tail, int /*show_command*/) {
    const bool open_after = platform::control_key_down();

    char program_path[PATH_BUFFER] = "";
    char program_drive[3] = "";
    char program_directory[256] = "";
    char favorites[PATH_BUFFER] = "";
    char resolved[PATH_BUFFER] = "";
    char desktop[PATH_BUFFER] = "";
    char default_output[PATH_BUFFER] = "";
    char output[LINE_BUFFER] = "";
    char configuration[PATH_BUFFER] = "";

    // Without the program's folder there is no configuration path (and no
    // fallback output folder) that could be trusted.
    const bool program_known =
        platform::program_path(program_path, sizeof program_path) &&
        platform::split_program_path(program_path, program_drive, sizeof program_drive, program_directory,
                                     sizeof program_directory);

    if (get_shell_folder("Favorites", favorites) != 0) {
        char windows[PATH_BUFFER];
        if (!platform::windows_directory(windows, sizeof windows) ||
            !concat_text(favorites, {windows, platform::separator(), "favorites"}))
            favorites[0] = '\0';
    }

    // A file argument is turned into its links page and ends the run.
    resolve_argument(tail, resolved);
    const std::uint32_t attributes = platform::file_attributes(resolved);
    if (resolved[0] != '\0' && !(attributes & platform::ATTRIBUTE_DIRECTORY)) {
        char links_page[PATH_BUFFER];
        if (!concat_text(links_page, {resolved, ".html"})) return 1;
        return extract_links(resolved, links_page);
    }

    // Output path: the Desktop, else the program's folder; kobu.txt beside
    // the program may name another.  A path that would not fit is refused,
    // never cut short.
    bool fits = get_shell_folder("Desktop", desktop) == 0
                    ? concat_text(default_output, {desktop, platform::separator(), "kobu.html"})
                    : concat_text(default_output, {program_drive, program_directory, platform::separator(), "kobu.html"});
    if (!program_known || !fits) return 1;
    if (!concat_text(configuration, {program_drive, program_directory, "kobu.txt"})) return 1;
    platform::read_profile_string(configuration, "kobu", "html", default_output, output, sizeof output);
    if (std::strlen(output) >= PATH_BUFFER) return 1;

    const char* listing_root = resolved[0] != '\0' ? resolved : favorites;
    if (write_favorites_page(output, listing_root) != 0) return 1;
    if (open_after) platform::shell_open(output);
    return 0;
}
