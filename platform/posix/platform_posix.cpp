// The program's operating-system services on POSIX (Linux), standing in for
// the Windows ones: xdg user-dirs for the shell folders, $HOME for the
// Windows directory, KOBU_OPEN for the Ctrl key, xdg-open for the shell.
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/code_page.h"
#include "platform/posix/common.h"
#include "platform/posix/user_dirs.h"
#include "platform/read_guard.h"
#include "platform/utf.h"

extern char** environ;

namespace platform {

std::string_view separator() { return "/"; }

// '/' is never part of a double-byte character, in Shift_JIS or UTF-8.
const char* find_last_separator(const char* path) { return std::strrchr(path, '/'); }

std::string_view drive_of(std::string_view) { return {}; }

namespace {

bool exhausted = false;

// The path the program was started as (relative to the folder it was
// started in, which the run never leaves), or nullptr.
const char* started_as() { return reinterpret_cast<const char*>(getauxval(AT_EXECFN)); }

}  // namespace

void note_failure(int error) {
    if (error == EMFILE || error == ENFILE || error == ENOMEM) exhausted = true;
}

FileIdentity identity_of(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool program_path(char* out, std::size_t cap) {
    // /proc/self/exe, unless that is the dynamic loader the program was
    // started through, or is hidden: then the file it was started as.
    FileIdentity ids[2];
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path);
    if (program_identities(ids) == 2 || n <= 0) {
        if (started_as() == nullptr || realpath(started_as(), path) == nullptr) return false;
        n = static_cast<ssize_t>(std::strlen(path));
    }
    return static_cast<std::size_t>(n) < sizeof path &&
           copy_text(out, cap, std::string_view(path, static_cast<std::size_t>(n)));
}

bool resources_exhausted() { return exhausted; }

namespace {

// Names and paths are UTF-8 under a UTF-8 locale; any other locale, or a
// name that is no UTF-8 (a Shift_JIS tree copied from Windows), is bytes.
bool utf8_locale() {
    static const bool utf8 = locale_is_utf8();
    return utf8;
}

}  // namespace

bool shown_as_unicode(std::string_view text) { return utf8_locale() && is_unicode_text(text); }

int code_page_char(std::uint32_t code_point, char (&out)[2]) { return cp932_char(code_point, out); }

bool shown_path(const char* path, char* out, std::size_t cap, bool& unicode) {
    return posix_shown_path(path, utf8_locale(), out, cap, unicode);
}

bool links_page_path(const char* input, char* out, std::size_t cap) { return posix_links_page_path(input, out, cap); }

std::size_t program_identities(FileIdentity (&ids)[2]) {
    std::size_t told = 0;
    struct stat st;
    if (stat("/proc/self/exe", &st) == 0) ids[told++] = identity_of(st);
    if (started_as() != nullptr && stat(started_as(), &st) == 0 && (told == 0 || !(identity_of(st) == ids[0])))
        ids[told++] = identity_of(st);
    return told;
}

bool control_key_down() {
    const char* v = std::getenv("KOBU_OPEN");
    return v != nullptr && v[0] != '\0' && std::strcmp(v, "0") != 0;
}

bool missing_argument_lists_favorites() { return false; }

namespace {

// $HOME, else the password database's home of the user, as shells take
// it; empty when neither names one.
std::string_view home_path() {
    static char home[PATH_BUFFER];
    static bool known = false;
    if (!known) {
        known = true;
        const std::string_view variable = text_of(std::getenv("HOME"));
        const passwd* user = variable.empty() ? getpwuid(getuid()) : nullptr;
        if (!copy_text(home, user != nullptr ? text_of(user->pw_dir) : variable)) home[0] = '\0';
    }
    return home;
}

// A file of the user's configuration folder: $XDG_CONFIG_HOME when it is
// absolute (a relative one is ignored, as the base-directory rules say),
// else ~/.config.
bool configuration_file(std::string_view name, char (&file)[PATH_BUFFER]) {
    const std::string_view config = text_of(std::getenv("XDG_CONFIG_HOME"));
    return starts_with(config, "/") ? concat_text(file, {config, "/", name})
                                    : !home_path().empty() && concat_text(file, {home_path(), "/.config/", name});
}

}  // namespace

Lookup read_shell_folder(const char* name, char* out, std::size_t cap) {
    std::string_view variable;
    if (std::strcmp(name, "Desktop") == 0) variable = "XDG_DESKTOP_DIR";
    else if (std::strcmp(name, "Favorites") == 0) variable = "XDG_FAVORITES_DIR";
    else return Lookup::missing;

    char file[PATH_BUFFER];
    if (!configuration_file("user-dirs.dirs", file)) return Lookup::missing;
    bool found = false;
    with_small_file_lines(
        file, [&](LineReader& reader) { found = user_dirs_lookup(reader, variable, home_path(), out, cap); });
    return found ? Lookup::found : Lookup::missing;
}

bool windows_directory(char* out, std::size_t cap) { return home_folder(out, cap) == Lookup::found; }

Lookup home_folder(char* out, std::size_t cap) {
    if (home_path().empty()) return Lookup::unusable;
    return copy_text(out, cap, home_path()) ? Lookup::found : Lookup::missing;
}

bool user_configuration(const char* name, char* out, std::size_t cap) {
    char relative[PATH_BUFFER];
    char file[PATH_BUFFER];
    return concat_text(relative, {"kobu/", name}) && configuration_file(relative, file) &&
           copy_text(out, cap, text_of(file));
}

Conversion path_from_unicode(const char* utf8, char* out, std::size_t cap) {
    return posix_path_from_unicode(utf8, out, cap);
}

Conversion path_from_code_page(const char* text, char* out, std::size_t cap) {
    return posix_path_from_code_page(text, utf8_locale(), out, cap);
}

std::uint32_t file_attributes(const char* path) {
    struct stat st;
    if (path[0] == '\0' || stat(path, &st) != 0) return ATTRIBUTES_INVALID;
    return S_ISDIR(st.st_mode) ? ATTRIBUTE_DIRECTORY : ATTRIBUTE_NORMAL;
}

bool long_name_of(const char* path, char (&name)[PATH_BUFFER]) {
    // `*` and `?` are ordinary bytes of a POSIX name: an entry named exactly
    // so is that entry, never another that the pattern would match.
    const char* slash = find_last_separator(path);
    const std::string_view last = text_of(slash ? slash + 1 : path);
    struct stat st;
    if (last.empty()) return false;  // a trailing separator names no entry
    if (lstat(path, &st) == 0) return copy_text(name, last);
    FolderSearch search;
    FolderEntry entry{};
    if (!begin_folder_search(search, path, entry)) return false;
    end_folder_search(search);
    return copy_text(name, text_of(entry.name));
}

bool file_identity(const char* path, FileIdentity& id) {
    struct stat st;
    const int at = relative_to_open_folder(path);
    if (fstatat(at, path, &st, 0) != 0) {
        note_failure(errno);
        return false;
    }
    id = identity_of(st);
    return true;
}

bool open_file_identity(FileHandle file, FileIdentity& id) {
    struct stat st;
    if (fstat(static_cast<int>(file), &st) != 0) return false;
    id = identity_of(st);
    return true;
}

EntryType entry_type(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) return EntryType::none;
    return S_ISREG(st.st_mode) ? EntryType::file : S_ISDIR(st.st_mode) ? EntryType::folder : EntryType::other;
}

