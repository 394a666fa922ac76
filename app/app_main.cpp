#include "app/app.h"
#include "favorites/favorites_page.h"
#include "links/links_page.h"
#include "platform/configured_path.h"
#include "platform/page_file.h"
#include "platform/platform.h"
#include "platform/read_guard.h"

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

// Resolves one argument as given; false, with `resolved` untouched, when it
// names nothing.  An existing entry whose long form would not fit a path
// (Windows: given in a short form that does) is used as given: it reaches
// that entry, and the pages' headings show its long form all the same.
bool resolve(std::string_view given, char (&resolved)[PATH_BUFFER]) {
    char argument[PATH_BUFFER];
    if (!copy_text(argument, given)) return false;
    if (expand_long_path(argument, resolved, PATH_BUFFER) == 1) return true;
    const char* last = platform::find_last_separator(argument);
    const bool names_an_entry =
        (last == nullptr || last[1] != '\0') && platform::entry_type(argument) != platform::EntryType::none;
    return names_an_entry && copy_text(resolved, text_of(argument));
}

// `given` in a buffer of its own, however long: false when it does not fit
// even there.
bool whole_text(std::string_view given, const char*& text) {
    static char whole[1 << 16];
    text = whole;
    return copy_text(whole, given);
}

// True when `given`, too long for a path, names an existing entry all the
// same (a path the system allows, but longer than the program holds).
bool names_a_long_entry(std::string_view given) {
    const char* text = nullptr;
    return given.size() >= PATH_BUFFER && whole_text(given, text) &&
           platform::entry_type(text) != platform::EntryType::none;
}

// Why an argument (`whole` unless cut short) does not resolve, for the user.
const char* why_unresolved(std::string_view given, bool whole = true) {
    const char* text = nullptr;
    if (!whole || !whole_text(given, text)) return "longer than 259 bytes";
    if (platform::entry_type(text) == platform::EntryType::none) return "No such file or directory";
    const char* last = platform::find_last_separator(text);
    if (last != nullptr && last[1] == '\0') return "ends in a separator";
    return "has no long form of at most 259 bytes";
}

bool names_a_file(const char* resolved) {
    return resolved[0] != '\0' && !(platform::file_attributes(resolved) & platform::ATTRIBUTE_DIRECTORY);
}

// The most parts a run takes.
constexpr std::size_t MOST_PARTS = 16384;

// Where a page goes: `usual`, unless the options ask for another place;
// null for standard output.
const char* page_path(const RunOptions& options, const char* usual) {
    if (options.standard_output) return nullptr;
    return options.output != nullptr ? options.output : usual;
}

// Text mode: the links page beside the input, named after it.
bool write_links_page_of(const char* input, const RunOptions& options) {
    char links_page[platform::PAGE_PATH_BUFFER] = "";
    const char* page = page_path(options, links_page);
    if (page == links_page && !platform::links_page_path(input, links_page, sizeof links_page))
        return refuse(input, "its links page name would be longer than 259 bytes");
    if (extract_links(input, page) != 0) return false;
    if (options.open && page != nullptr) platform::shell_open(page);
    return true;
}

// A tail that names nothing as one path, split into its parts: -1 when it
// is one part, or when no part names anything either where an argument
// that names nothing lists the Favorites folder (Windows), the run going on
// as for one argument.  Otherwise each file's links page, in the order
// given, and one line for each part that names nothing: 0 when every page
// was written, 1 when any was not or a part names nothing (the others are
// written all the same); 1 with nothing written when a part is a folder,
// since several trees make no single page.  A part that names nothing
// never makes the run a favorites run.
int write_pages_of_parts(Arguments& parts, const RunOptions& options) {
    char part[PATH_BUFFER];
    char resolved[PATH_BUFFER];
    bool whole = true;
    std::size_t count = 0;
    std::size_t found = 0;
    char folder[PATH_BUFFER] = "";
    for (parts.rewind(); parts.next(part, whole); ++count) {
        if (!whole || !resolve(part, resolved)) continue;
        ++found;
        if (folder[0] == '\0' && !names_a_file(resolved)) copy_text(folder, text_of(part));
    }
    if (count < 2 || (found == 0 && platform::missing_argument_lists_favorites())) return -1;
    if (options.output != nullptr || options.standard_output) {
        platform::report("-o", "several files cannot share one page: give one file");
        return 2;
    }
    if (folder[0] != '\0') {
        platform::report(folder, "is a folder: list one folder alone, or give only text files");
        return 1;
    }
    if (count > MOST_PARTS) {
        platform::report("", "more than 16384 files at once");
        return 1;
    }
    // Every part is a file the run reads, the later ones included: no page
    // may replace one.
    platform::FileIdentity id;
    for (parts.rewind(); parts.next(part, whole);)
        if (resolve(part, resolved) && platform::file_identity(resolved, id)) read_guard::note(id);
    bool all = true;
    for (parts.rewind(); parts.next(part, whole);) {
        // Resolved again: a part gone since is no page.
        if (!whole || !resolve(part, resolved)) all = refuse(part, why_unresolved(part, whole));
        else if (!write_links_page_of(resolved, options)) all = false;
    }
    return all ? 0 : 1;
}

