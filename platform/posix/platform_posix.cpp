// The program's operating-system services on POSIX (Linux), standing in for
// the Windows ones: xdg user-dirs for the shell folders, $HOME for the
// Windows directory, KOBU_OPEN for the Ctrl key, xdg-open for the shell.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/user_dirs.h"
#include "platform/posix/wildcard.h"
#include "platform/profile.h"

extern char** environ;

namespace platform {

std::string_view separator() { return "/"; }

// '/' is never part of a double-byte character, in Shift_JIS or UTF-8.
const char* find_last_separator(const char* path) { return std::strrchr(path, '/'); }

std::string_view drive_of(std::string_view) { return {}; }

bool program_path(char* out, std::size_t cap) {
    char path[PATH_BUFFER];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof path) return false;
    return copy_text(out, cap, std::string_view(path, static_cast<std::size_t>(n)));
}

bool control_key_down() {
    const char* v = std::getenv("KOBU_OPEN");
    return v != nullptr && v[0] != '\0' && std::strcmp(v, "0") != 0;
}

namespace {

std::string_view home_folder() { return text_of(std::getenv("HOME")); }

}  // namespace

Lookup read_shell_folder(const char* name, char* out, std::size_t cap) {
    std::string_view variable;
    if (std::strcmp(name, "Desktop") == 0) variable = "XDG_DESKTOP_DIR";
    else if (std::strcmp(name, "Favorites") == 0) variable = "XDG_FAVORITES_DIR";
    else return Lookup::missing;

    char file[PATH_BUFFER];
    // A relative XDG_CONFIG_HOME is ignored, as the base-directory rules say.
    std::string_view config = text_of(std::getenv("XDG_CONFIG_HOME"));
    bool named = starts_with(config, "/") ? concat_text(file, {config, "/user-dirs.dirs"})
                                          : concat_text(file, {home_folder(), "/.config/user-dirs.dirs"});
    if (!named) return Lookup::missing;
    bool found = false;
    with_small_file_lines(
        file, [&](LineReader& reader) { found = user_dirs_lookup(reader, variable, home_folder(), out, cap); });
    return found ? Lookup::found : Lookup::missing;
}

bool windows_directory(char* out, std::size_t cap) {
    std::string_view home = home_folder();
    return !home.empty() && copy_text(out, cap, home);
}

bool read_profile_string(const char* file, const char* section, const char* key, const char* fallback, char* out,
                         std::size_t cap) {
    return profile_file_lookup(file, section, key, fallback, out, cap);
}

std::uint32_t file_attributes(const char* path) {
    struct stat st;
    if (path[0] == '\0' || stat(path, &st) != 0) return ATTRIBUTES_INVALID;
    return S_ISDIR(st.st_mode) ? ATTRIBUTE_DIRECTORY : ATTRIBUTE_NORMAL;
}

namespace {

// Fills `entry` for `name` in the open folder; false for a name too long
// for an entry.
bool describe(DIR* dir, const dirent* d, FolderEntry& entry) {
    if (!copy_text(entry.name, d->d_name)) return false;
    entry.short_name[0] = '\0';
    entry.faithful = true;  // POSIX names are bytes: the name is the entry
    bool is_dir = false;
    if (d->d_type == DT_DIR) {
        is_dir = true;
    } else if (d->d_type == DT_LNK || d->d_type == DT_UNKNOWN) {
        struct stat st;
        is_dir = fstatat(dirfd(dir), d->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    entry.attributes = (is_dir ? ATTRIBUTE_DIRECTORY : ATTRIBUTE_NORMAL) | (d->d_type == DT_LNK ? ATTRIBUTE_LINK : 0);
    return true;
}

bool next_match(FolderSearch& search, FolderEntry& entry) {
    DIR* dir = static_cast<DIR*>(search.handle);
    while (const dirent* d = readdir(dir)) {
        if (wildcard_match(search.wildcard, d->d_name) && describe(dir, d, entry)) return true;
    }
    return false;
}

}  // namespace

bool begin_folder_search(FolderSearch& search, const char* pattern, FolderEntry& entry) {
    search.handle = nullptr;
    const char* slash = find_last_separator(pattern);
    std::string_view folder = !slash             ? "."
                              : slash == pattern ? "/"
                                                 : std::string_view(pattern, static_cast<std::size_t>(slash - pattern));
    std::string_view wildcard = slash ? slash + 1 : pattern;
    if (wildcard.empty() || !copy_text(search.folder, folder) || !copy_text(search.wildcard, wildcard)) return false;
    DIR* dir = opendir(search.folder);
    if (dir == nullptr) return false;
    search.handle = dir;
    if (next_match(search, entry)) return true;
    closedir(dir);
    search.handle = nullptr;
    return false;
}

bool next_folder_entry(FolderSearch& search, FolderEntry& entry) {
    return search.handle != nullptr && next_match(search, entry);
}

void end_folder_search(FolderSearch& search) {
    if (search.handle != nullptr) closedir(static_cast<DIR*>(search.handle));
    search.handle = nullptr;
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
    if (stat(path, &st) != 0) return false;
    id.volume = static_cast<std::uint64_t>(st.st_dev);
    id.index = static_cast<std::uint64_t>(st.st_ino);
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
    if (fd < 0) return NO_FILE;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return NO_FILE;
    }
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

bool page_target(const char* path, char* out, std::size_t cap) {
    // Through symbolic links, so that the link stays and its target gets the
    // page (a link to nothing yet included).
    char at[PATH_BUFFER];
    if (!copy_text(at, text_of(path))) return false;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(at, &st) != 0 || !S_ISLNK(st.st_mode)) return copy_text(out, cap, text_of(at));
        char target[PATH_BUFFER];
        ssize_t n = readlink(at, target, sizeof target);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return false;
        const std::string_view link(target, static_cast<std::size_t>(n));
        const char* slash = find_last_separator(at);
        const std::string_view folder = link.front() == '/' || slash == nullptr
                                            ? std::string_view()
                                            : std::string_view(at, static_cast<std::size_t>(slash - at) + 1);
        if (!concat_text(at, {folder, link})) return false;
    }
    return false;  // a loop of links
}

bool may_replace(const char* path) { return access(path, W_OK) == 0; }

namespace {

// The page being written under its temporary name, removed if the run is
// stopped by a signal before it replaced the old page.
char pending_page[PATH_BUFFER + 64];
volatile sig_atomic_t page_pending = 0;

extern "C" void remove_pending_page(int signal_number) {
    if (page_pending) unlink(pending_page);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void forget_pending(const char* path) {
    if (page_pending && std::strcmp(path, pending_page) == 0) page_pending = 0;
}

}  // namespace

FileHandle create_new_file(const char* path) {
    static bool handlers = false;
    if (!handlers) {
        for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, remove_pending_page);
        handlers = true;
    }
    page_pending = 0;
    if (!copy_text(pending_page, text_of(path))) return NO_FILE;
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) page_pending = 1;
    return fd >= 0 ? fd : NO_FILE;
}

bool sync_file(FileHandle file) { return fsync(static_cast<int>(file)) == 0; }

bool replace_file(const char* from, const char* to) {
    struct stat st;
    if (stat(to, &st) == 0 && chmod(from, st.st_mode & 07777) != 0) return false;
    if (std::rename(from, to) != 0) return false;
    forget_pending(from);
    return true;
}

bool remove_file(const char* path) {
    const bool removed = unlink(path) == 0;
    forget_pending(path);
    return removed;
}

unsigned long process_id() { return static_cast<unsigned long>(getpid()); }

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
