#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app.h"

namespace {

struct Case {
    const char* command_line;
    const char* tail;
    std::vector<std::string> parts;  // the tail split as Windows splits a command line
};

std::vector<std::string> parts_of(const char* tail) {
    std::vector<std::string> parts;
    char part[PATH_BUFFER];
    bool whole = true;
    for (const char* at = tail; (at = next_argument(at, part, sizeof part, whole)) != nullptr;)
        parts.push_back(std::string(part) + (whole ? "" : "(cut)"));
    return parts;
}

TEST(SplitCommandLine, Cases) {
    const std::string long_line = "k " + std::string(300, 'x') + " y";
    const Case cases[] = {
        {"kobu.exe", "", {}},
        {"kobu.exe   C:\\a b.txt", "C:\\a b.txt", {"C:\\a", "b.txt"}},
        {"\"C:\\Program Files\\kobu.exe\"  C:\\list.txt", "C:\\list.txt", {"C:\\list.txt"}},
        {"\"C:\\p q\\kobu.exe\" \"C:\\a b.txt\"", "\"C:\\a b.txt\"", {"C:\\a b.txt"}},
        {"\"C:\\kobu.exe\"\tC:\\x.txt", "\tC:\\x.txt", {"C:\\x.txt"}},
        {"kobu.exe\tC:\\x.txt", "", {}},
        {"kobu.exe\tmy file.txt", "file.txt", {"file.txt"}},
        {"\"C:\\kobu.exe C:\\x.txt", "\"C:\\kobu.exe C:\\x.txt", {"C:\\kobu.exe C:\\x.txt"}},
        {"kobu.exe x.txt  ", "x.txt  ", {"x.txt"}},
        {"\"kobu.exe\"", "", {}},
        {"", "", {}},
        {"\"\"x", "x", {"x"}},
        // Explorer's drop of several files, and the rules of the split.
        {"\"C:\\kobu.exe\" \"C:\\my notes\\a.txt\" \"C:\\b.txt\"", "\"C:\\my notes\\a.txt\" \"C:\\b.txt\"",
         {"C:\\my notes\\a.txt", "C:\\b.txt"}},
        {"k a\tb \t c", "a\tb \t c", {"a", "b", "c"}},
        {"k \"C:\\dir\\\\\" x", "\"C:\\dir\\\\\" x", {"C:\\dir\\", "x"}},  // 2n backslashes, a closing quote
        {"k a\\\"b c\\\\\\\"d", "a\\\"b c\\\\\\\"d", {"a\"b", "c\\\"d"}},    // 2n+1: a literal quote
        {"k C:\\a\\\\b\\", "C:\\a\\\\b\\", {"C:\\a\\\\b\\"}},               // no quote after them: as they are
        {"k x\"y z\"w", "x\"y z\"w", {"xy zw"}},
        {"k \"a\"\"b\"", "\"a\"\"b\"", {"a\"b"}},  // a closing quote and the next: a literal one
        {"k \"\" x", "\"\" x", {"", "x"}},
        {"k \"C:\\\x95\x5C\" x", "\"C:\\\x95\x5C\" x", {"C:\\\x95\x5C", "x"}},  // 表: its 0x5C is no backslash
        {"k \"a b", "\"a b", {"a b"}},
        {long_line.c_str(), nullptr, {std::string(259, 'x') + "(cut)", "y"}},
    };
    for (const auto& c : cases) {
        const char* tail = split_command_line(c.command_line);
        if (c.tail != nullptr) EXPECT_EQ(std::string(tail), c.tail) << c.command_line;
        EXPECT_EQ(parts_of(tail), c.parts) << c.command_line;
    }
}

}  // namespace
