// The operating-system services the program needs, named for what it needs
// them for.  Three implementations stand behind this header: the Win32 API
// (win32/), POSIX (posix/) and an in-memory system for unit tests (fake/).
// Each program links exactly one; nothing outside platform/ includes an
// operating-system header.
//
// Texts are NUL-terminated byte strings in the ANSI code page.  Routines that
// fill a caller's buffer take its capacity and refuse (false) rather than
// truncate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/bytes.h"

namespace platform {

// ---- Paths -------------------------------------------------------------

// The byte that separates path components ("\\" on Windows, "/" on POSIX).
std::string_view separator();

// The last separator in `path`, or nullptr.  On Windows the search follows
// the system code page, so the second byte of a double-byte character never
// counts.
const char* find_last_separator(const char* path);

// The drive at the start of `path` ("C:"), or an empty text (always on POSIX).
std::string_view drive_of(std::string_view path);

// ---- Process ----------------------------------------------------------

// The full path of the running program (Windows: in its short form when the
// long one does not fit or holds what the code page cannot).
bool program_path(char* out, std::size_t cap);

// True once any call has failed for want of file descriptors, handles or
// memory: what the run then wrote may lack what it could not open, so no
// page may count as complete.
bool resources_exhausted();

// True when the Ctrl key is held down at start (POSIX: KOBU_OPEN is set to a
// non-empty value other than "0").
bool control_key_down();

// True where one argument that names nothing lists the Favorites folder, as
// the Windows program always has; false where it is an error, as for any
// command (POSIX).
bool missing_argument_lists_favorites();

// ---- Locations and configuration -------------------------------------

// What looking up a shell folder gives.
enum class Lookup {
    found,
    missing,   // no value, or one too long for the buffer even in its short form
    unusable,  // a value that names no path the ANSI calls can reach (Windows); no home at all (POSIX)
};

// Reads the per-user shell folder `name` ("Favorites", "Desktop") into
// `out`, untouched unless found.  On Windows a value the code page cannot
// hold, or one too long for `cap`, is given in its short (8.3) form.
Lookup read_shell_folder(const char* name, char* out, std::size_t cap);

// The Windows directory, without trailing separator (POSIX: the home folder).
bool windows_directory(char* out, std::size_t cap);

// The user's home folder, where a page goes that has no Desktop folder to
// go to (POSIX: $HOME, else the password database's, as shells take it;
// unusable when neither names one).  Windows keeps no such place for a
// program: missing, and such a page goes beside the program.
Lookup home_folder(char* out, std::size_t cap);

// Where the user's own copy of the program's configuration file `name`
// lives, for when there is none beside the program (POSIX:
// $XDG_CONFIG_HOME/kobu/NAME, by default ~/.config/kobu/NAME).  False where
// the system keeps no such place (Windows: only beside the program).
bool user_configuration(const char* name, char* out, std::size_t cap);

// What turning a configured text into a path gives.
enum class Conversion {
    done,
    not_text,  // no text of that encoding, or none the program can name a file with
    too_long,  // longer than a path
};

// A path written in Unicode (UTF-8) as the program's calls take it: on
// Windows in the code page where it round-trips, else as an extended-length
// path in UTF-8 (as links_page_path gives, which every call on a page
// takes); on POSIX the UTF-8 itself.
Conversion path_from_unicode(const char* utf8, char* out, std::size_t cap);

// A path written in code page 932 as the program's calls take it: on
// Windows itself (the ANSI code page); on POSIX in UTF-8 under a UTF-8
// locale, and as its bytes otherwise or where it is no code page 932 text.
Conversion path_from_code_page(const char* text, char* out, std::size_t cap);

// ---- Files and folders -------------------------------------------------

using FileHandle = std::intptr_t;
inline constexpr FileHandle NO_FILE = -1;

inline constexpr std::uint32_t ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr std::uint32_t ATTRIBUTE_NORMAL = 0x80;
// The entry is a link (a symbolic link, a junction); the other flags are its target's.
inline constexpr std::uint32_t ATTRIBUTE_LINK = 0x400;
inline constexpr std::uint32_t ATTRIBUTES_INVALID = 0xFFFFFFFFu;

// The attribute flags of `path`, or ATTRIBUTES_INVALID when it cannot be
// queried.  The directory flag follows links.
std::uint32_t file_attributes(const char* path);

// Room for a long name in UTF-8 (up to three bytes for each UTF-16 unit).
inline constexpr std::size_t SHOWN_NAME_BUFFER = 3 * PATH_BUFFER;

// One match of a folder search.
struct FolderEntry {
    char name[PATH_BUFFER];  // the long name, as the ANSI code page shows it
    char short_name[16];     // its 8.3 alias, or empty
    bool faithful;           // `name` reaches this very entry (Windows: it round-trips)
    bool is_file;            // a regular file (through links): one that may be read
    std::uint32_t attributes;
    std::uint64_t index;  // the file index the search saw (POSIX: the inode), 0 when unknown
    // The long name as the user sees it: UTF-8 when `shown_unicode` (Windows:
    // always; POSIX: a UTF-8 name under a UTF-8 locale), else the name's bytes.
    char shown[SHOWN_NAME_BUFFER];
    bool shown_unicode;
};

// A folder search in progress.  Owned by the caller; no heap is used by the
// program itself (the system may keep its own handle state).
struct FolderSearch {
    void* handle;
    char folder[PATH_BUFFER];
    char wildcard[PATH_BUFFER];
    std::size_t listing;  // POSIX: where the folder's listing is kept, when it is
};

// The long name of the entry that `path` names, as stored (its last
// component may hold the wildcards '*' and '?': the first match).  On POSIX
// an entry named exactly as the last component wins over wildcard matching.
// On Windows a long name the code page cannot hold gives the short name,
// which reaches that entry; false when there is none.
bool long_name_of(const char* path, char (&name)[PATH_BUFFER]);

// Starts a search for `pattern` (a folder, a separator, then a name that may
// hold '*' and '?', letter case ignored).  On a match fills `entry` and
// returns true; the search must then be ended with end_folder_search.
bool begin_folder_search(FolderSearch& search, const char* pattern, FolderEntry& entry);
bool next_folder_entry(FolderSearch& search, FolderEntry& entry);
void end_folder_search(FolderSearch& search);

// Identity of a file or folder (through links): the same for every name of
// it, hard and symbolic links included.
struct FileIdentity {
    std::uint64_t volume;
    std::uint64_t index;
    bool operator==(const FileIdentity& o) const { return volume == o.volume && index == o.index; }
};
bool file_identity(const char* path, FileIdentity& id);
// The identity of an open file.
bool open_file_identity(FileHandle file, FileIdentity& id);
// The identities of the running program's own file, taken without its path
// (which may not fit a buffer): how many were told, 0 when none could be.
// POSIX: /proc/self/exe and the file the program was started as, which
// differ when it was started through the dynamic loader (where /proc is
// hidden, the latter alone); Windows: its module.
std::size_t program_identities(FileIdentity (&ids)[2]);

// What a path names, through links.
enum class EntryType { none, file, folder, other };  // other: a device, a pipe, ...
EntryType entry_type(const char* path);

// ---- Byte files --------------------------------------------------------

// Opens a regular file for reading; anything else (a folder, a pipe, a
// device) is refused, and never opened, so that a read can never block.
// Every file opened for reading is told to the read guard (read_guard.h).
FileHandle open_for_reading(const char* path);
// The size of an open file in bytes.
std::uint64_t file_size(FileHandle file);
// Opens for reading the entry that a search in progress has just given
// (`path` names it too), as open_for_reading does (the read guard told
// too); the search's own knowledge of the entry spares the system a lookup
// where it can.
FileHandle open_found_file(FolderSearch& search, const FolderEntry& entry, const char* path);
// Reads up to `size` bytes: the count, 0 at the end of the file, -1 on error.
long read_bytes(FileHandle file, char* buffer, std::size_t size);
// Writes all `size` bytes, or fails.
bool write_bytes(FileHandle file, const char* data, std::size_t size);
// Closes the file; false when the system reports a failure.
bool close_file(FileHandle file);
// The process's standard output, for a page written there (POSIX); NO_FILE
// where there is none (the Windows program writes none).
FileHandle standard_output();

// Room for the path of a page: longer than other paths where it is an
// extended-length path in UTF-8 (Windows, links_page_path).
inline constexpr std::size_t PAGE_PATH_BUFFER = 4 * PATH_BUFFER;

// ---- Replacing a page --------------------------------------------------

// Where a page goes, taken once: the folder it goes in, held (POSIX: open,
// reached through the page's links, each of them checked; Windows: the
// page's long path), and what stood at the page's name then, pinned without
// following a link.  Every later step works from it, so that no step meets
// another file than the one before.
struct PagePlace {
    char path[PAGE_PATH_BUFFER] = "";  // the page as messages name it (a last link followed)
    EntryType old = EntryType::none;   // what stood at the page's name: none for a new page
    FileIdentity identity = {};        // the old page's
    bool writable = false;             // the old page may be replaced by this process
    FileHandle file = NO_FILE;         // the new page while it is written
    // The system's own.  POSIX: the folder's descriptor, the page's name in
    // it, the old page held open, its mode, owner and group, and the name
    // the new page has while it is not yet in place (none while it has no
    // name).  Windows: the page's and that name's long paths, the old
    // page's attributes in `mode`.
    FileHandle folder = NO_FILE;
    FileHandle pinned = NO_FILE;
    std::uint32_t mode = 0, owner = 0, group = 0;
    char name[PAGE_PATH_BUFFER] = "";
    char temporary[PAGE_PATH_BUFFER + 32] = "";
};

// Why the place of a page cannot be taken.
enum class PlaceRefusal {
    none,
    system,  // the system's reason (errno): a folder on the way missing, no access
    links,   // links that go round, or name too long a path
    shared,  // a link on the way, or the page, that another user has in a shared folder
};

// Takes the place of the page `path`: through symbolic links on POSIX (the
// links stay, their target gets the page).  In a sticky folder anyone may
// write to (such as /tmp), a link on the way or an existing page that is
// neither this user's nor the folder owner's is refused, whatever the
// system's own protections say.
PlaceRefusal take_page_place(const char* path, PagePlace& place);
// Creates the new page's file (`place.file`), readable and writable by its
// owner alone: without a name where the system can (POSIX), else under a
// temporary name beside the page that no other run picks.  Until the page
// is in place or the place let go, a signal that stops the run leaves no
// such name behind (POSIX; dispositions the caller set to "ignore" stay
// ignored).
bool create_page(PagePlace& place);
// Starts putting the `length` bytes written at `offset` on the disk without
// waiting for them, and waits for what an earlier call started: a page
// pushed out while it is written costs little to sync at the end.
void write_back(FileHandle file, std::uint64_t offset, std::uint64_t length);
// Gives the new page what the pinned old page kept: POSIX its permission
// bits but the set-user-ID and set-group-ID ones, its owner and group, its
// extended attributes and ACLs (false when they cannot be copied); a page
// that was new gets the mode any new file gets.  On Windows put_page keeps
// what the old page kept.
bool adopt_attributes(PagePlace& place);
// Puts what was written to the file on the disk.
bool sync_file(FileHandle file);
// What putting a page in place came to.
enum class Put {
    done,
    failed,   // the system's reason (errno)
    changed,  // the page's name holds another file than the one pinned, or something where there was nothing
};
// Closes the new page's file and puts it at the page's name in one step,
// only while that name still holds the pinned old page or still nothing;
// otherwise both stay as they are.  Windows keeps the old page's security,
// attributes, creation time and streams.
Put put_page(PagePlace& place);
// Lets the place go; a new page not put in place is removed.
void release_page_place(PagePlace& place);

// The temporary name of a page's new file with the random part `random`:
// "NAME.kobu-RANDOM.tmp" after the page's `name`, or, `beside`, a name that
// fits wherever the page's own name does: `folder` followed by
// ".kobu-RANDOM.tmp".  False when it does not fit `cap`.  The same on
// every system (page_file.cpp).
bool temporary_name(std::string_view name, std::string_view folder, bool beside, std::uint64_t random, char* out,
                    std::size_t cap);

// ---- Messages ----------------------------------------------------------

// Tells the user why the run cannot use `path`, or what it does instead.
// POSIX: one line on standard error, "kobu: PATH: CAUSE" ("kobu: CAUSE" for
// an empty path), where a null `cause` stands for the system's reason for
// the call that has just failed (errno).  Windows: nothing; the exit code is
// the program's only report.
void report(const char* path, const char* cause);

// Reports, then false: for a routine that gives up on `path`.
inline bool refuse(const char* path, const char* cause) {
    report(path, cause);
    return false;
}

// ---- Shown text ----------------------------------------------------------

// Room for a whole path in UTF-8, the longest Windows allows included.
inline constexpr std::size_t SHOWN_PATH_BUFFER = 3 * 32768;

// The bytes of Unicode character `code_point` in the ANSI code page (1 or
// 2), or 0 when it has none that reads back as the very same character.
int code_page_char(std::uint32_t code_point, char (&out)[2]);

// `path` (which names an existing entry, or the folder of one) as the user
// sees it: in UTF-8, its long form (Windows: every component's long name,
// whatever form reached it), when `unicode` comes back set; else its own
// bytes.  False when that does not fit `cap`.
bool shown_path(const char* path, char* out, std::size_t cap, bool& unicode);

// The path of the links page of the text file `input`: beside it, its long
// name followed by ".html" (Windows: a long Unicode name the code page cannot
// hold, or a path too long for the ANSI calls, is given as an extended-length
// path "\\?\..." in UTF-8, which every call on a page takes).  False when
// that does not fit `cap`.
bool links_page_path(const char* input, char* out, std::size_t cap);

// ---- Shell -------------------------------------------------------------

// Asks the shell to open `path` with its "open" verb; not waited for.
void shell_open(const char* path);

}  // namespace platform
