// Argument resolution on fake trees: 8.3 names, letter case, separators in
// double-byte characters, wildcards and the length limit.
#include <gtest/gtest.h>

#include "app/app.h"
#include "world.h"

namespace {

using fake::Flavour;

const std::string HYOU = "\x95\x5C";                        // 表: its second byte is 0x5C
const std::string ICHIRANHYOU = "\x88\xEA\x97\x97" + HYOU;  // 一覧表

// The tree every case runs on.
void make_tree(World& w) {
    w.system.file(w.path("Program Files/Notes.txt"), "");
    w.system.alias(w.path("Program Files"), "PROGRA~1");
    w.system.alias(w.path("Program Files/Notes.txt"), "NOTES~1.TXT");
    w.system.file(w.path(ICHIRANHYOU + "/x.txt"), "");
    w.system.file(w.path("w/first.txt"), "");
    w.system.file(w.path("w/second.txt"), "");
    w.system.file(w.path("cwd/notes.txt"), "");
    w.system.file(w.path("cwd/sub/x.txt"), "");
    // Crème, shown as its look-alike Creme, which exists too.
    w.system.file(w.path("Creme-accent/x.txt"), "");
    if (w.windows()) {
        w.system.alias(w.path("Creme-accent"), "CREME~1");
        w.system.unfaithful(w.path("Creme-accent"), "Creme");
    }
    w.system.file(w.path("Creme/x.txt"), "");
}

constexpr const char* NONE = "(does not resolve)";

struct Case {
    Flavour flavour;
    std::string argument;
    std::string expected;
};

const Case CASES[] = {
    {Flavour::windows, "C:\\PROGRA~1\\NOTES~1.TXT", "C:\\Program Files\\Notes.txt"},
    {Flavour::windows, "C:\\PROGRA~1\\NOTES.TXT", "C:\\Program Files\\Notes.txt"},
    {Flavour::windows, "c:\\program files\\NOTES.txt", "c:\\Program Files\\Notes.txt"},  // the drive stays as typed
    {Flavour::windows, "C:\\Program Files", "C:\\Program Files"},
    {Flavour::windows, "C:\\Program Files\\", NONE},  // a trailing separator names no entry
    {Flavour::windows, "C:\\", NONE},
    {Flavour::windows, "C:\\missing.txt", NONE},
    {Flavour::windows, "", NONE},
    {Flavour::windows, "C:\\" + ICHIRANHYOU, "C:\\" + ICHIRANHYOU},
    {Flavour::windows, "C:\\" + ICHIRANHYOU + "\\X.TXT", "C:\\" + ICHIRANHYOU + "\\x.txt"},
    {Flavour::windows, "C:\\w\\*.txt", "C:\\w\\first.txt"},
    {Flavour::windows, "C:\\CREME~1\\x.txt", "C:\\CREME~1\\x.txt"},  // never the look-alike's long name
    {Flavour::windows, "C:\\Creme\\X.TXT", "C:\\Creme\\x.txt"},
    {Flavour::windows, "C:\\w\\s?cond.*", "C:\\w\\second.txt"},
    {Flavour::windows, "NOTES.TXT", "NOTES.TXT"},    // a bare name resolves to itself
    {Flavour::windows, "sub\\X.txt", "sub\\x.txt"},  // so does the first folder of a relative path
    {Flavour::posix, "/Program Files/Notes.txt", "/Program Files/Notes.txt"},
    {Flavour::posix, "/Program Files/notes.TXT", "/Program Files/Notes.txt"},  // no exact name: any letter case
    {Flavour::posix, "/program files/Notes.txt", NONE},                        // but folders are found as spelled
    {Flavour::posix, "/w/*.txt", "/w/first.txt"},
    {Flavour::posix, "/w/", NONE},
    {Flavour::posix, "notes.txt", "notes.txt"},
    {Flavour::posix, "/missing/x.txt", NONE},
};

TEST(ExpandLongPath, Cases) {
    for (const Case& c : CASES) {
        World w(c.flavour);
        make_tree(w);
        char out[PATH_BUFFER] = "UNTOUCHED";
        int r = expand_long_path(c.argument.c_str(), out, sizeof out);
        const bool resolves = c.expected != NONE;
        EXPECT_EQ(r, resolves ? 1 : 0) << c.argument;
        EXPECT_EQ(std::string(out), resolves ? c.expected : "UNTOUCHED") << c.argument;
    }
}

// The long form must fit the destination: one that grows past it through
// the expansion of short names does not resolve.
TEST(ExpandLongPath, LongFormMustFit) {
    for (Flavour flavour : BOTH_FLAVOURS) {
        World w(flavour);
        const std::size_t base = w.path("").size();
        for (std::size_t length : {258, 259, 260, 261}) {
            const std::string folder = "F" + std::to_string(length) + std::string(100, 'f');
            const std::string name = std::string(length - base - folder.size() - 1, 'n');
            w.system.file(w.path(folder + "/" + name), "");
            w.system.alias(w.path(folder), "F" + std::to_string(length) + "~1");
            const std::string long_form = w.path(folder + "/" + name);
            ASSERT_EQ(long_form.size(), length);
            const std::string typed = w.windows() ? w.path("F" + std::to_string(length) + "~1/" + name) : long_form;
            char out[PATH_BUFFER] = "UNTOUCHED";
            EXPECT_EQ(expand_long_path(typed.c_str(), out, sizeof out), length < PATH_BUFFER ? 1 : 0) << length;
            EXPECT_EQ(std::string(out), length < PATH_BUFFER ? long_form : "UNTOUCHED") << length;
        }
        // The destination's own capacity counts too.
        char small[4] = "UNT";
        EXPECT_EQ(expand_long_path(w.path("cwd").c_str(), small, sizeof small), 0);
        EXPECT_STREQ(small, "UNT");
    }
}

}  // namespace
