// The program's operating-system services on POSIX (Linux), standing in for
// the Windows ones: xdg user-dirs for the shell folders, $HOME for the
// Windows directory, KOBU_OPEN for the Ctrl key, xdg-open for the shell.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/code_page.h"
#include "platform/posix/common.h"
#include "platform/posix/user_dirs.h"
#include "platform/profile.h"
#include "platform/read_guard.h"
#include "platform/utf.h"

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

namespace {

bool exhausted = false;

}  // namespace

void note_failure(int error) {
    if (error == EMFILE || error == ENFILE || error == ENOMEM) exhausted = true;
}

FileIdentity identity_of(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
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

bool program_identity(FileIdentity& id) {
    struct stat st;
    if (stat("/proc/self/exe", &st) != 0) return false;
    id = identity_of(st);
    return true;
}

bool control_key_down() {
    const char* v = std::getenv("KOBU_OPEN");
    return v != nullptr && v[0] != '\0' && std::strcmp(v, "0") != 0;
}

namespace {

std::string_view home_variable() { return text_of(std::getenv("HOME")); }

// A file of the user's configuration folder: $XDG_CONFIG_HOME when it is
// absolute (a relative one is ignored, as the base-directory rules say),
// else ~/.config.
bool configuration_file(std::string_view name, char (&file)[PATH_BUFFER]) {
    const std::string_view config = text_of(std::getenv("XDG_CONFIG_HOME"));
    return starts_with(config, "/") ? concat_text(file, {config, "/", name})
                                    : concat_text(file, {home_variable(), "/.config/", name});
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
        file, [&](LineReader& reader) { found = user_dirs_lookup(reader, variable, home_variable(), out, cap); });
    return found ? Lookup::found : Lookup::missing;
}

bool windows_directory(char* out, std::size_t cap) { return home_folder(out, cap); }

bool home_folder(char* out, std::size_t cap) {
    const std::string_view home = home_variable();
    return !home.empty() && copy_text(out, cap, home);
}

bool user_configuration(const char* name, char* out, std::size_t cap) {
    char relative[PATH_BUFFER];
    char file[PATH_BUFFER];
    return concat_text(relative, {"kobu/", name}) && configuration_file(relative, file) &&
           copy_text(out, cap, text_of(file));
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

namespace {

// Whether this process may follow the link `link` (its lstat `st`): not one
// another user planted in a sticky folder anyone may write to, unless the
// folder is that user's own, as the kernel rules for the links it follows.
bool may_follow(const char* link, const struct stat& st) {
    if (st.st_uid == geteuid()) return true;
    char folder[PATH_BUFFER];
    const char* slash = find_last_separator(link);
    const std::string_view name = slash == nullptr ? std::string_view(".")
                                  : slash == link  ? std::string_view("/")
                                                   : std::string_view(link, static_cast<std::size_t>(slash - link));
    struct stat dir;
    if (!copy_text(folder, name) || stat(folder, &dir) != 0) return false;
    const bool shared = (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
    return !shared || dir.st_uid == st.st_uid;
}

}  // namespace

bool page_target(const char* path, char* out, std::size_t cap) {
    // Through symbolic links, so that the link stays and its target gets the
    // page (a link to nothing yet included).
    char at[PATH_BUFFER];
    if (!copy_text(at, text_of(path))) return false;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(at, &st) != 0 || !S_ISLNK(st.st_mode)) return copy_text(out, cap, text_of(at));
        if (!may_follow(at, st)) return false;
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

bool may_replace(const char* path) {
    // access() lets root write anything: a file nobody may write stays all the same.
    struct stat st;
    return access(path, W_OK) == 0 && stat(path, &st) == 0 && (st.st_mode & 0222) != 0;
}

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

// The signals that end a process unless it handles them; one the caller
// set to be ignored (nohup, a script's trap '' HUP) stays ignored.
void handle_stopping_signals() {
    static bool handled = false;
    if (handled) return;
    handled = true;
    for (int s :
         {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGPOLL}) {
        struct sigaction now;
        if (sigaction(s, nullptr, &now) != 0 || now.sa_handler == SIG_IGN) continue;
        struct sigaction on {};
        on.sa_handler = remove_pending_page;
        sigemptyset(&on.sa_mask);
        sigaction(s, &on, nullptr);
    }
    // Past a file-size limit a write fails (EFBIG) rather than ending the
    // run: the page is then abandoned like any other that cannot be written.
    std::signal(SIGXFSZ, SIG_IGN);
}

void forget_pending(const char* path) {
    if (page_pending && std::strcmp(path, pending_page) == 0) page_pending = 0;
}

}  // namespace

FileHandle create_new_file(const char* path) {
    handle_stopping_signals();
    page_pending = 0;
    if (!copy_text(pending_page, text_of(path))) return NO_FILE;
    // Its owner's alone while it is written: it takes the old page's mode
    // only when whole, just before it replaces it.
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        note_failure(errno);
        return NO_FILE;
    }
    page_pending = 1;
    return fd;
}

void write_back(FileHandle file, std::uint64_t offset, std::uint64_t length) {
#ifdef SYNC_FILE_RANGE_WRITE
    // Starts this part, then waits for the part before the previous one:
    // the disk writes while the next parts are being made, and never more
    // than about three parts wait in memory.
    const int fd = static_cast<int>(file);
    sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
    if (offset > length)
        sync_file_range(fd, 0, static_cast<off_t>(offset - length),
                        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
#else
    (void)file, (void)offset, (void)length;
#endif
}

bool adopt_attributes(FileHandle file, const char* target) {
    const int fd = static_cast<int>(file);
    struct stat old;
    if (stat(target, &old) != 0) {
        // No page before it: the mode any new file gets.
        const mode_t mask = umask(0);
        umask(mask);
        return fchmod(fd, 0666 & ~mask) == 0;
    }
    // Owner and group first (a change of owner clears the set-id bits), then
    // the bits.  Root keeps every page's owner, or replaces nothing; anyone
    // else cannot give a file away: the page becomes theirs, as a page they
    // write always has, keeping its group where they belong to it.
    struct stat now;
    if (fstat(fd, &now) != 0) return false;
    if (geteuid() == 0) {
        if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && fchown(fd, old.st_uid, old.st_gid) != 0)
            return false;
    } else if (now.st_gid != old.st_gid) {
        const bool kept_group = fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
        (void)kept_group;  // not one of their groups: their own group's, as any file they make
    }
    return fchmod(fd, old.st_mode & 07777) == 0;
}

bool sync_file(FileHandle file) { return fsync(static_cast<int>(file)) == 0; }

bool replace_file(const char* from, const char* to) {
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
