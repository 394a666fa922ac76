// The place of a page on POSIX (Linux).  The page's folder is opened once,
// reached component by component through the page's links, each checked;
// the old page is held open from then on.  The new page is written to a
// file without a name (O_TMPFILE), linked beside its place only when whole
// and exchanged with the old page in one step, so that a run killed
// outright, or a power cut, leaves nothing behind.
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/platform.h"
#include "platform/posix/common.h"

namespace platform {

namespace {

constexpr int MAX_LINKS = 40;

int fd_of(FileHandle file) { return static_cast<int>(file); }

void close_held(FileHandle& file) {
    if (file != NO_FILE) close(fd_of(file));
    file = NO_FILE;
}

// Whether the entry `st`, met in the folder `dir`, is another user's in a
// sticky folder anyone may write to, and not the folder owner's either:
// such a link is not followed, nor such a page replaced (the rules the
// kernel keeps for such folders where it is told to).
bool planted(FileHandle dir, const struct stat& st) {
    struct stat folder;
    if (fstat(fd_of(dir), &folder) != 0) return true;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return shared && st.st_uid != geteuid() && st.st_uid != folder.st_uid;
}

// Moves the place's folder to `dir` (a new descriptor, or -1 for a failure).
bool enter(PagePlace& place, int dir) {
    if (dir < 0) {
        note_failure(errno);
        return false;
    }
    close_held(place.folder);
    place.folder = dir;
    return true;
}

int open_start(const char* path) { return open(path[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC); }

// The path messages name once the last component, a link, was followed to
// `target`: the target, relative to the link's folder.
void follow_shown(PagePlace& place, std::string_view target) {
    const char* slash = find_last_separator(place.path);
    const std::string_view folder =
        target.front() == '/' || slash == nullptr
            ? std::string_view()
            : std::string_view(place.path, static_cast<std::size_t>(slash - place.path) + 1);
    char shown[PAGE_PATH_BUFFER];
    if (concat_text(shown, {folder, target})) copy_text(place.path, text_of(shown));
}

// The old page, found as `st` and held by `fd`: pinned, held open for
// reading where it may be read (its attributes are read from it).
void pin(PagePlace& place, int fd, const struct stat& st) {
    place.old = S_ISREG(st.st_mode) ? EntryType::file : S_ISDIR(st.st_mode) ? EntryType::folder : EntryType::other;
    place.identity = identity_of(st);
    place.mode = st.st_mode;
    place.owner = st.st_uid;
    place.group = st.st_gid;
    // access() lets root write anything: a file nobody may write stays all the same.
    place.writable = (st.st_mode & 0222) != 0 && faccessat(fd_of(place.folder), place.name, W_OK, 0) == 0;
    place.pinned = fd;
    if (place.old != EntryType::file) return;
    const int readable =
        openat(fd_of(place.folder), place.name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat again;
    if (readable >= 0 && fstat(readable, &again) == 0 && identity_of(again) == place.identity) {
        close(fd);
        place.pinned = readable;
    } else if (readable >= 0) {
        close(readable);
    }
}

// ---- Temporary names ----

// The name the new page has beside its place while it is not yet in place,
// removed should a signal stop the run meanwhile.
char pending_name[PAGE_PATH_BUFFER + 32];
volatile sig_atomic_t pending_folder = -1;

extern "C" void remove_pending_page(int signal_number) {
    if (pending_folder >= 0) unlinkat(pending_folder, pending_name, 0);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// Whether the signal `s` ends a process that has no handler for it (but
// SIGKILL, which no handler stops, and SIGXFSZ, ignored below).
bool ends_the_run(int s) {
    for (int other : {SIGKILL, SIGSTOP, SIGCHLD, SIGCONT, SIGURG, SIGWINCH, SIGTSTP, SIGTTIN, SIGTTOU, SIGXFSZ})
        if (s == other) return false;
    return true;
}

// Every signal that ends a process unless it is handled, the real-time ones
// included; one the caller set to be ignored (nohup, a script's trap '' HUP)
// stays ignored, and one handled already (a sanitizer's) stays so.
void handle_stopping_signals() {
    static bool handled = false;
    if (handled) return;
    handled = true;
    struct sigaction on {};
    on.sa_handler = remove_pending_page;
    sigemptyset(&on.sa_mask);
    for (int s = 1; s <= SIGRTMAX; ++s) {
        struct sigaction now;
        if (ends_the_run(s) && sigaction(s, nullptr, &now) == 0 && now.sa_handler == SIG_DFL)
            sigaction(s, &on, nullptr);
    }
    // Past a file-size limit a write fails (EFBIG) rather than ending the
    // run: the page is then abandoned like any other that cannot be written.
    std::signal(SIGXFSZ, SIG_IGN);
}

std::uint64_t random_part() {
    std::uint64_t random;
    if (getrandom(&random, sizeof random, GRND_NONBLOCK) == sizeof random) return random;
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_nsec) * 0x9E3779B97F4A7C15u ^ static_cast<std::uint64_t>(getpid());
}

// Gives the new page a temporary name beside its place, by `make` (which
// makes the name, never over an existing one): a name taken already, by
// another run or one killed outright, is passed over for another.
template <typename Make>
bool name_temporary(PagePlace& place, Make make) {
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::uint64_t random = random_part();
        for (const bool beside : {false, true}) {
            char name[sizeof pending_name];
            if (!temporary_name(place.name, "", beside, random, name, sizeof name)) continue;
            // No signal between the name made and its noting.
            sigprocmask(SIG_BLOCK, &all, &before);
            const bool made = make(name);
            const int error = errno;
            if (made) {
                std::memcpy(pending_name, name, sizeof name);
                pending_folder = fd_of(place.folder);
                copy_text(place.temporary, text_of(name));
            }
            sigprocmask(SIG_SETMASK, &before, nullptr);
            errno = error;
            if (made) return true;
            if (error == EEXIST) break;
            if (error != ENAMETOOLONG) return false;
        }
    }
    return false;
}

void forget_temporary(PagePlace& place) {
    pending_folder = -1;
    place.temporary[0] = '\0';
}

// Whether the entry `name` of the place's folder is the pinned old page.
bool holds_old_page(const PagePlace& place, const char* name) {
    struct stat st;
    return fstatat(fd_of(place.folder), name, &st, AT_SYMLINK_NOFOLLOW) == 0 && identity_of(st) == place.identity;
}

// Copies the extended attributes of the old page (`from`: held open, or,
// where it could not be opened for reading, through /proc), POSIX ACLs
// included, to the new page.  File capabilities are never carried, as
// set-ID bits are not; an ACL the new file took from its folder goes where
// the old page had none.
bool copy_extended_attributes(int from, int to) {
    static char names[1 << 16];
    static char value[1 << 16];
    static char now[1 << 16];
    char held[32];
    std::snprintf(held, sizeof held, "/proc/self/fd/%d", from);
    ssize_t listed = flistxattr(from, names, sizeof names);
    const bool by_path = listed < 0 && errno == EBADF;
    if (by_path) listed = listxattr(held, names, sizeof names);
    if (listed < 0) return errno == ENOTSUP;
    bool acl = false;
    for (const char* name = names; name < names + listed; name += std::strlen(name) + 1) {
        if (std::strcmp(name, "security.capability") == 0) continue;
        acl = acl || std::strcmp(name, "system.posix_acl_access") == 0;
        const ssize_t size =
            by_path ? getxattr(held, name, value, sizeof value) : fgetxattr(from, name, value, sizeof value);
        if (size < 0 && errno == ENODATA) continue;  // removed since it was listed
        if (size < 0) return false;
        const std::size_t n = static_cast<std::size_t>(size);
        // One the system gave the new file already (an SELinux label) need not be set.
        if (fsetxattr(to, name, value, n, 0) != 0 &&
            !(fgetxattr(to, name, now, sizeof now) == size && std::memcmp(now, value, n) == 0))
            return false;
    }
    if (!acl) fremovexattr(to, "system.posix_acl_access");
    return true;
}

}  // namespace

PlaceRefusal take_page_place(const char* path, PagePlace& place) {
    char rest[PAGE_PATH_BUFFER];  // what is still to walk
    if (!copy_text(place.path, text_of(path)) || !copy_text(rest, text_of(path))) return PlaceRefusal::links;
    if (rest[0] == '\0') {
        errno = ENOENT;
        return PlaceRefusal::system;
    }
    if (!enter(place, open_start(rest))) return PlaceRefusal::system;
    const char* at = rest;
    for (int links = 0;;) {
        while (*at == '/') ++at;
        const char* end = std::strchr(at, '/');
        if (end == nullptr) end = at + std::strlen(at);
        const bool last = *end == '\0';
        // "/" and a path ending in a separator name a folder: "x/" is "x/.".
        const std::string_view component = end == at ? "." : std::string_view(at, static_cast<std::size_t>(end - at));
        if (!copy_text(place.name, component)) {
            errno = ENAMETOOLONG;
            return PlaceRefusal::system;
        }
        const int fd = openat(fd_of(place.folder), place.name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
        struct stat st;
        if (fd < 0 && errno == ENOENT && last) return PlaceRefusal::none;  // a new page
        if (fd < 0 || fstat(fd, &st) != 0) {
            note_failure(errno);
            if (fd >= 0) close(fd);
            return PlaceRefusal::system;
        }
        if (S_ISLNK(st.st_mode)) {
            // Through the link: its text, then what followed it.
            char target[PAGE_PATH_BUFFER];
            const ssize_t n = readlinkat(fd, "", target, sizeof target);
            close(fd);
            if (planted(place.folder, st)) return PlaceRefusal::shared;
            if (++links > MAX_LINKS || n <= 0 || static_cast<std::size_t>(n) >= sizeof target)
                return PlaceRefusal::links;
            const std::string_view link(target, static_cast<std::size_t>(n));
            if (last) follow_shown(place, link);
            if (!concat_text(rest, {link, end})) return PlaceRefusal::links;
            if (link.front() == '/' && !enter(place, open_start(rest))) return PlaceRefusal::system;
            at = rest;
        } else if (!last) {
            if (!S_ISDIR(st.st_mode)) {
                close(fd);
                errno = ENOTDIR;
                return PlaceRefusal::system;
            }
            enter(place, fd);
            at = end;
        } else {
            if (S_ISREG(st.st_mode) && planted(place.folder, st)) {
                close(fd);
                return PlaceRefusal::shared;
            }
            pin(place, fd, st);
            return PlaceRefusal::none;
        }
    }
}

bool create_page(PagePlace& place) {
    handle_stopping_signals();
    const int folder = fd_of(place.folder);
    // Without a name where the file system can, and where the page, once
    // whole, can be linked in (through /proc, if not by itself).  Its
    // owner's alone while it is written: it takes the old page's mode only
    // when whole.
    int fd = access("/proc/self/fd", X_OK) == 0 ? openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600) : -1;
    if (fd < 0 && !name_temporary(place, [&](const char* name) {
            fd = openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            return fd >= 0;
        })) {
        note_failure(errno);
        return false;
    }
    place.file = fd;
    return true;
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

bool adopt_attributes(PagePlace& place) {
    const int fd = fd_of(place.file);
    if (place.old == EntryType::none) {
        // No page before it: the mode any new file gets.
        const mode_t mask = umask(0);
        umask(mask);
        return fchmod(fd, 0666 & ~mask) == 0;
    }
    // Owner and group first (a change of owner clears the set-ID bits), then
    // the bits, then the extended attributes (an ACL holds the group bits).
    // Root keeps every page's owner, or replaces nothing; anyone else cannot
    // give a file away: the page becomes theirs, as a page they write always
    // has, keeping its group where they belong to it.
    struct stat now;
    if (fstat(fd, &now) != 0) return false;
    if (geteuid() == 0) {
        if ((now.st_uid != place.owner || now.st_gid != place.group) && fchown(fd, place.owner, place.group) != 0)
            return false;
    } else if (now.st_gid != place.group) {
        const bool kept_group = fchown(fd, static_cast<uid_t>(-1), place.group) == 0;
        (void)kept_group;  // not one of their groups: their own group's, as any file they make
    }
    return fchmod(fd, place.mode & 01777) == 0 && copy_extended_attributes(fd_of(place.pinned), fd);
}

bool sync_file(FileHandle file) { return fsync(static_cast<int>(file)) == 0; }

Put put_page(PagePlace& place) {
    const int folder = fd_of(place.folder);
    const int fd = fd_of(place.file);
    if (place.temporary[0] == '\0') {
        // Linked beside its place, now that it is whole.
        char held[32];
        std::snprintf(held, sizeof held, "/proc/self/fd/%d", fd);
        if (!name_temporary(place, [&](const char* name) {
                return linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0 ||
                       (errno != EEXIST && linkat(AT_FDCWD, held, folder, name, AT_SYMLINK_FOLLOW) == 0);
            }))
            return Put::failed;
    }
    place.file = NO_FILE;
    if (close(fd) != 0) return Put::failed;
    const char* temporary = place.temporary;
    if (place.old == EntryType::none) {
        // Where there was nothing, there must still be nothing.
        if (renameat2(folder, temporary, folder, place.name, RENAME_NOREPLACE) != 0) {
            if (errno != EINVAL) return errno == EEXIST ? Put::changed : Put::failed;
            // A file system that cannot rename so: a second name, which never replaces one.
            if (linkat(folder, temporary, folder, place.name, 0) != 0)
                return errno == EEXIST ? Put::changed : Put::failed;
            unlinkat(folder, temporary, 0);
        }
    } else {
        // The old page must still be there.  The two names are exchanged in
        // one step and what came out is checked (where the file system cannot
        // exchange, a rename follows the check).
        if (!holds_old_page(place, place.name)) return Put::changed;
        if (renameat2(folder, temporary, folder, place.name, RENAME_EXCHANGE) == 0) {
            if (!holds_old_page(place, temporary)) {
                // Put back; should that fail, the other file is never removed.
                if (renameat2(folder, temporary, folder, place.name, RENAME_EXCHANGE) != 0) forget_temporary(place);
                return Put::changed;
            }
            unlinkat(folder, temporary, 0);  // the old page
        } else if (errno != EINVAL || renameat(folder, temporary, folder, place.name) != 0) {
            return Put::failed;
        }
    }
    forget_temporary(place);
    return Put::done;
}

void release_page_place(PagePlace& place) {
    close_held(place.file);
    if (place.temporary[0] != '\0') {
        pending_folder = -1;
        unlinkat(fd_of(place.folder), place.temporary, 0);
        forget_temporary(place);
    }
    close_held(place.pinned);
    close_held(place.folder);
}

}  // namespace platform
