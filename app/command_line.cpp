#include "app/app.h"

const char* split_command_line(const char* command_line) {
    const char* p = command_line;
    if (*p == '"') {
        const char* q = p + 1;
        while (*q != '\0' && *q != '"') ++q;
        if (*q == '\0') return command_line;  // an unclosed quote: the whole line
        p = q + 1;
    } else {
        while (*p != '\0' && *p != ' ') ++p;
    }
    while (*p == ' ') ++p;
    return p;
}
