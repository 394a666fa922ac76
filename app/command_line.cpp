#include "app/app.h"

const char* split_command_line(const char* command_line) { return command_tail(command_line); }

bool Arguments::next(char (&part)[PATH_BUFFER], bool& whole) {
    if (tail_ != nullptr) {
        const char* after = at_ != nullptr ? next_argument(at_, part, sizeof part, whole) : nullptr;
        at_ = after;
        return after != nullptr;
    }
    if (index_ == count_) return false;
    const std::string_view given = list_[index_++];
    whole = copy_text(part, given);
    if (!whole) copy_text_cut(part, sizeof part, given);
    return true;
}