// The folder of a page that has no Desktop folder to go to: where the
// system keeps a home (POSIX), its Desktop folder when there is one, else
// the home itself, never beside an installed program; otherwise the
// program's own folder (whose text ends in a separator).
void folder_without_desktop(const ProgramLocation& program, char (&folder)[PATH_BUFFER]) {
    char home[PATH_BUFFER];
    char desktop[PATH_BUFFER];
    // The program's folder without the separator its directory ends in.
    const std::string_view directory = program.directory;
    if (platform::home_folder(home, sizeof home) != platform::Lookup::found)
        concat_text(folder, {program.drive, head(directory, directory.empty() ? 0 : directory.size() - 1)});
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
                           char (&output)[platform::PAGE_PATH_BUFFER]) {
    char folder[PATH_BUFFER];
    char default_output[PATH_BUFFER];
    const int desktop_found = get_shell_folder("Desktop", folder);
    if (desktop_found == 2) return refuse("Desktop", "names no folder the program can reach");  // never a look-alike's
    if (desktop_found == 1) folder_without_desktop(program, folder);
    if (!concat_text(default_output, {folder, platform::separator(), "kobu.html"}))
        return refuse(folder, "kobu.html there would be longer than 259 bytes");
    if (!configuration_path(program, configuration))
        return refuse(program.directory, "kobu.txt there would be longer than 259 bytes");
    if (!read_configured_path(configuration, "kobu", "html", default_output, output, sizeof output))
        return refuse(configuration, "its html= value is longer than 259 bytes");
    if (output[0] == '\0') return refuse(configuration, "its html= value is empty");
    return true;
}

// Where the favorites page goes when no other place is asked for (see
// favorites_output_path); false, with the reason told, when there is none.
bool usual_favorites_page(char (&output)[platform::PAGE_PATH_BUFFER]) {
    // A page with no home to go to (POSIX) is never put beside the program.
    char home[PATH_BUFFER];
    if (platform::home_folder(home, sizeof home) == platform::Lookup::unusable)
        return refuse("", "HOME is not set and the password database names no home folder");
    ProgramLocation program{};
    char configuration[PATH_BUFFER];
    if (!locate_program(program)) return refuse("", "the program's own path is unknown or longer than 259 bytes");
    return favorites_output_path(program, configuration, output);
}

// Writes the favorites page of `listing_root` to `output_path` (null: to
// standard output), never over a file the run reads; false unless every
// byte of it was written.
bool write_favorites_page(const char* output_path, const char* listing_root) {
    PageFile page;
    if (!(output_path != nullptr ? page.begin(output_path) : page.begin_standard_output())) return false;
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
    Arguments parts(tail);
    return app_run(tail, parts);
}

int app_run(const char* tail, Arguments& parts, const RunOptions& options) {
    const bool open_after = platform::control_key_down();

    char favorites[PATH_BUFFER] = "";
    const bool favorites_usable = find_favorites(favorites);

    // One path first, spaces and all; then its parts.
    char resolved[PATH_BUFFER] = "";
    const std::string_view given = unquoted(text_of(tail));
    if (!given.empty() && !resolve(given, resolved)) {
        // A file or folder that is there is never taken for the Favorites.
        if (names_a_long_entry(given)) {
            platform::report(tail, "longer than 259 bytes, with no shorter form");
            return 1;
        }
        const int pages = write_pages_of_parts(parts, options);
        if (pages >= 0) return pages;
        // One argument that names nothing: the Favorites folder (Windows),
        // or an error, as for any command.
        if (!platform::missing_argument_lists_favorites()) {
            platform::report(tail, why_unresolved(given));
            return 1;
        }
    }
    if (names_a_file(resolved)) return write_links_page_of(resolved, options) ? 0 : 1;
    if (resolved[0] == '\0' && !favorites_usable) {
        platform::report("Favorites", "names no folder the program can reach");
        return 1;
    }

    char output[platform::PAGE_PATH_BUFFER];
    const char* page = page_path(options, output);
    if (page == output && !usual_favorites_page(output)) return 1;
    if (!write_favorites_page(page, resolved[0] != '\0' ? resolved : favorites)) return 1;
    if ((open_after || options.open) && page != nullptr) platform::shell_open(page);
    return 0;
}
