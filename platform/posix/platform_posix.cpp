// The program's operating-system services on POSIX (Linux), standing in for
// the Windows ones: xdg user-dirs for the shell folders, $HOME for the
// Windows directory, KOBU_OPEN for the Ctrl key, xdg-open for the shell.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/code_page.h"
#include "platform/posix/user_dirs.h"
#include "platform/posix/wildcard.h"
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

// Whether a failure was for want of descriptors or memory rather than for
// the file itself; such a failure spoils the whole run.
void note_failure(int error) {
    if (error == EMFILE || error == ENFILE || error == ENOMEM) exhausted = true;
}

FileIdentity identity_of(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace

bool resources_exhausted() { return exhausted; }

namespace {

// Names and paths are UTF-8 under a UTF-8 locale; any other locale, or a
// name that is no UTF-8 (a Shift_JIS tree copied from Windows), is bytes.
bool utf8_locale() {
    static const bool utf8 = locale_is_utf8();
    return utf8;
}

bool shown_as_unicode(std::string_view text) { return utf8_locale() && is_unicode_text(text); }

}  // namespace

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

namespace {

// Folder listings.  The first search of a folder reads it whole into a fixed
// arena and sorts its names in the order NTFS keeps them, so that a tree
// gives the same page however it was made or copied; the second search of
// the same folder (the folder writer lists its shortcuts, then its
// subfolders) replays that listing instead of reading the folder again.
// Listings are kept as a stack, as searches nest: the listing of a folder
// stays while its subfolders are walked, each of their listings above it.
// A folder whose listing does not fit what is left of the arena is read as
// the file system hands it out, unsorted, once for each search.
//
// A listing: a header, the folder's path and NUL, its entries (each a flags
// byte, the entry's inode, the name and NUL), then the entries' offsets in
// name order.
struct ListingHeader {
    std::size_t below;  // the listing under this one, or NO_LISTING
    DIR* dir;           // the folder, kept open with its listing: its entries open relative to it
    std::size_t order;  // where the offsets begin
    std::size_t count;
    char state;  // FIRST (its first search going on), KEPT (ended, for a second) or REPLAYING
};
constexpr std::size_t NO_LISTING = SIZE_MAX;
constexpr char FIRST = 'f', KEPT = 'k', REPLAYING = 'r';
constexpr unsigned char ENTRY = 1, IS_DIR = 2, IS_FILE = 4, IS_LINK = 8;
constexpr std::size_t ENTRY_HEAD = 1 + sizeof(std::uint64_t);  // an entry's flags and inode, before its name

alignas(ListingHeader) char arena[1 << 20];
std::size_t arena_top = 0;  // end of the listings
std::size_t top_listing = NO_LISTING;

ListingHeader& header(std::size_t listing) { return *reinterpret_cast<ListingHeader*>(arena + listing); }
const char* folder_of(std::size_t listing) { return arena + listing + sizeof(ListingHeader); }
std::uint32_t* order_of(std::size_t listing) { return reinterpret_cast<std::uint32_t*>(arena + header(listing).order); }

void pop_listing() {
    if (header(top_listing).dir != nullptr) closedir(header(top_listing).dir);
    arena_top = top_listing;
    top_listing = header(top_listing).below;
}

// Where `path` may be found relative to a folder still open: when it is an
// entry of the folder whose listing is being searched, that folder and the
// entry's name; otherwise the current folder and the whole path.
int relative_to_open_folder(const char*& path) {
    if (top_listing == NO_LISTING || header(top_listing).state == KEPT) return AT_FDCWD;
    const std::string_view folder = folder_of(top_listing);
    const std::string_view p = path;
    if (p.size() <= folder.size() + 1 || !starts_with(p, folder) || p[folder.size()] != '/') return AT_FDCWD;
    const char* name = path + folder.size() + 1;
    if (std::strchr(name, '/') != nullptr) return AT_FDCWD;
    path = name;
    return dirfd(header(top_listing).dir);
}

// The flags of a directory entry: links followed for the folder and file
// flags, with one stat only where the entry's type does not say.  `index`
// gets the inode of the entry (through links).
unsigned char flags_of(DIR* dir, const dirent* d, std::uint64_t& index) {
    unsigned char flags = ENTRY;
    index = static_cast<std::uint64_t>(d->d_ino);
    if (d->d_type == DT_DIR) {
        flags |= IS_DIR;
    } else if (d->d_type == DT_REG) {
        flags |= IS_FILE;
    } else if (d->d_type == DT_LNK || d->d_type == DT_UNKNOWN) {
        struct stat st;
        if (fstatat(dirfd(dir), d->d_name, &st, 0) == 0) {
            flags |= S_ISDIR(st.st_mode) ? IS_DIR : S_ISREG(st.st_mode) ? IS_FILE : 0;
            index = static_cast<std::uint64_t>(st.st_ino);
        } else {
            note_failure(errno);
        }
    }
    if (d->d_type == DT_LNK) flags |= IS_LINK;
    return flags;
}

// Fills `entry`; false for a name too long for an entry.
bool describe(std::string_view name, unsigned char flags, std::uint64_t index, FolderEntry& entry) {
    if (!copy_text(entry.name, name)) return false;
    entry.short_name[0] = '\0';
    entry.faithful = true;  // POSIX names are bytes: the name is the entry
    entry.is_file = (flags & IS_FILE) != 0;
    entry.attributes =
        ((flags & IS_DIR) ? ATTRIBUTE_DIRECTORY : ATTRIBUTE_NORMAL) | ((flags & IS_LINK) ? ATTRIBUTE_LINK : 0);
    entry.index = index;
    copy_text(entry.shown, name);
    entry.shown_unicode = shown_as_unicode(name);
    return true;
}

std::size_t aligned(std::size_t at, std::size_t to) { return (at + to - 1) / to * to; }

// Reads the open folder whole, in one pass, into a new listing on top of the
// stack and puts its names in order; false, with nothing kept and the folder
// rewound, when the listing does not fit.
bool list_folder(DIR* dir, std::string_view folder) {
    const std::size_t listing = aligned(arena_top, alignof(ListingHeader));
    std::size_t end = listing + sizeof(ListingHeader) + folder.size() + 1;
    if (end > sizeof arena) return false;
    std::memcpy(arena + listing + sizeof(ListingHeader), folder.data(), folder.size());
    arena[end - 1] = '\0';
    const std::size_t first = end;
    std::size_t count = 0;
    while (const dirent* d = readdir(dir)) {
        const std::string_view name = d->d_name;
        // Room for the entry and, after all of them, every offset.
        if (end + ENTRY_HEAD + name.size() + 1 + alignof(std::uint32_t) + sizeof(std::uint32_t) * (count + 1) >
            sizeof arena) {
            rewinddir(dir);
            return false;
        }
        std::uint64_t index;
        arena[end] = static_cast<char>(flags_of(dir, d, index));
        std::memcpy(arena + end + 1, &index, sizeof index);
        end += ENTRY_HEAD;
        std::memcpy(arena + end, name.data(), name.size() + 1);
        end += name.size() + 1;
        ++count;
    }
    const std::size_t order = aligned(end, alignof(std::uint32_t));
    auto* offsets = reinterpret_cast<std::uint32_t*>(arena + order);
    for (std::size_t i = 0, at = first; i < count; ++i, at += ENTRY_HEAD + std::strlen(arena + at + ENTRY_HEAD) + 1)
        offsets[i] = static_cast<std::uint32_t>(at);
    std::sort(offsets, offsets + count, [](std::uint32_t a, std::uint32_t b) {
        return compare_names(arena + a + ENTRY_HEAD, arena + b + ENTRY_HEAD) < 0;
    });
    header(listing) = {top_listing, dir, order, count, FIRST};
    arena_top = order + sizeof(std::uint32_t) * count;
    top_listing = listing;
    return true;
}

bool next_match(FolderSearch& search, FolderEntry& entry) {
    if (search.listing != NO_LISTING) {
        const std::uint32_t* at = static_cast<const std::uint32_t*>(search.handle);
        const std::uint32_t* const end = order_of(search.listing) + header(search.listing).count;
        while (at != end) {
            const char* e = arena + *at++;
            const std::string_view name = e + ENTRY_HEAD;
            search.handle = const_cast<std::uint32_t*>(at);
            std::uint64_t index;
            std::memcpy(&index, e + 1, sizeof index);
            if (wildcard_match(search.wildcard, name) && describe(name, static_cast<unsigned char>(*e), index, entry))
                return true;
        }
        return false;
    }
    DIR* dir = static_cast<DIR*>(search.handle);
    while (const dirent* d = readdir(dir)) {
        std::uint64_t index;
        const unsigned char flags = flags_of(dir, d, index);
        if (wildcard_match(search.wildcard, d->d_name) && describe(d->d_name, flags, index, entry)) return true;
    }
    return false;
}

// Starts a search over a listing.
bool search_listing(FolderSearch& search, std::size_t listing, FolderEntry& entry) {
    search.listing = listing;
    search.handle = order_of(listing);
    if (next_match(search, entry)) return true;
    end_folder_search(search);
    return false;
}

}  // namespace

bool begin_folder_search(FolderSearch& search, const char* pattern, FolderEntry& entry) {
    search.handle = nullptr;
    search.listing = NO_LISTING;
    const char* slash = find_last_separator(pattern);
    std::string_view folder = !slash             ? "."
                              : slash == pattern ? "/"
                                                 : std::string_view(pattern, static_cast<std::size_t>(slash - pattern));
    std::string_view wildcard = slash ? slash + 1 : pattern;
    if (wildcard.empty() || !copy_text(search.folder, folder) || !copy_text(search.wildcard, wildcard)) return false;

    // A kept listing of this very folder is replayed; one of another folder
    // is no longer wanted.
    if (top_listing != NO_LISTING && header(top_listing).state == KEPT) {
        if (std::strcmp(folder_of(top_listing), search.folder) == 0) {
            header(top_listing).state = REPLAYING;
            return search_listing(search, top_listing, entry);
        }
        pop_listing();
    }
    const char* name = search.folder;
    const int at = relative_to_open_folder(name);
    const int fd = openat(at, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (dir == nullptr) {
        note_failure(errno);
        if (fd >= 0) close(fd);
        return false;
    }
    if (list_folder(dir, folder)) return search_listing(search, top_listing, entry);
    search.handle = dir;  // too large to keep: read as it comes
    if (next_match(search, entry)) return true;
    end_folder_search(search);
    return false;
}

bool next_folder_entry(FolderSearch& search, FolderEntry& entry) {
    return search.handle != nullptr && next_match(search, entry);
}

void end_folder_search(FolderSearch& search) {
    if (search.handle == nullptr) return;
    if (search.listing != NO_LISTING) {
        // Listings above this one were kept for second searches that never came.
        while (top_listing != NO_LISTING && top_listing > search.listing) pop_listing();
        if (top_listing == search.listing) {
            if (header(top_listing).state == FIRST) header(top_listing).state = KEPT;  // for its second search
            else pop_listing();  // a folder's second search is its last
        }
    } else {
        closedir(static_cast<DIR*>(search.handle));
    }
    search.handle = nullptr;
    search.listing = NO_LISTING;
}

FileHandle open_found_file(FolderSearch& search, const FolderEntry& entry, const char* path) {
    if (!entry.is_file) return NO_FILE;
    DIR* dir = search.listing != NO_LISTING ? header(search.listing).dir : static_cast<DIR*>(search.handle);
    if (dir == nullptr) return open_for_reading(path);
    // Relative to the open folder, and without a stat: the folder said the
    // entry is a regular file.  Non-blocking all the same, should it have
    // become a FIFO since.
    int fd = openat(dirfd(dir), entry.name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        note_failure(errno);
        return NO_FILE;
    }
    // The guard needs the whole identity only of a file that may be the page.
    FileIdentity id;
    if (read_guard::may_be_page(entry.index) && open_file_identity(fd, id)) read_guard::note(id);
    return fd;
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
