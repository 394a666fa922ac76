// Process entry of the Windows program: a GUI-subsystem program with no
// window; the exit code is its only report.
#include <windows.h>

#include "app/app.h"
#include "platform/bytes.h"
#include "platform/win32/unicode.h"

namespace {

using platform::win32::Faithful;

// The most UTF-16 units a command line holds, its NUL included.
constexpr int COMMAND_LINE = 32768;

// Several parts of a Unicode tail (dropped files), each through a path that
// reaches it, its short form where the code page cannot hold its name,
// quoted again into `out` as an ANSI tail that splits into the same parts:
// a backslash before a closing quote is doubled.  A part that names nothing
// and has no ANSI path of its own (its name beyond the code page, or too
// long) becomes an empty part, which names nothing either, never a
// look-alike.  False when a part names an entry that no path reaches, or
// the parts do not fit.
bool faithful_parts(const wchar_t* wide, char* out, std::size_t cap) {
    std::size_t n = 0;
    static wchar_t part[COMMAND_LINE];
    bool whole = true;
    for (const wchar_t* at = wide; (at = next_argument(at, part, COMMAND_LINE, whole)) != nullptr;) {
        char path[PATH_BUFFER];
        if (platform::win32::faithful_path(part, path, sizeof path) != Faithful::yes) {
            if (GetFileAttributesW(part) != INVALID_FILE_ATTRIBUTES) return false;
            path[0] = '\0';
        }
        std::size_t backslashes = 0;  // the backslashes that end the path, not trail bytes
        for (const char* p = path; *p != '\0'; ++p) {
            if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0') {
                ++p;
                backslashes = 0;
            } else {
                backslashes = *p == '\\' ? backslashes + 1 : 0;
            }
        }
        const std::size_t length = static_cast<std::size_t>(lstrlenA(path));
        if (n + length + backslashes + 4 > cap) return false;
        if (n > 0) out[n++] = ' ';
        out[n++] = '"';
        for (std::size_t i = 0; i < length; ++i) out[n++] = path[i];
        for (; backslashes > 0; --backslashes) out[n++] = '\\';
        out[n++] = '"';
    }
    out[n] = '\0';
    return true;
}

// The argument as the program can use it: the ANSI tail, unless the ANSI
// command line lost characters the code page cannot hold (a dropped
// "Café.txt" arrives as "Cafe.txt", another file's name) or is too long for
// a path; then the path the Unicode command line names, in its short form,
// or, for several dropped files, each of them so.  A tail that names
// nothing stays one that names nothing, whatever its length.  False when
// an entry is named that no path reaches: the run then writes nothing
// rather than a look-alike's page.
bool faithful_tail(const char*& tail, char* buffer, std::size_t cap) {
    const wchar_t* wide_line = GetCommandLineW();
    static wchar_t back[COMMAND_LINE];
    if (MultiByteToWideChar(CP_ACP, 0, GetCommandLineA(), -1, back, COMMAND_LINE) != 0) {
        const wchar_t* a = back;
        const wchar_t* b = wide_line;
        while (*a != L'\0' && *a == *b) ++a, ++b;
        if (*a == *b && lstrlenA(tail) < static_cast<int>(PATH_BUFFER)) return true;  // nothing was lost
    }
    const wchar_t* wide = command_tail(wide_line);
    // One pair of quotes around the whole tail, as the shell passes a path
    // with a space, goes: the path inside them.
    static wchar_t path[COMMAND_LINE];
    const int n = lstrlenW(wide);
    const bool quoted = n >= 2 && wide[0] == L'"' && wide[n - 1] == L'"';
    lstrcpynW(path, quoted ? wide + 1 : wide, quoted ? n - 1 : n + 1);
    if (path[0] == L'\0') return true;
    if (platform::win32::faithful_path(path, buffer, PATH_BUFFER) == Faithful::yes) {
        tail = buffer;
        return true;
    }
    // A file or folder that is there, but that no path of the program's
    // reaches: never taken for its parts, or for the Favorites.
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) return false;
    if (!faithful_parts(wide, buffer, cap)) return false;
    tail = buffer;
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*command_line*/, int /*show*/) {
    const char* tail = split_command_line(GetCommandLineA());
    static char faithful[1 << 16];
    if (!faithful_tail(tail, faithful, sizeof faithful)) return 1;
    return app_main(GetModuleHandleA(nullptr), nullptr, tail, SW_SHOWNORMAL);
}
