// The program's operating-system services on the Win32 API.  The program
// works in ANSI byte strings (the system code page); where Windows keeps
// names the code page cannot hold, the Unicode calls find the entry and its
// short name, so that every name handed on reaches that very entry.
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include "platform/platform.h"
#include "platform/read_guard.h"
#include "platform/win32/unicode.h"

// RtlGenRandom, as advapi32 exports it.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

namespace platform {

namespace {

constexpr char SHELL_FOLDERS_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

HANDLE handle_of(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle file_of(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? NO_FILE : reinterpret_cast<FileHandle>(handle);
}

using win32::Faithful;
using win32::WIDE_PATH;

bool exhausted = false;

// Whether the last call failed for want of handles or memory rather than
// for the file itself; such a failure spoils the whole run.
void note_failure() {
    switch (GetLastError()) {
        case ERROR_TOO_MANY_OPEN_FILES:
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
        case ERROR_NO_SYSTEM_RESOURCES:
        case ERROR_NONPAGED_SYSTEM_RESOURCES:
        case ERROR_PAGED_SYSTEM_RESOURCES:
        case ERROR_COMMITMENT_LIMIT:
            exhausted = true;
            break;
        default:
            break;
    }
}

bool identity_of(HANDLE h, FileIdentity& id) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) return false;
    id.volume = info.dwVolumeSerialNumber;
    id.index = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return true;
}

// `full`, a full Unicode path, as an extended-length path ("\\?\C:\...",
// "\\?\UNC\server\..."), which the Unicode calls take at any length.
bool extended_path(const wchar_t* full, wchar_t* out, std::size_t cap) {
    if (full[0] == L'\\' && full[1] == L'\\' && (full[2] == L'?' || full[2] == L'.')) {
        if (static_cast<std::size_t>(lstrlenW(full)) >= cap) return false;
        lstrcpyW(out, full);
        return true;
    }
    const bool unc = full[0] == L'\\' && full[1] == L'\\';
    const wchar_t* prefix = unc ? L"\\\\?\\UNC" : L"\\\\?\\";
    const wchar_t* rest = unc ? full + 1 : full;
    const std::size_t p = static_cast<std::size_t>(lstrlenW(prefix));
    const std::size_t r = static_cast<std::size_t>(lstrlenW(rest));
    if (p + r >= cap) return false;
    lstrcpyW(out, prefix);
    lstrcpyW(out + p, rest);
    return true;
}

// An entry as the page shows it (the name the code page gives, best fit
// where it has no character) and the names that reach it.
void describe(const WIN32_FIND_DATAW& data, FolderEntry& entry) {
    entry.faithful = win32::to_ansi(data.cFileName, entry.name, sizeof entry.name);
    if (!win32::to_ansi(data.cAlternateFileName, entry.short_name, sizeof entry.short_name)) entry.short_name[0] = '\0';
    entry.attributes = data.dwFileAttributes;
    entry.is_file = !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    entry.index = 0;
    // The page shows the name itself, whatever the code page holds of it.
    entry.shown_unicode = true;
    if (WideCharToMultiByte(CP_UTF8, 0, data.cFileName, -1, entry.shown, sizeof entry.shown, nullptr, nullptr) == 0)
        entry.shown[0] = '\0';
}

// A page path may be an extended-length path in UTF-8 (links_page_path);
// every other path is ANSI.
bool is_extended(const char* path) { return path[0] == '\\' && path[1] == '\\' && path[2] == '?' && path[3] == '\\'; }

// `path` in Unicode, as it is written.
bool wide_text(const char* path, wchar_t* out, int cap) {
    return MultiByteToWideChar(is_extended(path) ? CP_UTF8 : CP_ACP, MB_ERR_INVALID_CHARS, path, -1, out, cap) != 0;
}

// The Unicode path `wide` as a full extended-length path in UTF-8, as a
// page path may be given.
bool extended_utf8(const wchar_t* wide, char* out, std::size_t cap) {
    wchar_t full[WIDE_PATH];
    wchar_t extended[WIDE_PATH];
    const DWORD n = GetFullPathNameW(wide, WIDE_PATH, full, nullptr);
    return n != 0 && n < WIDE_PATH && extended_path(full, extended, WIDE_PATH) &&
           WideCharToMultiByte(CP_UTF8, 0, extended, -1, out, static_cast<int>(cap), nullptr, nullptr) != 0;
}

// `path` as a full extended-length path, for the Unicode calls, which then
// take it at any length.
bool wide_path(const char* path, wchar_t (&out)[WIDE_PATH]) {
    wchar_t given[WIDE_PATH];
    if (!wide_text(path, given, WIDE_PATH)) return false;
    if (is_extended(path)) {
        lstrcpyW(out, given);
        return true;
    }
    wchar_t full[WIDE_PATH];
    const DWORD n = GetFullPathNameW(given, WIDE_PATH, full, nullptr);
    return n != 0 && n < WIDE_PATH && extended_path(full, out, WIDE_PATH);
}

// The identity of the entry `path` names, or false.
bool identity_at(const wchar_t* path, FileIdentity& id) {
    HANDLE h = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        note_failure();
        return false;
    }
    const bool ok = identity_of(h, id);
    CloseHandle(h);
    return ok;
}

}  // namespace

