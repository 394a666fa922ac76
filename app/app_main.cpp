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

using platform::refuse;

// Why an argument that fits a path does not resolve, for the user.
const char* why_unresolved(const char* argument) {
    const char* last = platform::find_last_separator(argument);
    if (last != nullptr && last[1] == '\0') return "ends in a separator; listing the Favorites folder";
    if (platform::entry_type(argument) == platform::EntryType::none)
        return "no such file or folder; listing the Favorites folder";
    return "has no long form of at most 259 bytes; listing the Favorites folder";
}

// Turns the tail into the resolved argument; when it names nothing the
// argument stays empty, and the user is told what is listed instead.
void resolve_argument(const char* tail, char (&resolved)[PATH_BUFFER]) {
    const std::string_view given = unquoted(text_of(tail));
    char argument[PATH_BUFFER];
    if (given.empty()) return;
    if (!copy_text(argument, given)) platform::report(tail, "longer than 259 bytes; listing the Favorites folder");
    else if (!expand_long_path(argument, resolved, PATH_BUFFER)) platform::report(tail, why_unresolved(argument));
}

bool names_a_file(const char* resolved) {
    return resolved[0] != '\0' && !(platform::file_attributes(resolved) & platform::ATTRIBUTE_DIRECTORY);
}

// Text mode: the links page beside the input, named after it.
bool write_links_page_of(const char* input) {
    char links_page[PATH_BUFFER];
    if (!concat_text(links_page, {input, ".html"}))
        return refuse(input, "its links page name would be longer than 259 bytes");
    return extract_links(input, links_page) == 0;
}

// The folder of a page that has no Desktop folder to go to: where the
// system keeps a home (POSIX), its Desktop folder when there is one, else
// the home itself, never beside an installed program; otherwise the
// program's own folder (whose text ends in a separator).
void folder_without_desktop(const ProgramLocation& program, char (&folder)[PATH_BUFFER]) {
    char home[PATH_BUFFER];
    char desktop[PATH_BUFFER];
    if (!platform::home_folder(home, sizeof home)) concat_text(folder, {program.drive, program.directory});
    else if (concat_text(desktop, {home, platform::separator(), "Desktop"}) &&
             platform::entry_type(desktop) == platform::EntryType::folder)
        copy_text(folder, text_of(desktop));
    else copy_text(folder, text_of(home));
}

// kobu.txt: beside the program, else (POSIX) the user's own.
bool configuration_path(const ProgramLocation& program, char (&configuration)[PATH_BUFFER]) {
    if (!concat_text(configuration, {program.drive, program.directory, "kobu.txt"})) return false;
    char own[PATH_BUFFER];
    if (platform::user_configuration("kobu.txt", own, sizeof own) &&
        platform::entry_type(configuration) == platform::EntryType::none)
        copy_text(configuration, text_of(own));
    return true;
}

// Where the favorites page goes: the Desktop, else the folder above; kobu.txt
// (its path goes to `configuration`) may name another path.  A path that
// would not fit is refused, never cut short.
bool favorites_output_path(const ProgramLocation& program, char (&configuration)[PATH_BUFFER],
                           char (&output)[PATH_BUFFER]) {
    char folder[PATH_BUFFER];
    char default_output[PATH_BUFFER];
    const int desktop_found = get_shell_folder("Desktop", folder);
    if (desktop_found == 2) return refuse("Desktop", "names no folder the program can reach");  // never a look-alike's
    if (desktop_found == 1) folder_without_desktop(program, folder);
    if (!concat_text(default_output, {folder, platform::separator(), "kobu.html"}))
        return refuse(folder, "kobu.html there would be longer than 259 bytes");
    if (!configuration_path(program, configuration))
        return refuse(program.directory, "kobu.txt there would be longer than 259 bytes");
    if (!platform::read_profile_string(configuration, "kobu", "html", default_output, output, sizeof output))
        return refuse(configuration, "its html= value is longer than 259 bytes");
    if (output[0] == '\0') return refuse(configuration, "its html= value is empty");
    return true;
}

// Writes the favorites page of `listing_root` to `output_path`, never over
// `configuration`; false unless every byte of it was written.
bool write_favorites_page(const char* output_path, const char* listing_root, const char* configuration) {
    PageFile page;
    if (!page.begin(output_path, {configuration})) return false;
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
    if (resolved[0] == '\0' && !favorites_usable) {
        platform::report("Favorites", "names no folder the program can reach");
        return 1;
    }

    ProgramLocation program{};
    char configuration[PATH_BUFFER];
    char output[PATH_BUFFER];
    if (!locate_program(program)) {
        platform::report("", "the program's own path is unknown or longer than 259 bytes");
        return 1;
    }
    if (!favorites_output_path(program, configuration, output)) return 1;
    if (!write_favorites_page(output, resolved[0] != '\0' ? resolved : favorites, configuration)) return 1;
    if (open_after) platform::shell_open(output);
    return 0;
}
