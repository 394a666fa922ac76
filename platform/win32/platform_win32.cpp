// The program's operating-system services on the Win32 API (ANSI calls, so
// every text stays in the system code page).
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include "platform/platform.h"

namespace platform {

namespace {

constexpr char SHELL_FOLDERS_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

HANDLE handle_of(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle file_of(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? NO_FILE : reinterpret_cast<FileHandle>(handle);
}

void describe(const WIN32_FIND_DATAA& data, FolderEntry& entry) {
    copy_text_cut(entry.name, sizeof entry.name, data.cFileName);
    entry.attributes = data.dwFileAttributes;
}

}  // namespace

std::string_view separator() { return "\\"; }

// The ANSI calls read a path in the system code page, so the split follows
// the same table: IsDBCSLeadByte names the bytes that begin a double-byte
// character (0x81-0x9F and 0xE0-0xFC in code page 932), whose second byte may
// be 0x5C.  Asking the system keeps this layer free of the program's own
// Shift_JIS routines, which serve text that is Shift_JIS whatever the system.
const char* find_last_separator(const char* path) {
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
    char path[PATH_BUFFER];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path) return false;
    return copy_text(out, cap, std::string_view(path, n));
}

bool control_key_down() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

bool read_shell_folder(const char* name, char* out, std::size_t cap) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    char value[PATH_BUFFER + 1];
    DWORD size = 0;
    // A value that does not fit a path buffer is a failed lookup, never a
    // copy past the buffer.
    bool ok = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size <= PATH_BUFFER &&
              RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (!ok) return false;
    value[size] = '\0';
    return copy_text(out, cap, text_of(value));
}

bool windows_directory(char* out, std::size_t cap) {
    char path[PATH_BUFFER];
    UINT n = GetWindowsDirectoryA(path, sizeof path);
    if (n == 0 || n >= sizeof path) return false;
    return copy_text(out, cap, std::string_view(path, n));
}

bool read_profile_string(const char* file, const char* section, const char* key, const char* fallback, char* out,
                         std::size_t cap) {
    // One byte more than any path: a value too long for `cap` is seen as
    // such (the call cuts what does not fit) rather than used cut short.
    char value[PATH_BUFFER + 1];
    DWORD n = GetPrivateProfileStringA(section, key, fallback, value, sizeof value, file);
    return n + 1 < sizeof value && copy_text(out, cap, std::string_view(value, n));
}

std::uint32_t file_attributes(const char* path) {
    if (path[0] == '\0') return ATTRIBUTES_INVALID;
    return GetFileAttributesA(path);
}

bool begin_folder_search(FolderSearch& search, const char* pattern, FolderEntry& entry) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern, &data);
    search.handle = nullptr;
    if (h == INVALID_HANDLE_VALUE) return false;
    search.handle = h;
    describe(data, entry);
    return true;
}

bool next_folder_entry(FolderSearch& search, FolderEntry& entry) {
    WIN32_FIND_DATAA data;
    if (search.handle == nullptr || !FindNextFileA(search.handle, &data)) return false;
    describe(data, entry);
    return true;
}

void end_folder_search(FolderSearch& search) {
    if (search.handle != nullptr) FindClose(search.handle);
    search.handle = nullptr;
}

bool folder_identity(const char* path, FolderIdentity& id) {
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!ok) return false;
    id.volume = info.dwVolumeSerialNumber;
    id.index = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return true;
}

FileHandle open_for_reading(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return NO_FILE;
    // Only disk files: a pipe or a device could block the read forever.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return NO_FILE;
    }
    return file_of(h);
}

FileHandle create_for_writing(const char* path) {
    return file_of(
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
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

void shell_open(const char* path) { ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_SHOWNORMAL); }

}  // namespace platform