std::string_view separator() { return "\\"; }

// The ANSI calls read a path in the system code page, so the split follows
// the same table: IsDBCSLeadByte names the bytes that begin a double-byte
// character (0x81-0x9F and 0xE0-0xFC in code page 932), whose second byte may
// be 0x5C.  Asking the system keeps this layer free of the program's own
// Shift_JIS routines, which serve text that is Shift_JIS whatever the system.
const char* find_last_separator(const char* path) {
    if (is_extended(path)) return std::strrchr(path, '\\');  // UTF-8: no byte of a character is 0x5C
    const char* last = nullptr;
    for (const char* p = path; *p != '\0'; ++p) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*p))) {
            if (p[1] == '\0') break;  // a lead byte before the end is no character
            ++p;
        } else if (*p == '\\') {
            last = p;
        }
    }
    return last;
}

std::string_view drive_of(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' ? head(path, 2) : std::string_view();
}

bool program_path(char* out, std::size_t cap) {
    wchar_t path[WIDE_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, WIDE_PATH);
    return n != 0 && n < WIDE_PATH && win32::faithful_path(path, out, cap) == Faithful::yes;
}

std::size_t program_identities(FileIdentity (&ids)[2]) {
    // The module's own path, however long: no ANSI form of it is needed.
    static wchar_t path[32768];
    static wchar_t extended[32768 + 8];
    const DWORD n = GetModuleFileNameW(nullptr, path, 32768);
    if (n == 0 || n >= 32768 || !extended_path(path, extended, sizeof extended / sizeof extended[0])) return 0;
    HANDLE h = CreateFileW(extended, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    const bool ok = identity_of(h, ids[0]);
    CloseHandle(h);
    return ok ? 1 : 0;
}

bool resources_exhausted() { return exhausted; }

bool control_key_down() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

bool missing_argument_lists_favorites() { return true; }

Lookup read_shell_folder(const char* name, char* out, std::size_t cap) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return Lookup::missing;
    wchar_t wide_name[64];
    wchar_t value[WIDE_PATH];
    DWORD size = 0;
    // A value that does not fit the buffer is a failed lookup, never a copy
    // past the buffer.
    bool ok =
        win32::to_wide(name, wide_name, 64) &&
        RegQueryValueExW(key, wide_name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size < sizeof value &&
        RegQueryValueExW(key, wide_name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (!ok) return Lookup::missing;
    value[size / sizeof(wchar_t)] = L'\0';
    // An empty value is used as it is; one the code page cannot hold, or too
    // long, through its short form; one with neither can be no page's folder.
    if (value[0] == L'\0') return copy_text(out, cap, "") ? Lookup::found : Lookup::missing;
    char path[PATH_BUFFER];
    switch (win32::faithful_path(value, path, sizeof path)) {
        case Faithful::yes:
            return copy_text(out, cap, text_of(path)) ? Lookup::found : Lookup::missing;
        case Faithful::too_long:
            return Lookup::missing;
        default:
            return Lookup::unusable;
    }
}

bool windows_directory(char* out, std::size_t cap) {
    char path[PATH_BUFFER];
    UINT n = GetWindowsDirectoryA(path, sizeof path);
    if (n == 0 || n >= sizeof path) return false;
    return copy_text(out, cap, std::string_view(path, n));
}

// A Windows program keeps its pages and its configuration beside itself.
Lookup home_folder(char*, std::size_t) { return Lookup::missing; }
bool user_configuration(const char*, char*, std::size_t) { return false; }

Conversion path_from_unicode(const char* utf8, char* out, std::size_t cap) {
    wchar_t wide[WIDE_PATH];
    char ansi[2 * WIDE_PATH];
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, WIDE_PATH) == 0)
        return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? Conversion::too_long : Conversion::not_text;
    // As the ANSI calls name it where the code page holds it...
    if (win32::to_ansi(wide, ansi, sizeof ansi))
        return lstrlenA(ansi) < static_cast<int>(PATH_BUFFER) && copy_text(out, cap, text_of(ansi))
                   ? Conversion::done
                   : Conversion::too_long;
    // ...else through its Unicode form.
    return extended_utf8(wide, out, cap) ? Conversion::done : Conversion::too_long;
}

