// The program's operating-system services on POSIX (Linux), standing in for
// the Windows ones: xdg user-dirs for the shell folders, $HOME for the
// Windows directory, KOBU_OPEN for the Ctrl key, xdg-open for the shell.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/config_text.h"
#include "platform/posix/wildcard.h"

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

bool read_shell_folder(const char* name, char* out, std::size_t cap) {
    std::string_view variable;
    if (std::strcmp(name, "Desktop") == 0) variable = "XDG_DESKTOP_DIR";
    else if (std::strcmp(name, "Favorites") == 0) variable = "XDG_FAVORITES_DIR";
    else return false;

    char file[PATH_BUFFER];
    std::string_view config = text_of(std::getenv("XDG_CONFIG_HOME"));
    bool named = !config.empty() ? concat_text(file, {config, "/user-dirs.dirs"})
                                 : concat_text(file, {home_folder(), "/.config/user-dirs.dirs"});
    if (!named) return false;
    bool found = false;
    with_file_lines(file,
                    [&](LineReader& reader) { found = user_dirs_lookup(reader, variable, home_folder(), out, cap); });
    return found;
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
    bool is_dir = false;
    if (d->d_type == DT_DIR) {
        is_dir = true;
    } else if (d->d_type == DT_LNK || d->d_type == DT_UNKNOWN) {
        struct stat st;
        is_dir = fstatat(dirfd(dir), d->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    entry.attributes = is_dir ? ATTRIBUTE_DIRECTORY : ATTRIBUTE_NORMAL;
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

    if (!has_wildcard(wildcard)) {
        // A plain name: the entry itself when it exists as spelled; otherwise
        // a name that differs only in letter case, as Windows would find it.
        struct stat st;
        if (lstat(pattern, &st) == 0) {
            if (!copy_text(entry.name, wildcard)) return false;
            entry.attributes = file_attributes(pattern) == ATTRIBUTE_DIRECTORY ? ATTRIBUTE_DIRECTORY : ATTRIBUTE_NORMAL;
            search.handle = nullptr;
            return true;
        }
    }
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

bool folder_identity(const char* path, FolderIdentity& id) {
    struct stat st;
    if (stat(path, &st) != 0) return false;
    id.volume = static_cast<std::uint64_t>(st.st_dev);
    id.index = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

FileHandle open_for_reading(const char* path) {
    // Non-blocking, so that opening a FIFO cannot wait for a writer.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return NO_FILE;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return NO_FILE;
    }
    return fd;
}

FileHandle create_for_writing(const char* path) {
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return NO_FILE;
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
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

void shell_open(const char* path) {
    char program[] = "xdg-open";
    char* argv[] = {program, const_cast<char*>(path), nullptr};
    pid_t pid;
    posix_spawnp(&pid, program, nullptr, nullptr, argv, environ);
}

}  // namespace platform
