#include "platform/posix/config_text.h"

#include <gtest/gtest.h>

#include <string>

#include "test_util.h"

namespace {

std::string profile(const std::string& text, std::size_t cap = PATH_BUFFER) {
    MemorySource source{text};
    char storage[2 * LINE_BUFFER];
    LineReader reader(&MemorySource::read, &source, storage, sizeof storage);
    char out[PATH_BUFFER] = "UNTOUCHED";
    return profile_lookup(reader, "kobu", "html", "DEFAULT", out, cap) ? out : "REFUSED " + std::string(out);
}

TEST(ProfileLookup, Rules) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "DEFAULT"},
        {"[kobu]\nhtml=C:\\x.html\n", "C:\\x.html"},
        {"[KOBU]\r\nHTML = C:\\x.html \r\n", "C:\\x.html"},
        {"  [ kobu ]  \n\t html\t=\t\"C:\\a b.html\"\n", "C:\\a b.html"},
        {"[kobu]\nhtml='x'\n", "x"},
        {"[kobu]\nhtml=\"x'\n", "\"x'"},
        {"[kobu]\nhtml=\n", ""},
        {"[other]\nhtml=x\n", "DEFAULT"},
        {"html=x\n[kobu]\n", "DEFAULT"},
        {"[kobu]\n;html=x\nhtml=y\n", "y"},
        {"[kobu]\nhtml=first\nhtml=second\n[kobu]\nhtml=third\n", "first"},
        {"[kobu]\nhtmlx=no\nhtml\nhtml=yes", "yes"},
        {"[kobu\nhtml=x\n", "DEFAULT"},  // no closing bracket: not a section
        {"[kobu]\n[other\nhtml=x\n", "x"},
        {"[other]\n" + std::string(6000, 'z') + "[kobu]\nhtml=tail\n", "DEFAULT"},  // no line inside a line,
        {std::string("[kobu]\nhtml=a\0b\n", 15), "a"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(profile(text), expected) << testing::PrintToString(text);
    // A value too long for its buffer is refused, never cut short.
    EXPECT_EQ(profile("[kobu]\nhtml=abc\n", 4), "abc");
    EXPECT_EQ(profile("[kobu]\nhtml=abcd\n", 4), "REFUSED UNTOUCHED");
    EXPECT_EQ(profile("[kobu]\nother=x\n", 7), "REFUSED UNTOUCHED");
}

bool user_dir(const std::string& text, std::string& out) {
    MemorySource source{text};
    char storage[2 * LINE_BUFFER];
    LineReader reader(&MemorySource::read, &source, storage, sizeof storage);
    char value[PATH_BUFFER];
    if (!user_dirs_lookup(reader, "XDG_DESKTOP_DIR", "/home/u", value, sizeof value)) return false;
    out = value;
    return true;
}

TEST(UserDirsLookup, Rules) {
    const std::pair<std::string, const char*> cases[] = {
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n", "/home/u/Desktop"},
        {"# c\n  XDG_DESKTOP_DIR = \"/abs/d\"\n", "/abs/d"},
        {"XDG_DESKTOP_DIR=\"$HOME\"\n", "/home/u"},
        {"XDG_DESKTOP_DIR=\"$HOME/a\\\"b\"\n", "/home/u/a\"b"},
        {"XDG_DESKTOP_DIR=\"/a\"\nXDG_DESKTOP_DIR=\"/b\"\n", "/b"},
        {"XDG_DESKTOP_DIR=\"/a\"\nXDG_DESKTOP_DIR=\"bad\"\n", "/a"},
        {"XDG_DESKTOP_DIR=relative\n", nullptr},
        {"XDG_DESKTOP_DIR=\"$HOMEX/a\"\n", nullptr},
        {"XDG_DESKTOP_DIR=\"/unterminated\n", nullptr},
        {"XDG_DESKTOP_DIRS=\"/a\"\n", nullptr},
        {"XDG_DOWNLOAD_DIR=\"/a\"\n", nullptr},
        {"XDG_DESKTOP_DIR=\"/" + std::string(300, 'x') + "\"\n", nullptr},
        {"XDG_DESKTOP_DIR=\"\"\n", ""},
        {"", nullptr},
    };
    for (const auto& [text, expected] : cases) {
        std::string out;
        bool found = user_dir(text, out);
        EXPECT_EQ(found, expected != nullptr) << testing::PrintToString(text);
        if (found && expected) EXPECT_EQ(out, expected);
    }
}

}  // namespace
