// Process entry of the Windows program: a GUI-subsystem program with no
// window; the exit code is its only report.
#include <windows.h>

#include "app/app.h"
#include "platform/bytes.h"
#include "platform/win32/unicode.h"

namespace {

// The argument as the program can use it: the ANSI tail, unless the ANSI
// command line lost characters the code page cannot hold (a dropped
// "Café.txt" arrives as "Cafe.txt", another file's name); then the path the
// Unicode command line names, in its short form.  False when there is no
// such path: the run then writes nothing rather than a look-alike's page.
bool faithful_tail(const char*& tail, char (&buffer)[PATH_BUFFER]) {
    const wchar_t* wide_line = GetCommandLineW();
    static wchar_t back[32768];
    if (MultiByteToWideChar(CP_ACP, 0, GetCommandLineA(), -1, back, 32768) != 0) {
        const wchar_t* a = back;
        const wchar_t* b = wide_line;
        while (*a != L'\0' && *a == *b) ++a, ++b;
        if (*a == *b) return true;  // nothing was lost
    }
    const wchar_t* wide = command_tail(wide_line);
    // One pair of quotes around the whole tail, as the shell passes a path
    // with a space, goes: the path inside them.
    wchar_t path[platform::win32::WIDE_PATH];
    int n = lstrlenW(wide);
    if (n >= static_cast<int>(platform::win32::WIDE_PATH)) return false;
    const bool quoted = n >= 2 && wide[0] == L'"' && wide[n - 1] == L'"';
    lstrcpynW(path, quoted ? wide + 1 : wide, quoted ? n - 1 : n + 1);
    if (path[0] == L'\0') return true;
    if (platform::win32::faithful_path(path, buffer, sizeof buffer) != platform::win32::Faithful::yes) return false;
    tail = buffer;
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*command_line*/, int /*show*/) {
    const char* tail = split_command_line(GetCommandLineA());
    static char faithful[PATH_BUFFER];
    if (!faithful_tail(tail, faithful)) return 1;
    return app_main(GetModuleHandleA(nullptr), nullptr, tail, SW_SHOWNORMAL);
}
