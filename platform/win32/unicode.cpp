#include "platform/win32/unicode.h"

#include <windows.h>

namespace platform::win32 {

namespace {

bool same(const wchar_t* a, const wchar_t* b) {
    while (*a != L'\0' && *a == *b) ++a, ++b;
    return *a == *b;
}

}  // namespace

bool to_ansi(const wchar_t* wide, char* out, std::size_t cap) {
    if (cap == 0) return false;
    const int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, out, static_cast<int>(cap), nullptr, nullptr);
    if (n == 0) {
        // Too long for `cap`: what fits, cut at a character.
        const int whole = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
        out[0] = '\0';
        if (whole > 0 && cap > 1) {
            char* buffer = out;
            for (const wchar_t* w = wide; *w != L'\0'; ++w) {
                char one[8];
                const int k = WideCharToMultiByte(CP_ACP, 0, w, 1, one, sizeof one, nullptr, nullptr);
                if (k <= 0 || static_cast<std::size_t>(buffer - out + k) >= cap) break;
                for (int i = 0; i < k; ++i) *buffer++ = one[i];
            }
            *buffer = '\0';
        }
        return false;
    }
    wchar_t back[WIDE_PATH];
    return MultiByteToWideChar(CP_ACP, 0, out, -1, back, WIDE_PATH) != 0 && same(back, wide);
}

bool to_wide(const char* ansi, wchar_t* out, std::size_t cap) {
    return MultiByteToWideChar(CP_ACP, 0, ansi, -1, out, static_cast<int>(cap)) != 0;
}

Faithful faithful_path(const wchar_t* wide, char* out, std::size_t cap) {
    char ansi[WIDE_PATH * 2];
    const bool exact = to_ansi(wide, ansi, sizeof ansi);
    if (exact && lstrlenA(ansi) < static_cast<int>(cap)) {
        lstrcpyA(out, ansi);
        return Faithful::yes;
    }
    wchar_t short_form[WIDE_PATH];
    const DWORD n = GetShortPathNameW(wide, short_form, WIDE_PATH);
    if (n != 0 && n < WIDE_PATH && to_ansi(short_form, ansi, sizeof ansi) && lstrlenA(ansi) < static_cast<int>(cap)) {
        lstrcpyA(out, ansi);
        return Faithful::yes;
    }
    return exact ? Faithful::too_long : Faithful::no;
}

}  // namespace platform::win32
