// Test helper for the Wine suite (a console program).  Reads a script file of
// byte lines in the ANSI code page and performs each in order:
//   reg-set NAME<TAB>VALUE   set a per-user "Shell Folders" value (REG_SZ)
//   reg-del NAME             delete that value
//   short PATH<TAB>OUTFILE   write the short (8.3) form of PATH to OUTFILE
//   profile FILE<TAB>OUTFILE write what GetPrivateProfileStringA gives for key
//                            "html" of section "kobu" (default "DEFAULT")
//   reg-set-w NAME<TAB>TEXT  the same with a value given in UTF-8, set as Unicode
//   short-w PATH<TAB>OUTFILE the short form of a path given in UTF-8
//   run COMMAND LINE         start a program with exactly this command line
//   run-w COMMAND LINE       the same, the command line given in UTF-8 and
//                            passed as Unicode (the ANSI one may lose characters)
//   run-stop MS<TAB>COMMAND  the same, ended after MS milliseconds if still
//                            running (then the status is 98)
// and exits with the exit code of the last program run (99 on a failure of
// its own).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char SHELL_FOLDERS[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

int fail(const char* what) {
    std::fprintf(stderr, "wine_helper: %s (error %lu)\n", what, GetLastError());
    return 99;
}

// Waits for a program started, ending it after `wait` milliseconds (then
// its status is 98); its exit code.
int finish(PROCESS_INFORMATION& pi, DWORD wait) {
    DWORD code = 99;
    if (WaitForSingleObject(pi.hProcess, wait) == WAIT_TIMEOUT) {
        TerminateProcess(pi.hProcess, 98);
        WaitForSingleObject(pi.hProcess, INFINITE);
    }
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

// Wine now and then loses a new process before any of its code has run
// (its start fails with ERROR_INTERNAL_ERROR): such a start is tried again.
template <typename Start>
bool start_process(Start start) {
    for (int attempt = 1; !start(); ++attempt, Sleep(200))
        if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 3) return false;
    return true;
}

