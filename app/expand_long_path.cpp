#include "app/app.h"
#include "platform/platform.h"

int expand_long_path(const char* argument, char* destination, std::size_t capacity) {
    char path[PATH_BUFFER];
    char result[PATH_BUFFER] = "";
    char name[PATH_BUFFER];
    if (!copy_text(path, text_of(argument)) || !platform::long_name_of(path, name)) return 0;

    // Puts a component in front of the long form built so far.
    auto prepend = [&result](std::string_view component) {
        return result[0] == '\0' ? copy_text(result, component)
                                 : concat_text(result, {component, platform::separator(), result});
    };

    // Walk from the last component to the first, replacing each by its long
    // name; the first component (a drive, or a relative path's first folder)
    // stays as typed.
    for (char* last; (last = const_cast<char*>(platform::find_last_separator(path))) != nullptr;) {
        if (!prepend(name)) return 0;
        *last = '\0';
        // A component no search can find (a server or share name) stands
        // as typed.
        if (!platform::long_name_of(path, name)) {
            const char* before = platform::find_last_separator(path);
            copy_text(name, text_of(before ? before + 1 : path));
        }
    }
    if (!prepend(path)) return 0;
    return copy_text(destination, capacity, result) ? 1 : 0;
}
