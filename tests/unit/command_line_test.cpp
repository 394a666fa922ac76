#include <gtest/gtest.h>

#include <string>

#include "app/app.h"

namespace {

struct Case {
    const char* command_line;
    const char* tail;
};

TEST(SplitCommandLine, Cases) {
    const Case cases[] = {
        {"kobu.exe", ""},
        {"kobu.exe   C:\\a b.txt", "C:\\a b.txt"},
        {"\"C:\\Program Files\\kobu.exe\"  C:\\list.txt", "C:\\list.txt"},
        {"\"C:\\p q\\kobu.exe\" \"C:\\a b.txt\"", "\"C:\\a b.txt\""},
        {"\"C:\\kobu.exe\"\tC:\\x.txt", "\tC:\\x.txt"},
        {"kobu.exe\tC:\\x.txt", ""},
        {"kobu.exe\tmy file.txt", "file.txt"},
        {"\"C:\\kobu.exe C:\\x.txt", "\"C:\\kobu.exe C:\\x.txt"},
        {"kobu.exe x.txt  ", "x.txt  "},
        {"\"kobu.exe\"", ""},
        {"", ""},
        {"\"\"x", "x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::string(split_command_line(c.command_line)), c.tail) << c.command_line;
    }
}

}  // namespace