int perform(char* line, int& status) {
    char* arg = std::strchr(line, ' ');
    if (arg == nullptr) return fail("a line without an argument");
    *arg++ = '\0';
    char* second = std::strchr(arg, '\t');
    if (second != nullptr) *second++ = '\0';

    static wchar_t wide_arg[32768];
    static wchar_t wide_second[32768];
    const bool utf8 =
        std::strcmp(line, "reg-set-w") == 0 || std::strcmp(line, "short-w") == 0 || std::strcmp(line, "run-w") == 0;
    if (utf8) {
        if (second != nullptr && std::strcmp(line, "run-w") == 0) second[-1] = '\t';  // a tab belongs to the command
        if (MultiByteToWideChar(CP_UTF8, 0, arg, -1, wide_arg, 32768) == 0) return fail("not UTF-8");
        if (second != nullptr && std::strcmp(line, "run-w") != 0 &&
            MultiByteToWideChar(CP_UTF8, 0, second, -1, wide_second, 32768) == 0)
            return fail("not UTF-8");
    }
    if (std::strcmp(line, "reg-set-w") == 0) {
        HKEY key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                            0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return fail("cannot open the Shell Folders key");
        const wchar_t* value = second ? wide_second : L"";
        LONG r = RegSetValueExW(key, wide_arg, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        return r == ERROR_SUCCESS ? 0 : fail("registry edit failed");
    }
    if (std::strcmp(line, "short-w") == 0) {
        wchar_t shorter[1100];
        char path[2048];
        DWORD w = GetShortPathNameW(wide_arg, shorter, 1100);
        if (w == 0 || w >= 1100 || second == nullptr) return fail("GetShortPathNameW failed");
        int n = WideCharToMultiByte(CP_ACP, 0, shorter, -1, path, sizeof path, nullptr, nullptr);
        FILE* out = n > 0 ? std::fopen(second, "wb") : nullptr;
        if (out == nullptr) return fail("cannot write the short name");
        std::fwrite(path, 1, static_cast<std::size_t>(n - 1), out);
        std::fclose(out);
        return 0;
    }
    if (std::strcmp(line, "run-w") == 0) {
        STARTUPINFOW si;
        std::memset(&si, 0, sizeof si);
        si.cb = sizeof si;
        PROCESS_INFORMATION pi;
        if (!start_process([&] {
                return CreateProcessW(nullptr, wide_arg, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
            }))
            return fail("CreateProcessW failed");
        status = finish(pi, INFINITE);
        return 0;
    }
    if (std::strcmp(line, "reg-set") == 0 || std::strcmp(line, "reg-del") == 0) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, SHELL_FOLDERS, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return fail("cannot open the Shell Folders key");
        LONG r = line[4] == 's'
                     ? RegSetValueExA(key, arg, 0, REG_SZ, reinterpret_cast<const BYTE*>(second ? second : ""),
                                      static_cast<DWORD>(std::strlen(second ? second : "") + 1))
                     : RegDeleteValueA(key, arg);
        RegCloseKey(key);
        if (r != ERROR_SUCCESS && !(line[4] == 'd' && r == ERROR_FILE_NOT_FOUND)) return fail("registry edit failed");
        return 0;
    }
    if (std::strcmp(line, "short") == 0) {
        // Through the Unicode call with an extended-length path: a path past
        // MAX_PATH has a short form too.
        wchar_t wide[1100] = L"\\\\?\\";
        if (MultiByteToWideChar(CP_ACP, 0, arg, -1, wide + 4, 1024) == 0) return fail("not a path");
        wchar_t shorter[1100];
        DWORD w = GetShortPathNameW(wide, shorter, 1100);
        char path[2048];
        if (w == 0 || w >= 1100 || second == nullptr) return fail("GetShortPathNameW failed");
        DWORD n =
            static_cast<DWORD>(WideCharToMultiByte(CP_ACP, 0, shorter + 4, -1, path, sizeof path, nullptr, nullptr));
        if (n == 0) return fail("short name not in the code page");
        --n;  // without the NUL
        FILE* out = std::fopen(second, "wb");
        if (out == nullptr) return fail("cannot write the short name");
        std::fwrite(path, 1, n, out);
        std::fclose(out);
        return 0;
    }
    if (std::strcmp(line, "profile") == 0) {
        char value[1024];
        DWORD n = GetPrivateProfileStringA("kobu", "html", "DEFAULT", value, sizeof value, arg);
        FILE* out = second ? std::fopen(second, "wb") : nullptr;
        if (out == nullptr) return fail("cannot write the profile value");
        std::fwrite(value, 1, n, out);
        std::fclose(out);
        return 0;
    }
    if (std::strcmp(line, "run") == 0 || std::strcmp(line, "run-stop") == 0) {
        DWORD wait = INFINITE;
        if (line[3] == '-') {
            if (second == nullptr) return fail("run-stop without a command");
            wait = static_cast<DWORD>(std::strtoul(arg, nullptr, 10));
            arg = second;  // the command line, tabs and all
            second = nullptr;
        }
        if (second != nullptr) second[-1] = '\t';  // a tab belongs to the command line
        STARTUPINFOA si;
        std::memset(&si, 0, sizeof si);
        si.cb = sizeof si;
        PROCESS_INFORMATION pi;
        if (!start_process(
                [&] { return CreateProcessA(nullptr, arg, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi); }))
            return fail("CreateProcessA failed");
        status = finish(pi, wait);
        return 0;
    }
    return fail("unknown command");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return fail("usage: wine_helper SCRIPT");
    FILE* f = std::fopen(argv[1], "rb");
    if (f == nullptr) return fail("cannot open the script");
    static char script[1 << 16];
    std::size_t n = std::fread(script, 1, sizeof script - 1, f);
    std::fclose(f);
    script[n] = '\0';
    int status = 0;
    for (char* line = script; *line != '\0';) {
        char* end = std::strchr(line, '\n');
        if (end != nullptr) *end = '\0';
        if (*line != '\0') {
            int r = perform(line, status);
            if (r != 0) return r;
        }
        if (end == nullptr) break;
        line = end + 1;
    }
    return status;
}
