#include "app/app.h"

const char* split_command_line(const char* command_line) { return command_tail(command_line); }