FileHandle open_for_reading(const char* path) {
    // The type first: opening a FIFO would release a writer blocked on it
    // and throw its data away.  Non-blocking all the same, should the entry
    // change in between; its type is checked again once open.
    if (entry_type(path) != EntryType::file) return NO_FILE;
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        note_failure(errno);
        return NO_FILE;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return NO_FILE;
    }
    read_guard::note(identity_of(st));
    return fd;
}

std::uint64_t file_size(FileHandle file) {
    struct stat st;
    return fstat(static_cast<int>(file), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

long read_bytes(FileHandle file, char* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = read(static_cast<int>(file), buffer, size);
        if (n >= 0) return static_cast<long>(n);
        if (errno != EINTR) return -1;
    }
}

bool write_bytes(FileHandle file, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = write(static_cast<int>(file), data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool close_file(FileHandle file) { return close(static_cast<int>(file)) == 0; }

FileHandle standard_output() { return fcntl(STDOUT_FILENO, F_GETFD) == -1 ? NO_FILE : STDOUT_FILENO; }

void report(const char* path, const char* cause) {
    const char* reason = cause != nullptr ? cause : std::strerror(errno);
    if (path[0] == '\0') std::fprintf(stderr, "kobu: %s\n", reason);
    else std::fprintf(stderr, "kobu: %s: %s\n", path, reason);
}

void shell_open(const char* path) {
    // An absolute path, so that no page name can pass for an option; the
    // opener's own messages go nowhere, as the program's do.
    char absolute[4096];
    if (path[0] != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd) == nullptr || !concat_text(absolute, {cwd, "/", path})) return;
        path = absolute;
    }
    char program[] = "xdg-open";
    char* argv[] = {program, const_cast<char*>(path), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    pid_t pid;
    posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
}

}  // namespace platform