Conversion path_from_code_page(const char* text, char* out, std::size_t cap) {
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0) == 0) return Conversion::not_text;
    return lstrlenA(text) < static_cast<int>(PATH_BUFFER) && copy_text(out, cap, text_of(text))
               ? Conversion::done
               : Conversion::too_long;
}

std::uint32_t file_attributes(const char* path) {
    if (path[0] == '\0') return ATTRIBUTES_INVALID;
    return GetFileAttributesA(path);
}

namespace {

// FindFirstFileW on an ANSI pattern (which converts exactly: the program's
// paths are made of names that round-trip and of short names).
HANDLE find_first(const char* pattern, WIN32_FIND_DATAW& data) {
    wchar_t wide[WIDE_PATH];
    if (!win32::to_wide(pattern, wide, WIDE_PATH)) return INVALID_HANDLE_VALUE;
    HANDLE h = FindFirstFileW(wide, &data);
    if (h == INVALID_HANDLE_VALUE) note_failure();
    return h;
}

}  // namespace

bool long_name_of(const char* path, char (&name)[PATH_BUFFER]) {
    WIN32_FIND_DATAW data;
    HANDLE h = find_first(path, data);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    FolderEntry entry;
    describe(data, entry);
    // A long name the code page cannot hold would name a look-alike: the
    // short name reaches this very entry.
    if (!entry.faithful) return entry.short_name[0] != '\0' && copy_text(name, text_of(entry.short_name));
    return copy_text(name, text_of(entry.name));
}

bool begin_folder_search(FolderSearch& search, const char* pattern, FolderEntry& entry) {
    WIN32_FIND_DATAW data;
    HANDLE h = find_first(pattern, data);
    search.handle = nullptr;
    if (h == INVALID_HANDLE_VALUE) return false;
    search.handle = h;
    describe(data, entry);
    return true;
}

bool next_folder_entry(FolderSearch& search, FolderEntry& entry) {
    WIN32_FIND_DATAW data;
    if (search.handle == nullptr || !FindNextFileW(search.handle, &data)) return false;
    describe(data, entry);
    return true;
}

void end_folder_search(FolderSearch& search) {
    if (search.handle != nullptr) FindClose(search.handle);
    search.handle = nullptr;
}

FileHandle open_found_file(FolderSearch&, const FolderEntry&, const char* path) { return open_for_reading(path); }

bool file_identity(const char* path, FileIdentity& id) {
    wchar_t wide[WIDE_PATH];
    return wide_path(path, wide) && identity_at(wide, id);
}

bool open_file_identity(FileHandle file, FileIdentity& id) { return identity_of(handle_of(file), id); }

EntryType entry_type(const char* path) {
    wchar_t wide[WIDE_PATH];
    if (path[0] == '\0' || !wide_path(path, wide)) return EntryType::none;
    const DWORD attributes = GetFileAttributesW(wide);
    if (attributes == INVALID_FILE_ATTRIBUTES) return EntryType::none;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryType::folder;
    HANDLE h = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return EntryType::file;
    const DWORD type = GetFileType(h);
    CloseHandle(h);
    return type == FILE_TYPE_DISK ? EntryType::file : EntryType::other;
}

