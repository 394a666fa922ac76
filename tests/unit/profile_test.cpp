#include "platform/profile.h"
#include "platform/posix/user_dirs.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "test_util.h"

namespace {

std::string profile(const std::string& text, std::size_t cap = PATH_BUFFER) {
    MemorySource source{text};
    char storage[2 * LINE_BUFFER];
    LineReader reader(&MemorySource::read, &source, storage, sizeof storage);
    char out[PATH_BUFFER] = "UNTOUCHED";
    return profile_lookup(reader, "kobu", "html", "DEFAULT", out, cap) ? out : "REFUSED " + std::string(out);
}

// A C-escaped field of the rules table: \n \r \t \\ \0 and \xHH.
std::string unescaped(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char c = field[++i];
        if (c == 'n') out += '\n';
        else if (c == 'r') out += '\r';
        else if (c == 't') out += '\t';
        else if (c == '0') out += '\0';
        else if (c == 'x') {
            out += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else out += c;
    }
    return out;
}

// The same table drives the Windows profile call under Wine.
TEST(ProfileLookup, RulesAsWindowsReadsThem) {
    std::ifstream table(KOBU_TEST_DATA "/profile_rules.txt");
    ASSERT_TRUE(table) << "no rules table";
    std::string row;
    int rows = 0;
    while (std::getline(table, row)) {
        if (row.empty() || row[0] == '#') continue;
        std::vector<std::string> f;
        for (std::size_t start = 0;;) {
            const std::size_t tab = row.find('\t', start);
            f.push_back(row.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        ASSERT_EQ(f.size(), 4u) << row;
        EXPECT_EQ(profile(unescaped(f[1])), unescaped(f[2])) << f[0];
        ++rows;
    }
    EXPECT_GE(rows, 30);
}

TEST(ProfileLookup, LongLinesAndBuffers) {
    EXPECT_EQ(profile("[other]\n" + std::string(6000, 'z') + "[kobu]\nhtml=tail\n"),
              "DEFAULT");  // no line inside a line
    EXPECT_EQ(profile("[kobu]\n" + std::string(6000, ' ') + "html=x\nhtml=y\n"), "y");
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
        {"XDG_DESKTOP_DIR=\"/a\"\nXDG_DESKTOP_DIR=\"/" + std::string(300, 'x') + "\"\n", nullptr},
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
