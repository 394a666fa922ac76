// Process entry of the POSIX build: the arguments, joined by single spaces,
// stand for the command-line tail that follows the program name on Windows.
// The one word --help, -h or --version alone prints usage or version on
// standard output instead and writes no page.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "kobu_version.h"
#include "platform/bytes.h"

namespace {

const char USAGE[] =
    "Usage: kobu [FOLDER | FILE]\n"
    "Writes one HTML page of links, in Shift_JIS with CR LF line ends.\n"
    "\n"
    "  kobu          list the Internet shortcuts (*.url) of the Favorites folder,\n"
    "                folder by folder, in kobu.html on the Desktop\n"
    "  kobu FOLDER   list that folder's tree instead\n"
    "  kobu FILE     list the http:// and https:// addresses of the text FILE\n"
    "                in FILE.html beside it\n"
    "\n"
    "The arguments are joined by single spaces into one path.  The Favorites and\n"
    "Desktop folders are XDG_FAVORITES_DIR and XDG_DESKTOP_DIR in\n"
    "$XDG_CONFIG_HOME/user-dirs.dirs; kobu.txt beside the program can name another\n"
    "page ([kobu] html=PATH).  KOBU_OPEN=1 opens the favorites page with xdg-open.\n"
    "Exit status: 0 when the page was written completely, 1 when it could not be.\n"
    "\n"
    "  -h, --help     print this help and exit\n"
    "      --version  print the version and exit\n"
    "\n"
    "Full documentation: man kobu\n";

const char VERSION[] = "kobu " KOBU_VERSION_TEXT "\n" KOBU_COPYRIGHT "\nLicense: MIT\n";

// Prints `text` on standard output: 0, or 1 (with a message) when it could
// not be written, as for a full disk or a closed output.
int print(const char* text) {
    if (std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0) return 0;
    int error = errno;
    std::fprintf(stderr, "kobu: cannot write to standard output: %s\n", std::strerror(error));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2) {
        std::string_view only = argv[1];
        if (only == "--help" || only == "-h") return print(USAGE);
        if (only == "--version") return print(VERSION);
    }
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