FileHandle open_for_reading(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        note_failure();
        return NO_FILE;
    }
    // Only disk files: a pipe or a device could block the read forever.
    FileIdentity id;
    if (GetFileType(h) != FILE_TYPE_DISK || !identity_of(h, id)) {
        CloseHandle(h);
        return NO_FILE;
    }
    read_guard::note(id);
    return file_of(h);
}

std::uint64_t file_size(FileHandle file) {
    LARGE_INTEGER size;
    return GetFileSizeEx(handle_of(file), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

long read_bytes(FileHandle file, char* buffer, std::size_t size) {
    DWORD n = 0;
    DWORD want = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    if (!ReadFile(handle_of(file), buffer, want, &n, nullptr)) return -1;
    return static_cast<long>(n);
}

bool write_bytes(FileHandle file, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD n = 0;
        DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        if (!WriteFile(handle_of(file), data, chunk, &n, nullptr) || n == 0) return false;
        data += n;
        size -= n;
    }
    return true;
}

bool close_file(FileHandle file) { return CloseHandle(handle_of(file)) != 0; }

FileHandle standard_output() { return NO_FILE; }

namespace {

std::uint64_t random_part() {
    std::uint64_t random = GetTickCount() ^ (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32);
    SystemFunction036(&random, sizeof random);  // RtlGenRandom
    return random;
}

}  // namespace

PlaceRefusal take_page_place(const char* path, PagePlace& place) {
    // The page's full long path, taken once and held in UTF-8: each later
    // step converts it, none looks it up again.
    wchar_t wide[WIDE_PATH];
    if (!copy_text(place.path, text_of(path)) || !wide_path(path, wide) ||
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, place.name, sizeof place.name, nullptr, nullptr) == 0)
        return PlaceRefusal::links;
    const DWORD attributes = GetFileAttributesW(wide);
    if (attributes == INVALID_FILE_ATTRIBUTES) return PlaceRefusal::none;  // a new page
    place.mode = attributes;
    place.writable = !(attributes & FILE_ATTRIBUTE_READONLY);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        place.old = EntryType::folder;
        return PlaceRefusal::none;
    }
    HANDLE h = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        note_failure();
        return PlaceRefusal::system;
    }
    place.old = GetFileType(h) == FILE_TYPE_DISK ? EntryType::file : EntryType::other;
    const bool told = identity_of(h, place.identity);
    CloseHandle(h);
    return told ? PlaceRefusal::none : PlaceRefusal::system;
}

bool create_page(PagePlace& place) {
    const char* last = std::strrchr(place.name, '\\');  // UTF-8: no byte of a character is 0x5C
    const std::string_view folder(place.name, last != nullptr ? static_cast<std::size_t>(last - place.name) + 1 : 0);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::uint64_t random = random_part();
        bool taken = false;  // by another run, or one stopped: another name
        for (const bool beside : {false, true}) {
            wchar_t wide[WIDE_PATH];
            if (!temporary_name(place.name, folder, beside, random, place.temporary, sizeof place.temporary) ||
                !wide_text(place.temporary, wide, WIDE_PATH))
                continue;
            // Shared with no one while it is written.
            HANDLE h = CreateFileW(wide, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                place.file = file_of(h);
                return true;
            }
            note_failure();
            taken = GetLastError() == ERROR_FILE_EXISTS;
            if (taken) break;
        }
        if (!taken) break;
    }
    place.temporary[0] = '\0';
    return false;
}

// Windows writes back on its own; the sync at the end waits for the rest.
void write_back(FileHandle, std::uint64_t, std::uint64_t) {}

// What the old page kept goes with put_page.
bool adopt_attributes(PagePlace&) { return true; }

bool sync_file(FileHandle file) { return FlushFileBuffers(handle_of(file)) != 0; }

