// Process entry of the POSIX build: the arguments, joined by single spaces,
// stand for the command-line tail that follows the program name on Windows,
// and they are its parts as they are, for several files at once.
// --help, -h and --version print usage or version on standard output instead
// and write no page; -o/--output and --open say where the page goes and
// whether it is opened; any other argument that begins with "-" is refused
// (exit 2) before anything is written.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "kobu_version.h"
#include "platform/bytes.h"

namespace {

const char USAGE[] =
    "Usage: kobu [OPTION]... [FOLDER | FILE...]\n"
    "Writes one HTML page of links, in Shift_JIS with CR LF line ends.\n"
    "\n"
    "  kobu          list the Internet shortcuts (*.url) of the Favorites folder,\n"
    "                folder by folder in name order, in kobu.html on the Desktop\n"
    "  kobu FOLDER   list that folder's tree instead\n"
    "  kobu FILE...  list the http:// and https:// addresses of each text FILE\n"
    "                in FILE.html beside it\n"
    "\n"
    "The arguments joined by spaces are one path first, else each is a FILE; one\n"
    "that names nothing is an error (the others still get their pages).  The\n"
    "folders are XDG_FAVORITES_DIR and XDG_DESKTOP_DIR of user-dirs.dirs (else\n"
    "~/Desktop, or ~); kobu.txt beside the program or in $XDG_CONFIG_HOME/kobu\n"
    "can name another page ([kobu] html=PATH).  Exit status: 0 when every page\n"
    "was written whole; 1 when one was not (the reason on standard error); 2 for\n"
    "a wrong command line.\n"
    "\n"
    "  -o, --output=PATH  write the page to PATH instead (-: standard output)\n"
    "      --open         open each page written with xdg-open (or KOBU_OPEN=1,\n"
    "                     the favorites page only)\n"
    "  -h, --help         print this help and exit\n"
    "      --version      print the version and exit\n"
    "      --             end of options (or write ./-name for a file named -name)\n"
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

// Refuses the command line: one line on standard error, exit status 2.
int usage_error(const char* what, const char* why) {
    std::fprintf(stderr, "kobu: %s: %s (see kobu --help)\n", what, why);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // Options first: any argument that begins with "-", up to a "--" that
    // ends them; every other argument is a path.  -o takes the next
    // argument (or the rest of its own, -oPATH), --output its "=PATH" or
    // the next argument, as getopt_long would.
    int paths = 1;
    bool options = true;
    RunOptions run;
    const char* output = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && starts_with(arg, "-")) {
            if (arg == "--help" || arg == "-h") return print(USAGE);
            if (arg == "--version") return print(VERSION);
            if (arg == "--open") {
                run.open = true;
            } else if (arg == "-o" || arg == "--output") {
                if (i + 1 == argc) return usage_error(argv[i], "needs a PATH");
                output = argv[++i];
            } else if (starts_with(arg, "--output=")) {
                output = argv[i] + 9;
            } else if (starts_with(arg, "-o")) {
                output = argv[i] + 2;
            } else {
                std::fprintf(stderr, "kobu: %s: unknown option (a file so named is ./%s; see kobu --help)\n",
                             argv[i], argv[i]);
                return 2;
            }
            if (output != nullptr && output[0] == '\0') return usage_error(argv[i], "needs a PATH");
        } else {
            // A folder given with trailing slashes, as shells complete it, is that folder.
            for (std::size_t n = std::strlen(argv[i]); n > 1 && argv[i][n - 1] == '/'; --n) argv[i][n - 1] = '\0';
            argv[paths++] = argv[i];
        }
    }
    // Joined, the paths stand for the tail, cut where the buffer ends: a text
    // so long names no path, cut or not.
    static char tail[32768];
    std::size_t used = 0;
    for (int i = 1; i < paths && used + 1 < sizeof tail; ++i) {
        if (i > 1) tail[used++] = ' ';
        copy_text_cut(tail + used, sizeof tail - used, argv[i]);
        used += std::strlen(tail + used);
    }
    tail[used] = '\0';
    // Each argument is a part as it is: no quotes or backslashes to undo.
    Arguments parts(argv + 1, static_cast<std::size_t>(paths - 1));
    if (output != nullptr && std::strcmp(output, "-") == 0) {
        if (run.open) return usage_error("--open", "a page on standard output cannot be opened");
        run.standard_output = true;
    } else {
        run.output = output;
    }
    return app_run(tail, parts, run);
}
