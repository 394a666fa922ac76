// Folder searches on POSIX, and the arena their listings are kept in.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/common.h"
#include "platform/posix/wildcard.h"
#include "platform/read_guard.h"

namespace platform {

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

}  // namespace platform
