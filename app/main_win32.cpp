// Process entry of the Windows program: a GUI-subsystem program with no
// window; the exit code is its only report.
#include <windows.h>

#include "app/app.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*command_line*/, int /*show*/) {
    const char* tail = split_command_line(GetCommandLineA());
    return app_main(GetModuleHandleA(nullptr), nullptr, tail, SW_SHOWNORMAL);
}
