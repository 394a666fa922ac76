// Process entry of the POSIX build: the arguments, joined by single spaces,
// stand for the command-line tail that follows the program name on Windows.
#include "app/app.h"
#include "platform/bytes.h"

int main(int argc, char** argv) {
    static char tail[32768];
    std::size_t used = 0;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::size_t need = arg.size() + (i > 1 ? 1 : 0);
        if (used + need >= sizeof tail) return 1;  // longer than any Windows command line
        if (i > 1) tail[used++] = ' ';
        std::memcpy(tail + used, arg.data(), arg.size());
        used += arg.size();
    }
    tail[used] = '\0';
    return app_main(nullptr, nullptr, tail, 1);
}
