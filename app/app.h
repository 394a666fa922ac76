// The program driver: command-line split, argument resolution and the run.
#pragma once

#include <cstddef>

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

// Runs the program on the argument tail.  0 on success; 1 when the page
// could not be written completely.  Only `tail` is used.
int app_main(void* instance, void* previous_instance, const char* tail, int show_command);

// Reads the per-user shell folder `value_name` into `destination` (a
// PATH_BUFFER): 0 on success, 1 when there is no usable value, 2 when the
// value names no path the program can reach (Windows: characters the code
// page cannot hold, and no short form); `destination` untouched but on 0.
int get_shell_folder(const char* value_name, char* destination);

// Expands `argument` to the long name of every component.  1 when
// `destination` (capacity `capacity`) received the long form, 0 otherwise
// (then `destination` is untouched).
int expand_long_path(const char* argument, char* destination, std::size_t capacity);
