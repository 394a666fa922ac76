// The program driver: command-line split, argument resolution and the run.
#pragma once

#include <cstddef>

#include "platform/bytes.h"
#include "sjis/sjis.h"

// The argument tail of a full command line: what follows the program name
// (quoted or not) and the spaces after it.  Only the space byte separates;
// the tail itself is returned unaltered, quotes included.
const char* split_command_line(const char* command_line);

// The same split for a command line of any character type (the Windows
// entry splits the Unicode command line too).
template <typename Char>
const Char* command_tail(const Char* command_line) {
    const Char* p = command_line;
    if (*p == '"') {
        const Char* q = p + 1;
        while (*q != '\0' && *q != '"') ++q;
        if (*q == '\0') return command_line;  // an unclosed quote: the whole line
        p = q + 1;
    } else {
        while (*p != '\0' && *p != ' ') ++p;
    }
    while (*p == ' ') ++p;
    return p;
}

// The next argument of a command-line tail as Windows splits a command line
// (CommandLineToArgvW): blanks (space, tab) separate arguments; a double
// quote opens or closes a quoted run, in which blanks belong to the
// argument; 2n backslashes before a quote give n and the quote counts as
// one, 2n+1 give n and a literal quote; other backslashes stay as they are;
// a quote that closes a run and the one right after it give a literal quote
// (in a row of quotes every third one).  A Shift_JIS trail byte 0x5C is no
// backslash.  The argument goes to `out` (capacity `cap`, at least 1), cut
// where it does not fit, and then `whole` is false.  Returns where the search
// for the next argument begins, or nullptr when no argument is left.
template <typename Char>
const Char* next_argument(const Char* at, Char* out, std::size_t cap, bool& whole) {
    while (*at == ' ' || *at == '\t') ++at;
    if (*at == '\0') return nullptr;
    std::size_t n = 0;
    whole = true;
    auto put = [&](Char c, std::size_t times = 1) {
        for (; times > 0; --times) {
            if (n + 1 < cap) out[n++] = c;
            else whole = false;
        }
    };
    int quotes = 0;  // 1 inside a quoted run
    std::size_t backslashes = 0;
    for (; *at != '\0' && (quotes != 0 || (*at != ' ' && *at != '\t')); ++at) {
        const Char c = *at;
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            put('\\', backslashes / 2);
            const bool escaped = backslashes % 2 != 0;
            backslashes = 0;
            if (escaped) {
                put('"');
                continue;
            }
            ++quotes;  // opens a run, or is the first quote of its end
            for (; at[1] == '"'; ++at) {
                if (++quotes == 3) {
                    put('"');
                    quotes = 0;
                }
            }
            if (quotes == 2) quotes = 0;
            continue;
        }
        put('\\', backslashes);
        backslashes = 0;
        put(c);
        if constexpr (sizeof(Char) == 1)
            if (sjis_is_lead_byte(static_cast<unsigned char>(c)) && at[1] != '\0') put(*++at);
    }
    put('\\', backslashes);
    out[n] = '\0';
    return at;
}

// The parts a run takes one by one: a command-line tail as Windows splits
// one, or the arguments as the system gave them (POSIX).
class Arguments {
public:
    explicit Arguments(const char* tail) : tail_(tail), at_(tail) {}
    Arguments(const char* const* list, std::size_t count) : list_(list), count_(count) {}

    // The next part, in `part`; false after the last.  A part too long for a
    // path is cut, and `whole` is false.
    bool next(char (&part)[PATH_BUFFER], bool& whole);
    // Back to the first part.
    void rewind() {
        at_ = tail_;
        index_ = 0;
    }

private:
    const char* tail_ = nullptr;
    const char* at_ = nullptr;
    const char* const* list_ = nullptr;
    std::size_t count_ = 0;
    std::size_t index_ = 0;
};

// Runs the program on the argument tail.  0 on success; 1 when a page could
// not be written completely.  Only `tail` is used; it is split into parts as
// Windows splits a command line.
int app_main(void* instance, void* previous_instance, const char* tail, int show_command);

// What the native command line may ask beyond its paths.
struct RunOptions {
    const char* output = nullptr;  // the page goes here instead of its usual place
    bool standard_output = false;  // the page goes to standard output as it is written
    bool open = false;             // every page written is opened, links pages too
};

// The same run with the parts given.  The tail, unquoted, is one path first;
// when it names nothing and there are two or more parts, every part that is
// a file gets its links page (1 when any could not be written or a part
// names nothing), and a folder among them makes the run write nothing and
// exit 1; with another place for the page asked for, several parts are
// refused (2, nothing written), since their pages cannot share it.  One
// argument that names nothing (Windows: one that no part names anything of
// either) lists the Favorites folder where the platform says so (Windows),
// and is an error elsewhere (exit 1, nothing written).
int app_run(const char* tail, Arguments& parts, const RunOptions& options = {});

// Reads the per-user shell folder `value_name` into `destination` (a
// PATH_BUFFER): 0 on success, 1 when there is no usable value, 2 when the
// value names no path the program can reach (Windows: characters the code
// page cannot hold, and no short form); `destination` untouched but on 0.
int get_shell_folder(const char* value_name, char* destination);

// Expands `argument` to the long name of every component.  1 when
// `destination` (capacity `capacity`) received the long form, 0 otherwise
// (then `destination` is untouched).
int expand_long_path(const char* argument, char* destination, std::size_t capacity);
