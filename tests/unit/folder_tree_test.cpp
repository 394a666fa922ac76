// The folder-tree writer on fake trees, in both flavours: what each folder
// contributes, the path limits, links and unreadable entries.
#include <gtest/gtest.h>

#include <functional>

#include "world.h"

namespace {

using Setup = std::function<void(World&)>;
using Expect = std::function<std::string(const World&)>;

std::string body_of(const std::string& folder) {
    return written_by([&](OutputStream& out) { EXPECT_EQ(write_folder_tree(out, folder.c_str()), 0); });
}

// A folder below fav/ whose full form is exactly `length` bytes.
std::string folder_of_length(const World& w, std::size_t length) {
    std::string rel = path_of_length(w, length, "fav", "last");
    return rel;
}

const std::string JAPANESE_FOLDER = "\x88\xEA\x97\x97\x95\x5C";  // 一覧表, its last byte 0x5C

struct TreeCase {
    const char* name;
    Setup setup;
    std::string folder;  // relative, as passed (a trailing "/" is the flavour's separator)
    Expect expected;
};

const TreeCase TREE_CASES[] = {
    {"one list per folder, one section per subfolder",
     [](World& w) {
         w.system.file(w.path("fav/News.url"), "[InternetShortcut]\r\nURL=http://news.example/\r\n");
         w.system.file(w.path("fav/Tools/Search.url"), "URL=https://search.example/?q=kobu\r\n");
         w.system.file(w.path("fav/Tools/notes.txt"), "URL=http://not-a-shortcut/\n");
         w.system.file(w.path("fav/Tools/UPPER.URL"), "URL=http://upper/\n");
     },
     "fav",
     [](const World&) {
         return "<ul>\n" + item("http://news.example/", "News") + "</ul>\n" + section("Tools") + "<ul>\n" +
                item("https://search.example/?q=kobu", "Search") + item("http://upper/", "UPPER") + "</ul>\n" +
                "</div>\n</div>\n";
     }},
    {"an empty folder gives only its end", [](World&) {}, "fav", [](const World&) { return std::string("</div>\n"); }},
    {"a subfolder without shortcuts keeps its heading and section",
     [](World& w) { w.system.folder(w.path("fav/A/B")); }, "fav",
     [](const World&) { return section("A") + section("B") + "</div>\n</div>\n</div>\n"; }},
    {"a folder named like a shortcut: an empty list, then its section",
     [](World& w) { w.system.folder(w.path("fav/Only.url")); }, "fav",
     [](const World&) { return "<ul>\n</ul>\n" + section("Only.url") + "</div>\n</div>\n"; }},
    {"a trailing separator lists the same entries",
     [](World& w) {
         w.system.file(w.path("fav/x.url"), "URL=http://x/\n");
         w.system.file(w.path("fav/Sub/y.url"), "URL=http://y/\n");
     },
     "fav/",
     [](const World&) {
         return "<ul>\n" + item("http://x/", "x") + "</ul>\n" + section("Sub") + "<ul>\n" + item("http://y/", "y") +
                "</ul>\n</div>\n</div>\n";
     }},
    {"a folder ending in the byte 0x5C of a double-byte character",
     [](World& w) {
         w.system.file(w.path("fav/" + JAPANESE_FOLDER + "/own.url"), "URL=http://own/\n");
         w.system.file(w.path("fav/" + JAPANESE_FOLDER + "/Sub/in.url"), "URL=http://in/\n");
     },
     "fav/" + JAPANESE_FOLDER,
     [](const World&) {
         return "<ul>\n" + item("http://own/", "own") + "</ul>\n" + section("Sub") + "<ul>\n" +
                item("http://in/", "in") + "</ul>\n</div>\n</div>\n";
     }},
    {"the same folder as a subfolder, passed with a trailing separator",
     [](World& w) { w.system.file(w.path("fav/" + JAPANESE_FOLDER + "/own.url"), "URL=http://own/\n"); }, "fav/",
     [](const World&) {
         return section(JAPANESE_FOLDER) + "<ul>\n" + item("http://own/", "own") + "</ul>\n</div>\n</div>\n";
     }},
    {"links back up the tree keep their heading and an empty section",
     [](World& w) {
         w.system.file(w.path("fav/Sub/s.url"), "URL=http://s/\n");
         w.system.link(w.path("fav/self"), w.path("fav"));
         w.system.link(w.path("fav/Sub/up"), w.path("fav"));
         w.system.link(w.path("fav/Sub/parent"), w.path("fav/Sub/.."));
     },
     "fav",
     [](const World&) {
         return section("self") + "</div>\n" + section("Sub") + "<ul>\n" + item("http://s/", "s") + "</ul>\n" +
                section("parent") + "</div>\n" + section("up") + "</div>\n" + "</div>\n" + "</div>\n";
     }},
    {"a folder whose identity cannot be taken is entered, but not through a link",
     [](World& w) {
         w.system.file(w.path("fav/Sub/s.url"), "URL=http://s/\n");
         w.system.link(w.path("fav/link"), w.path("fav/Sub"));
         w.system.no_identity(w.path("fav/Sub"));
     },
     "fav",
     [](const World&) {
         return section("link") + "</div>\n" + section("Sub") + "<ul>\n" + item("http://s/", "s") +
                "</ul>\n</div>\n</div>\n";
     }},
    {"shortcuts that cannot be read keep their item with an empty address",
     [](World& w) {
         w.system.file(w.path("fav/broken.url"), "URL=http://never-read/\n");
         w.system.fail_reads_after(w.path("fav/broken.url"), 0);
         w.system.file(w.path("fav/cut.url"), "[InternetShortcut]\r\nURL=http://after-the-error/\r\n");
         w.system.fail_reads_after(w.path("fav/cut.url"), 10);
         w.system.device(w.path("fav/pipe.url"));
         w.system.link(w.path("fav/dangling.url"), w.path("nowhere"));
         w.system.file(w.path("fav/none.url"), "[InternetShortcut]\r\nBASEURL=http://base/\r\nurl=http://lower/\r\n");
     },
     "fav",
     [](const World&) {
         return "<ul>\n" + item("", "broken") + item("", "cut") + item("", "dangling") + item("", "none") +
                item("", "pipe") + "</ul>\n</div>\n";
     }},
    {"names and addresses are written with & < > \" as entities, Shift_JIS as it is",
     [](World& w) {
         w.system.file(w.path("fav/Tips &para tricks.url"), "URL=x\"><script>alert(1)</script>\r\n");
         w.system.file(w.path("fav/q.url"), "URL=http://a.example/?q=\"two words\"&x=1\r\n");
         w.system.file(w.path("fav/Sales&region/\x83\x5C\x83\x74\x83\x67.url"), "URL=javascript:alert('<b>')\r\n");
     },
     "fav",
     [](const World&) {
         return std::string(
             "<ul>\n"
             "<li><a href=\"http://a.example/?q=&quot;two words&quot;&amp;x=1\">q</a></li>\n"
             "<li><a href=\"x&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;\">Tips &amp;para tricks</a></li>\n"
             "</ul>\n"
             "<div class=\"dir\"><span class=\"dir\">Sales&amp;region</span>\n"
             "<ul>\n<li><a href=\"javascript:alert('&lt;b&gt;')\">\x83\x5C\x83\x74\x83\x67</a></li>\n</ul>\n"
             "</div>\n</div>\n");
     }},
    {"names in UTF-8 under a UTF-8 locale: Shift_JIS where it holds them, else references; others as bytes",
     [](World& w) {
         w.system.utf8_locale = true;  // the Windows flavour keeps its ANSI names as they are
         w.system.file(w.path("fav/\xE6\x97\xA5\xE6\x9C\xAC/in.url"), "URL=http://ja/\n");  // 日本
         w.system.file(w.path("fav/\xED\x95\x9C&.url"), "URL=http://ko/\n");                // 한&
         w.system.file(w.path("fav/\x93\xFA.url"), "URL=http://sjis/\n");                   // 日, Shift_JIS
     },
     "fav",
     [](const World& w) {
         const std::string ko = w.windows() ? "\xED\x95\x9C&amp;" : "&#54620;&amp;";
         const std::string ja = w.windows() ? "\xE6\x97\xA5\xE6\x9C\xAC" : "\x93\xFA\x96\x7B";
         return "<ul>\n" + item("http://sjis/", "\x93\xFA") + "<li><a href=\"http://ko/\">" + ko +
                "</a></li>\n</ul>\n" + section(ja) + "<ul>\n" + item("http://ja/", "in") + "</ul>\n</div>\n</div>\n";
     }},
    {"control characters shown as U+FFFD, half-width katakana as its byte",
     [](World& w) {
         w.system.utf8_locale = true;
         w.system.file(w.path("fav/a\r\nb\x1B\x7F\x80\x81\x80.url"), "");  // 0x81 0x80: ×
         w.system.file(w.path("fav/\xC2\x85\xEF\xBD\xB1.url"), "");          // U+0085, ｱ
     },
     "fav", [](const World& w) {
         const std::string c1 = w.windows() ? "\xC2\x85\xEF\xBD\xB1" : "&#65533;\xB1";
         return "<ul>\n<li><a href=\"\">a&#65533;&#65533;b&#65533;&#65533;&#65533;\x81\x80</a></li>\n"
                "<li><a href=\"\">" + c1 + "</a></li>\n</ul>\n</div>\n";
     }},
    {"a folder that does not exist gives only its end", [](World&) {}, "fav/missing",
     [](const World&) { return std::string("</div>\n"); }},
};

TEST(WriteFolderTree, Cases) {
    for (fake::Flavour flavour : BOTH_FLAVOURS) {
        for (const TreeCase& c : TREE_CASES) {
            World w(flavour);
            c.setup(w);
            std::string folder = w.path(c.folder);
            EXPECT_EQ(body_of(folder), crlf(c.expected(w))) << c.name << " (" << flavour_name(flavour) << ")";
            EXPECT_EQ(w.system.open_files(), 0u) << c.name;
        }
    }
}

// A folder of `length` bytes as passed, holding ".url" (the shortest
// shortcut name, title "") and an empty subfolder "s".  The shortcut pass
// needs room for "\*.url", the subfolder pass for "\*"; a trailing separator
// is removed first.
struct LimitCase {
    std::size_t length;  // of the folder text, trailing separator included
    bool trailing_separator;
    std::string expected;
};

const LimitCase LIMIT_CASES[] = {
    {253, false, "<ul>\n" + item("http://x/", "") + "</ul>\n" + section("s") + "</div>\n</div>\n"},
    {254, false, section("s") + "</div>\n</div>\n"},
    {254, true, "<ul>\n" + item("http://x/", "") + "</ul>\n" + section("s") + "</div>\n</div>\n"},
    {257, false, section("s") + "</div>\n</div>\n"},  // the subfolder (259 bytes) has room for neither pass
    {258, false, "</div>\n"},
    {258, true, "</div>\n"},  // room for the subfolder pass, but not for the joined "\\s"
};

TEST(WriteFolderTree, PatternLimits) {
    for (fake::Flavour flavour : BOTH_FLAVOURS) {
        for (const LimitCase& c : LIMIT_CASES) {
            World w(flavour);
            std::string folder = w.path(folder_of_length(w, c.length - (c.trailing_separator ? 1 : 0)));
            w.system.file(folder + w.sep() + ".url", "URL=http://x/\n");
            w.system.folder(folder + w.sep() + "s");
            if (c.trailing_separator) folder += w.sep();
            EXPECT_EQ(body_of(folder), crlf(c.expected))
                << c.length << (c.trailing_separator ? " with separator" : "") << " (" << flavour_name(flavour) << ")";
        }
    }
}

TEST(WriteFolderTree, EntriesWhoseJoinedPathWouldNotFitAreLeftOut) {
    for (fake::Flavour flavour : BOTH_FLAVOURS) {
        World w(flavour);
        const std::size_t base = w.path("fav").size() + 1;
        std::string expected_items, expected_sections;
        for (std::size_t n : {258, 259, 260, 261}) {
            std::string shortcut = std::string(n - base - 4, 'u') + ".url";
            std::string folder = "d" + std::string(n - base - 1, 'f');
            w.system.file(w.path("fav/" + shortcut), "URL=http://limit/" + std::to_string(n) + "\n");
            w.system.folder(w.path("fav/" + folder));
            if (n < 260) {
                expected_items += item("http://limit/" + std::to_string(n), shortcut.substr(0, shortcut.size() - 4));
                expected_sections += section(folder) + "</div>\n";
            }
        }
        EXPECT_EQ(body_of(w.path("fav")), crlf("<ul>\n" + expected_items + "</ul>\n" + expected_sections + "</div>\n"))
            << flavour_name(flavour);
    }
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// 61 folders, each with two links to the next: every folder is entered once,
// and the page grows with the entries, not with the paths through them.
TEST(WriteFolderTree, ADiamondOfLinksIsWalkedOnce) {
    for (fake::Flavour flavour : BOTH_FLAVOURS) {
        World w(flavour);
        auto folder = [](int i) { return std::string("F") + char('0' + i / 10) + char('0' + i % 10); };
        for (int i = 0; i <= 60; ++i) w.system.file(w.path("fav/" + folder(i) + "/s.url"), "URL=http://s/\n");
        for (int i = 0; i < 60; ++i) {
            w.system.link(w.path("fav/" + folder(i) + "/L1"), w.path("fav/" + folder(i + 1)));
            w.system.link(w.path("fav/" + folder(i) + "/L2"), w.path("fav/" + folder(i + 1)));
        }
        const std::string body = body_of(w.path("fav"));
        EXPECT_EQ(count(body, "<li>"), 61u) << flavour_name(flavour);  // each folder's shortcut once
        EXPECT_EQ(count(body, "<div class=\"dir\">"), 61u + 120u) << flavour_name(flavour);  // one per entry
        EXPECT_EQ(count(body, "<div"), count(body, "</div>") - 1) << flavour_name(flavour);
    }
}

// A folder met again through a link anywhere in the walk, before or after
// its own place, is listed where it is met first.
TEST(WriteFolderTree, AFolderMetAgainThroughALinkKeepsAnEmptySection) {
    for (fake::Flavour flavour : BOTH_FLAVOURS) {
        for (bool link_first : {false, true}) {
            World w(flavour);
            const std::string target = link_first ? "Z" : "A";  // listed after or before B, which holds the link
            w.system.file(w.path("fav/" + target + "/x.url"), "URL=http://x/\n");
            w.system.link(w.path("fav/B/to"), w.path("fav/" + target));
            const std::string a = "<ul>\n" + item("http://x/", "x") + "</ul>\n";
            const std::string expected =
                link_first ? section("B") + section("to") + a + "</div>\n</div>\n" + section("Z") + "</div>\n</div>\n"
                           : section("A") + a + "</div>\n" + section("B") + section("to") + "</div>\n</div>\n</div>\n";
            EXPECT_EQ(body_of(w.path("fav")), crlf(expected))
                << flavour_name(flavour) << (link_first ? " link first" : "");
        }
    }
}

// A shortcut is read for its first 64 KiB only: a huge or sparse file named
// like one cannot hold up the run.
// Windows hands the ANSI calls names that are not what the user sees: a
// "*.url" search also matches 8.3 aliases, and a name the code page cannot
// hold comes back as a best-fit look-alike that names another entry, or
// none.  Only long names ending in ".url" are shortcuts, and every entry is
// read and entered through a name that reaches that very entry.
TEST(WriteFolderTree, EntriesAreReachedAsThemselves) {
    World w(fake::Flavour::windows);
    auto file = [&](const std::string& rel, const std::string& data) { w.system.file(w.path(rel), data); };
    file("fav/notes.urlx", "URL=http://alias-match/\n");
    w.system.alias(w.path("fav/notes.urlx"), "NOTE~15V.URL");
    file("fav/x.url2", "URL=http://alias-match-2/\n");
    w.system.alias(w.path("fav/x.url2"), "X~1.URL");
    w.system.folder(w.path("fav/folder.urlx"));
    w.system.alias(w.path("fav/folder.urlx"), "FOLDER~1.URL");
    file("fav/Caf\xC3\xA9.url", "URL=http://cafe-accent/\n");  // Café.url: shown as Cafe.url
    w.system.alias(w.path("fav/Caf\xC3\xA9.url"), "CAFE~1.URL");
    w.system.unfaithful(w.path("fav/Caf\xC3\xA9.url"), "Cafe.url", "Caf\xC3\xA9.url");
    file("fav/Cafe.url", "URL=http://cafe-plain/\n");  // the look-alike
    file("fav/emoji.url", "URL=http://emoji/\n");      // 😀.url: ANSI ??.url, no short name
    w.system.unfaithful(w.path("fav/emoji.url"), "\?\?.url", "\xF0\x9F\x98\x80.url");
    file("fav/Creme-accent/x.url", "URL=http://creme-accent/\n");  // Crème: ANSI Creme
    w.system.alias(w.path("fav/Creme-accent"), "CREME~1");
    w.system.unfaithful(w.path("fav/Creme-accent"), "Creme", "Cr\xC3\xA8me");
    file("fav/Creme/y.url", "URL=http://creme-plain/\n");
    file("fav/x-yen-y/own.url", "URL=http://yen/\n");  // x¥y: ANSI x\y (0x5C!)
    w.system.alias(w.path("fav/x-yen-y"), "XY~1");
    w.system.unfaithful(w.path("fav/x-yen-y"), "x\\y", "x\xC2\xA5y");
    file("fav/x/y/decoy.url", "URL=http://decoy/\n");
    w.system.folder(w.path("fav/hangul"));  // 한: ANSI ?, no short name
    w.system.unfaithful(w.path("fav/hangul"), "?", "\xED\x95\x9C");
    // Each shown as itself: what Shift_JIS cannot hold as a character reference.
    auto shown = [](const char* address, const char* title) {
        return std::string("<li><a href=\"") + address + "\">" + title + "</a></li>\n";
    };
    auto heading = [](const char* name) {
        return std::string("<div class=\"dir\"><span class=\"dir\">") + name + "</span>\n";
    };
    const std::string expected =
        "<ul>\n" + shown("", "&#128512;") + shown("http://cafe-accent/", "Caf&#233;") +
        item("http://cafe-plain/", "Cafe") + "</ul>\n" + heading("&#54620;") + "</div>\n" + heading("Cr&#232;me") +
        "<ul>\n" + item("http://creme-accent/", "x") + "</ul>\n</div>\n" + section("Creme") + "<ul>\n" +
        item("http://creme-plain/", "y") + "</ul>\n</div>\n" + section("folder.urlx") + "</div>\n" + section("x") +
        section("y") + "<ul>\n" + item("http://decoy/", "decoy") + "</ul>\n</div>\n</div>\n" + heading("x&#165;y") +
        "<ul>\n" + item("http://yen/", "own") + "</ul>\n</div>\n" + "</div>\n";
    EXPECT_EQ(body_of(w.path("fav")), crlf(expected));
}

// A path of Japanese names can outgrow the path buffer long before Windows'
// own limit (which counts characters): an entry whose joined path does not
// fit is reached through its 8.3 name, its heading still its long name.
TEST(WriteFolderTree, LongNamesAreReachedThroughShortNames) {
    World w(fake::Flavour::windows);
    std::string hyou80;
    for (int i = 0; i < 80; ++i) hyou80 += "\x95\x5C";  // 80 × 表: 160 bytes
    const std::string outer = "fav/" + hyou80, inner = outer + "/" + hyou80;
    w.system.file(w.path(inner + "/in.url"), "URL=http://deep/\n");
    w.system.alias(w.path(outer), "9A5C~1");
    w.system.alias(w.path(inner), "9A5C~2");
    w.system.alias(w.path(inner + "/in.url"), "IN~1.URL");
    const std::string expected =
        section(hyou80) + section(hyou80) + "<ul>\n" + item("http://deep/", "in") + "</ul>\n</div>\n</div>\n</div>\n";
    EXPECT_EQ(body_of(w.path("fav")), crlf(expected));
}

TEST(ReadShortcutUrl, ReadsNoMoreThanTheStartOfAFile) {
    World w(fake::Flavour::posix);
    w.system.file(w.path("huge.url"), "[InternetShortcut]\r\nURL=http://start/\r\n");
    w.system.sparse(w.path("huge.url"), std::uint64_t{4} << 40);  // 4 TB
    EXPECT_STREQ(read_shortcut_url(w.path("huge.url").c_str()), "http://start/");
    EXPECT_LE(w.system.bytes_read, 64u * 1024);

    w.system.file(w.path("late.url"), std::string(64 * 1024 - 20, '\n') + "URL=http://inside/\n");
    EXPECT_STREQ(read_shortcut_url(w.path("late.url").c_str()), "http://inside/");
    w.system.file(w.path("later.url"), std::string(64 * 1024, '\n') + "URL=http://too-far/\n");
    w.system.bytes_read = 0;
    EXPECT_STREQ(read_shortcut_url(w.path("later.url").c_str()), "");
    EXPECT_LE(w.system.bytes_read, 64u * 1024);
}

std::string utf16le(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) out += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return out;
}

TEST(ReadShortcutUrl, FirstUrlLineWithoutItsLineEnd) {
    const std::pair<std::string, std::string> cases[] = {
        {"[InternetShortcut]\r\nURL=http://a.example/\r\n", "http://a.example/"},
        {"[DEFAULT]\r\nBASEURL=http://base/\r\n[InternetShortcut]\r\nURL=http://real/\r\n", "http://real/"},
        {"url=http://lower/\r\n URL=http://indented/\n", ""},
        {"URL=http://first/\nURL=http://second/\n", "http://first/"},
        {"URL=http://lone-cr/\r", "http://lone-cr/\r"},
        {std::string("URL=a\0b\n", 8), "a"},
        {"URL=" + std::string(6000, 'x') + "\n", std::string(5115, 'x')},
        {"", ""},
        {"\xEF\xBB\xBFURL=http://marked/\xC3\xA9\n", "http://marked/%C3%A9"},
        {"URL=http://u8.example/\xE6\xA4\x9C\xE7\xB4\xA2\r\n", "http://u8.example/%E6%A4%9C%E7%B4%A2"},  // 検索
        {utf16le(u"\uFEFF[InternetShortcut]\r\nURL=http://u16/\u65E5 \u00E9\r\n"), "http://u16/%E6%97%A5 %C3%A9"},
        {"URL=http://ko/??\r\n[InternetShortcut.W]\r\nURL=http://ko/+1VytbQ-\r\n", "http://ko/%ED%95%9C%EA%B5%AD"},
        {"URL=http://ko/?\r\n[InternetShortcut.W]\r\nurl=http://ko/+1Vw-\r\n", "http://ko/%ED%95%9C"},
        {"[ internetshortcut.w ]\nURL=+AGg-ttp://w/\x7F\n[InternetShortcut]\nURL=http://a/\n", "http://w/%7F"},
        {"URL=http://a/\n[InternetShortcut.W]\nURL=http://\x93\xFA/\n", "http://a/"},  // no UTF-7
    };
    World w(fake::Flavour::windows);
    for (const auto& [data, address] : cases) {
        w.system.file(w.path("s.url"), data);
        EXPECT_EQ(std::string(read_shortcut_url(w.path("s.url").c_str())), address) << testing::PrintToString(data);
    }
    EXPECT_EQ(std::string(read_shortcut_url(w.path("missing.url").c_str())), "");
    EXPECT_EQ(w.system.open_files(), 0u);
}

}  // namespace