Put put_page(PagePlace& place) {
    const bool closed = CloseHandle(handle_of(place.file)) != 0;
    place.file = NO_FILE;
    wchar_t page[WIDE_PATH];
    wchar_t temporary[WIDE_PATH];
    if (!closed || !wide_text(place.name, page, WIDE_PATH) || !wide_text(place.temporary, temporary, WIDE_PATH))
        return Put::failed;
    if (place.old == EntryType::none) {
        // Moved in, unless something came to the page's name meanwhile.
        if (!MoveFileExW(temporary, page, MOVEFILE_WRITE_THROUGH))
            return GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS ? Put::changed
                                                                                                 : Put::failed;
    } else {
        // Only over the page pinned, which keeps its security descriptor,
        // attributes, creation time and streams.  A hidden or system page
        // stays so where the system's ReplaceFileW leaves that (Wine).
        const DWORD kept = place.mode & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        FileIdentity now;
        if (!identity_at(page, now) || !(now == place.identity)) return Put::changed;
        if ((kept != 0 && !SetFileAttributesW(temporary, kept)) ||
            !ReplaceFileW(page, temporary, nullptr, 0, nullptr, nullptr))
            return Put::failed;
    }
    place.temporary[0] = '\0';
    return Put::done;
}

void release_page_place(PagePlace& place) {
    if (place.file != NO_FILE) CloseHandle(handle_of(place.file));
    place.file = NO_FILE;
    wchar_t wide[WIDE_PATH];
    if (place.temporary[0] != '\0' && wide_text(place.temporary, wide, WIDE_PATH)) DeleteFileW(wide);
    place.temporary[0] = '\0';
}

// The Windows program shows nothing: its exit code is its report.
void report(const char*, const char*) {}

int code_page_char(std::uint32_t code_point, char (&out)[2]) {
    wchar_t units[2];
    int count = 1;
    if (code_point >= 0x10000) {
        units[0] = static_cast<wchar_t>(0xD800 + ((code_point - 0x10000) >> 10));
        units[1] = static_cast<wchar_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
        count = 2;
    } else {
        units[0] = static_cast<wchar_t>(code_point);
    }
    // No best fit: only a character that reads back as itself.
    char bytes[4];
    BOOL defaulted = FALSE;
    const int n =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, count, bytes, sizeof bytes, nullptr, &defaulted);
    wchar_t back[2];
    if (n < 1 || n > 2 || defaulted || MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, n, back, 2) != count ||
        back[0] != units[0] || (count == 2 && back[1] != units[1]))
        return 0;
    out[0] = bytes[0];
    out[1] = bytes[1];
    return n;
}

namespace {

// The long Unicode form of `path`: every component the system finds under
// its long name, the rest as written.
const wchar_t* long_form(const char* path) {
    static wchar_t given[32768];
    static wchar_t found[32768];
    if (!wide_text(path, given, 32768)) return nullptr;
    const DWORD n = GetLongPathNameW(given, found, 32768);
    return n != 0 && n < 32768 ? found : given;
}

}  // namespace

bool shown_path(const char* path, char* out, std::size_t cap, bool& unicode) {
    unicode = true;
    const wchar_t* wide = long_form(path);
    return wide != nullptr &&
           WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, static_cast<int>(cap), nullptr, nullptr) != 0;
}

bool links_page_path(const char* input, char* out, std::size_t cap) {
    const wchar_t* wide = long_form(input);
    if (wide == nullptr) return false;
    // As the ANSI calls name it where the code page holds the long name...
    char ansi[PATH_BUFFER];
    if (win32::to_ansi(wide, ansi, sizeof ansi)) return concat_text(out, cap, {text_of(ansi), ".html"});
    // ...else through an extended-length path in UTF-8.
    return extended_utf8(wide, out, cap) && concat_text(out, cap, {text_of(out), ".html"});
}

void shell_open(const char* path) {
    if (!is_extended(path)) {
        ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    // The shell takes the path an extended-length path stands for:
    // "\\?\C:\..." is "C:\...", "\\?\UNC\server\..." is "\\server\...".
    wchar_t wide[WIDE_PATH];
    if (!wide_text(path, wide, WIDE_PATH)) return;
    wchar_t* plain = wide + 4;
    if (plain[0] == L'U' && plain[1] == L'N' && plain[2] == L'C' && plain[3] == L'\\') *(plain += 2) = L'\\';
    ShellExecuteW(nullptr, L"open", plain, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace platform
