#include "app/app.h"
#include "favorites/favorites_page.h"
#include "links/links_page.h"
#include "platform/page_file.h"
#include "platform/platform.h"

namespace {

// Where the program lives: the drive ("C:", empty when there is none) and
// the folder with its leading and trailing separator.
struct ProgramLocation {
    char drive[3];
    char directory[256];
};

// Splits the program's own path.  Without it there is no configuration path
// (and no fallback output folder) that could be trusted.
bool locate_program(ProgramLocation& program) {
    char path[PATH_BUFFER];
    if (!platform::program_path(path, sizeof path)) return false;
    const std::string_view drive = platform::drive_of(path);
    const char* after_drive = path + drive.size();
    const char* last = platform::find_last_separator(after_drive);
    const std::string_view directory =
        last ? std::string_view(after_drive, static_cast<std::size_t>(last - after_drive) + 1) : std::string_view();
    return copy_text(program.drive, drive) && copy_text(program.directory, directory);
}

// The Favorites folder: the shell folder, else the Windows directory's
// "favorites"; empty when neither is known.  False when the shell folder
// names no path the program can reach.
bool find_favorites(char (&favorites)[PATH_BUFFER]) {
    const int found = get_shell_folder("Favorites", favorites);
    if (found != 1) return found == 0;
    char windows[PATH_BUFFER];
    if (!platform::windows_directory(windows, sizeof windows) ||
        !concat_text(favorites, {windows, platform::separator(), "favorites"}))
        favorites[0] = '\0';
    return true;
}

// A whole tail wrapped in one pair of double quotes (as the shell passes a
// dropped file whose path holds a space) names the path inside them.
std::string_view unquoted(std::string_view tail) {
    if (tail.size() >= 2 && tail.front() == '"' && tail.back() == '"' &&
        slice(tail, 1, tail.size() - 2).find('"') == std::string_view::npos)
        return slice(tail, 1, tail.size() - 2);
    return tail;
}

// Turns the tail into the resolved argument (left empty when it names nothing).
void resolve_argument(const char* tail, char (&resolved)[PATH_BUFFER]) {
    char argument[PATH_BUFFER];
    if (copy_text(argument, unquoted(text_of(tail)))) expand_long_path(argument, resolved, PATH_BUFFER);
}

bool names_a_file(const char* resolved) {
    return resolved[0] != '\0' && !(platform::file_attributes(resolved) & platform::ATTRIBUTE_DIRECTORY);
}

// Text mode: the links page beside the input, named after it.
bool write_links_page_of(const char* input) {
    char links_page[PATH_BUFFER];
    return concat_text(links_page, {input, ".html"}) && extract_links(input, links_page) == 0;
}

// Where the favorites page goes: the Desktop, else the program's folder;
// kobu.txt beside the program may name another path.  A path that would not
// fit is refused, never cut short.
bool favorites_output_path(const ProgramLocation& program, char (&output)[PATH_BUFFER]) {
    char configuration[PATH_BUFFER];
    char desktop[PATH_BUFFER];
    char default_output[PATH_BUFFER];
    const int desktop_found = get_shell_folder("Desktop", desktop);
    if (desktop_found == 2) return false;  // never a look-alike's page
    // The program's directory ends in its separator already.
    const bool fits = desktop_found == 0 ? concat_text(default_output, {desktop, platform::separator(), "kobu.html"})
                                         : concat_text(default_output, {program.drive, program.directory, "kobu.html"});
    return fits && concat_text(configuration, {program.drive, program.directory, "kobu.txt"}) &&
           platform::read_profile_string(configuration, "kobu", "html", default_output, output, sizeof output);
}

// Writes the favorites page of `listing_root` to `output_path`, never over
// a file the run reads; false unless every byte of it was written.
bool write_favorites_page(const char* output_path, const char* listing_root) {
    PageFile page;
    if (!page.begin(output_path)) return false;
    OutputStream& out = page.out();
    write_favorites_head(out);
    write_root_heading(out, listing_root);
    // Without any folder to list the page keeps its heading and an empty
    // listing; it never falls back to listing the current drive's root.
    if (listing_root[0] != '\0') write_folder_tree(out, listing_root);
    else out.put("</div>\n");
    write_favorites_foot(out);
    return page.commit();
}

}  // namespace

int get_shell_folder(const char* value_name, char* destination) {
    switch (platform::read_shell_folder(value_name, destination, PATH_BUFFER)) {
        case platform::Lookup::found:
            return 0;
        case platform::Lookup::missing:
            return 1;
        default:
            return 2;
    }
}

int app_main(void* /*instance*/, void* /*previous_instance*/, const char* tail, int /*show_command*/) {
    const bool open_after = platform::control_key_down();

    char favorites[PATH_BUFFER] = "";
    const bool favorites_usable = find_favorites(favorites);

    char resolved[PATH_BUFFER] = "";
    resolve_argument(tail, resolved);
    if (names_a_file(resolved)) return write_links_page_of(resolved) ? 0 : 1;
    if (resolved[0] == '\0' && !favorites_usable) return 1;

    ProgramLocation program{};
    char output[PATH_BUFFER];
    if (!locate_program(program) || !favorites_output_path(program, output)) return 1;
    if (!write_favorites_page(output, resolved[0] != '\0' ? resolved : favorites)) return 1;
    if (open_after) platform::shell_open(output);
    return 0;
}
