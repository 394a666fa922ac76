// Whole runs of the program on fake machines, in both flavours: which page
// is written where, the exit code, the shell, and that nothing else changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "app/app.h"
#include "links/links_page.h"
#include "world.h"

namespace {

using fake::Flavour;
using Setup = std::function<void(World&)>;
using Text = std::function<std::string(const World&)>;

// The whole links page for an input path and its items.
std::string links_page(std::string_view input, std::string_view items) {
    MemorySource empty{""};
    char storage[2 * LINE_BUFFER];
    LineReader reader(&MemorySource::read, &empty, storage, sizeof storage);
    std::string page =
        written_by([&](OutputStream& out) { write_links_page(out, reader, std::string(input).c_str()); });
    const std::string foot = crlf("</ul>\n<hr>\n</body>\n</html>");
    return page.substr(0, page.size() - foot.size()) + crlf(items) + foot;
}

std::string link(std::string_view scheme, std::string_view address) {
    return "<li><a href=\"" + std::string(scheme) + html(address) + "\">" + std::string(scheme) + html(address) +
           "</a></li>\n";
}

struct Written {
    std::string path;              // relative
    std::optional<Text> contents;  // none: any contents
};

struct RunCase {
    const char* name;
    Setup setup;
    Text tail;
    int rc;
    std::vector<Written> written;  // every file the run may write, and nothing else
    bool opened = false;           // the first of them was handed to the shell
    std::optional<Flavour> only = std::nullopt;
    std::optional<Text> message = std::nullopt;  // the one line the run tells the user, "PATH: CAUSE"
};

Text none() {
    return [](const World&) { return std::string(); };
}
Text at(std::string relative) {
    return [relative](const World& w) { return w.path(relative); };
}

// Favorites with one shortcut, and the page that lists it under `root`.
void one_favorite(World& w) { w.system.file(w.path("fav/News.url"), "URL=http://news.example/\r\n"); }
Text favorites_listed(std::string root = "fav") {
    return [root](const World& w) {
        return favorites_page(w.path(root), "<ul>\n" + item("http://news.example/", "News") + "</ul>\n</div>\n");
    };
}
Text page_of(std::string_view heading, std::string body) {
    std::string h(heading);
    return [h, body](const World&) { return favorites_page(h, body); };
}

void links_input(World& w) { w.system.file(w.path("in/links.txt"), "see http://a/ and https://b/\r\nhttp://c/\n"); }
Text links_listed(std::string input = "in/links.txt") {
    return [input](const World& w) {
        return links_page(w.path(input), link("http://", "a/") + link("https://", "b/") + link("http://", "c/"));
    };
}

void two_inputs(World& w) {
    w.system.file(w.path("in/a.txt"), "http://a/\n");
    w.system.file(w.path("in/b.txt"), "http://b/\n");
}
// Paths each in quotes, as Explorer passes several dropped files.
Text quoted(std::vector<std::string> relative) {
    return [relative](const World& w) {
        std::string tail;
        for (const std::string& r : relative) tail += (tail.empty() ? "\"" : " \"") + w.path(r) + "\"";
        return tail;
    };
}
// The links page of one address; a bare name is shown as given.
Text links_of(std::string input, std::string address) {
    return [input, address](const World& w) {
        return links_page(input.find('/') == std::string::npos ? input : w.path(input), link("http://", address));
    };
}

void configure(World& w, const std::string& text) { w.system.file(w.path("tools/kobu.txt"), text); }

const std::string HYOU_FOLDER = "\x88\xEA\x97\x97\x95\x5C";  // 一覧表, ending in the byte 0x5C
const std::string MAIL_PHOTOS = "\xEF\xBE\x92\xEF\xBD\xB0\xEF\xBE\x99\xE5\x86\x99\xE7\x9C\x9F";  // ﾒｰﾙ写真

const RunCase RUN_CASES[] = {
    {"no argument: Favorites to the Desktop", one_favorite, none(), 0, {{"desk/kobu.html", favorites_listed()}}},
    {"Ctrl held: the page is opened once written",
     [](World& w) {
         one_favorite(w);
         w.system.control_down = true;
     },
     none(),
     0,
     {{"desk/kobu.html", favorites_listed()}},
     true},
    {"Ctrl has no effect in text mode",
     [](World& w) {
         links_input(w);
         w.system.control_down = true;
     },
     at("in/links.txt"),
     0,
     {{"in/links.txt.html", links_listed()}}},
    {"no Desktop value: the page goes beside the program",
     [](World& w) {
         one_favorite(w);
         w.system.shell_folders.erase("Desktop");
     },
     none(),
     0,
     {{"tools/kobu.html", favorites_listed()}}},
    {"Ctrl held, no Desktop value: the page beside the program is opened by its path",
     [](World& w) {
         one_favorite(w);
         w.system.shell_folders.erase("Desktop");
         w.system.control_down = true;
     },
     none(),
     0,
     {{"tools/kobu.html", favorites_listed()}},
     true},
    {"no home at all: nothing written, never beside the program", [](World& w) { w.system.home.clear(); }, none(), 1,
     {}, false, Flavour::posix},
    {"no Favorites value: the Windows directory's favorites",
     [](World& w) {
         w.system.shell_folders.erase("Favorites");
         w.system.file(w.path("windows/favorites/News.url"), "URL=http://news.example/\r\n");
     },
     none(),
     0,
     {{"desk/kobu.html", favorites_listed("windows/favorites")}}},
    {"neither Favorites nor a Windows directory: an empty listing",
     [](World& w) {
         w.system.shell_folders.erase("Favorites");
         w.system.windows_directory.clear();
     },
     none(),
     0,
     {{"desk/kobu.html", page_of("", "</div>\n")}}},
    {"an empty Favorites value lists nothing",
     [](World& w) {
         one_favorite(w);
         w.system.shell_folders["Favorites"] = "";
     },
     none(),
     0,
     {{"desk/kobu.html", page_of("", "</div>\n")}}},
    {"kobu.txt names the output",
     [](World& w) {
         one_favorite(w);
         w.system.folder(w.path("elsewhere"));
         configure(w, "; settings\r\n[other]\r\nhtml=wrong.html\r\n[Kobu]\r\n Html = \"" +
                          w.path("elsewhere/mine.html") + "\"\r\n");
     },
     none(),
     0,
     {{"elsewhere/mine.html", favorites_listed()}}},
    {"a relative kobu.txt value is taken from the current folder",
     [](World& w) {
         one_favorite(w);
         configure(w, "[kobu]\nhtml=relative.html\n");
     },
     none(),
     0,
     {{"cwd/relative.html", favorites_listed()}}},
    {"kobu.txt beside the program comes first",
     [](World& w) {
         one_favorite(w);
         w.system.configuration_home = w.path("conf");
         w.system.file(w.path("conf/kobu/kobu.txt"), "[kobu]\nhtml=" + w.path("desk/not.html") + "\n");
         configure(w, "[kobu]\nother=1\n");
     },
     none(),
     0,
     {{"desk/kobu.html", favorites_listed()}},
     false,
     Flavour::posix},
    {"a kobu.txt value in code page 932, UTF-8 by chance, in the reading whose folder exists",
     [](World& w) {
         one_favorite(w);
         w.system.utf8_locale = true;
         w.system.folder(w.path(MAIL_PHOTOS));
         configure(w, "[kobu]\nhtml=" + w.path("\xD2\xB0\xD9\x8E\xCA\x90\x5E/p.html") + "\n");  // ﾒｰﾙ写真 in 932
     },
     none(), 0, {{MAIL_PHOTOS + "/p.html", favorites_listed()}}, false, Flavour::posix},
    {"kobu.txt without the key keeps the default",
     [](World& w) {
         one_favorite(w);
         configure(w, "[kobu]\nother=1\n[x]\nhtml=no.html\n");
     },
     none(),
     0,
     {{"desk/kobu.html", favorites_listed()}}},
    {"an empty html value cannot be created", [](World& w) { configure(w, "[kobu]\nhtml=\n"); }, none(), 1, {}},
    {"a kobu.txt value too long for a path is refused, never cut",
     [](World& w) { configure(w, "[kobu]\nhtml=" + w.path("cwd/" + std::string(260, 'p')) + "\n"); },
     none(),
     1,
     {}},
    {"an output folder that does not exist",
     [](World& w) { w.system.shell_folders["Desktop"] = w.path("nowhere"); },
     none(),
     1,
     {}},
    {"a read-only page stays as it was",
     [](World& w) {
         w.system.file(w.path("desk/kobu.html"), "old page");
         w.system.read_only(w.path("desk/kobu.html"));
     },
     none(),
     1,
     {}},
    {"a full disk ends the run with 1 and leaves the old page",
     [](World& w) {
         one_favorite(w);
         w.system.file(w.path("desk/kobu.html"), "the old page");
         w.system.disk_space(100);
     },
     none(),
     1,
     {}},
    {"without the program's own path nothing is written",
     [](World& w) {
         one_favorite(w);
         w.system.program.reset();
     },
     none(),
     1,
     {}},
    {"a program folder too long for its buffer",
     [](World& w) { w.system.program = w.path(path_of_length(w, 259, "tools", "k")); },
     none(),
     1,
     {}},
    {"a file argument gets its links page beside it",
     links_input,
     at("in/links.txt"),
     0,
     {{"in/links.txt.html", links_listed()}}},
    {"a quoted argument names the path inside the quotes",
     links_input,
     [](const World& w) { return "\"" + w.path("in/links.txt") + "\""; },
     0,
     {{"in/links.txt.html", links_listed()}}},
    {"an 8.3 argument names its page with the long names",
     [](World& w) {
         links_input(w);
         w.system.alias(w.path("in/links.txt"), "LINKS~1.TXT");
     },
     at("IN/LINKS~1.TXT"),
     0,
     {{"in/links.txt.html", links_listed()}},
     false,
     Flavour::windows},
    {"a folder argument is listed",
     [](World& w) { w.system.file(w.path("dir/News.url"), "URL=http://news.example/\r\n"); },
     at("dir"),
     0,
     {{"desk/kobu.html", favorites_listed("dir")}}},
    {"a root heading from outside is escaped",
     [](World& w) { w.system.file(w.path("My&section/News.url"), "URL=http://news.example/\r\n"); },
     at("My&section"),
     0,
     {{"desk/kobu.html",
       [](const World& w) {
           return favorites_page(w.path("My&section"),
                                 "<ul>\n" + item("http://news.example/", "News") + "</ul>\n</div>\n");
       }}}},
    {"a links page heading from outside is escaped",
     [](World& w) { w.system.file(w.path("in/a&b.txt"), "http://x/?a=1&b=2\n"); },
     at("in/a&b.txt"),
     0,
     {{"in/a&b.txt.html",
       [](const World& w) {
           std::string page = links_page(w.path("in/a&b.txt"), link("http://", "x/?a=1&b=2"));
           EXPECT_NE(page.find("a&amp;b.txt \x82\xa9"), std::string::npos);
           EXPECT_NE(page.find("\"http://x/?a=1&amp;b=2\""), std::string::npos);
           return page;
       }}}},
    // ---- several files at once ----
    {"two files each get their links page",
     two_inputs,
     quoted({"in/a.txt", "in/b.txt"}),
     0,
     {{"in/a.txt.html", links_of("in/a.txt", "a/")}, {"in/b.txt.html", links_of("in/b.txt", "b/")}}},
    {"a page that cannot be written among several: the others are, and the run fails",
     [](World& w) {
         two_inputs(w);
         w.system.folder(w.path("in/a.txt.html"));
     },
     quoted({"in/a.txt", "in/b.txt"}),
     1,
     {{"in/b.txt.html", links_of("in/b.txt", "b/")}},
     false,
     std::nullopt,
     [](const World& w) { return w.path("in/a.txt.html") + ": is a folder"; }},
    {"a folder among several parts writes nothing",
     [](World& w) {
         two_inputs(w);
         w.system.folder(w.path("dir"));
     },
     quoted({"in/a.txt", "dir"}),
     1,
     {}},
    {"a part that names nothing is told, never a Favorites run: the others get their pages",
     [](World& w) {
         two_inputs(w);
         one_favorite(w);
     },
     quoted({"in/a.txt", "in/none.txt"}),
     1,
     {{"in/a.txt.html", links_of("in/a.txt", "a/")}},
     false,
     std::nullopt,
     [](const World& w) { return w.path("in/none.txt") + ": No such file or directory"; }},
    {"four parts run twice: each page replaced",
     [](World& w) {
         for (const char* name : {"a", "b", "c", "d"}) w.system.file(w.path("in/") + name, "http://x/\n");
         EXPECT_EQ(app_main(nullptr, nullptr, quoted({"in/a", "in/b", "in/c", "in/d"})(w).c_str(), 1), 0);
     },
     quoted({"in/a", "in/b", "in/c", "in/d"}), 0,
     {{"in/a.html", links_of("in/a", "x/")}, {"in/b.html", links_of("in/b", "x/")},
      {"in/c.html", links_of("in/c", "x/")}, {"in/d.html", links_of("in/d", "x/")}}},
    {"no page over a file the run reads, another part included",
     [](World& w) {
         two_inputs(w);
         w.system.file(w.path("in/a.txt.html"), "http://b/\n");
     },
     quoted({"in/a.txt", "in/a.txt.html"}),
     1,
     {{"in/a.txt.html.html", links_of("in/a.txt.html", "b/")}}},
    {"one path first: a name with a space wins over its parts",
     [](World& w) {
         w.system.file(w.path("cwd/a b.txt"), "http://ab/\n");
         w.system.file(w.path("cwd/a"), "http://a/\n");
         w.system.file(w.path("cwd/b.txt"), "http://b/\n");
     },
     [](const World&) { return std::string("a b.txt"); },
     0,
     {{"cwd/a b.txt.html", links_of("a b.txt", "ab/")}}},
    // ---- pages are replaced, never overwritten in place ----
    {"an old page is replaced whole",
     [](World& w) {
         one_favorite(w);
         w.system.file(w.path("desk/kobu.html"), "old");
     },
     none(),
     0,
     {{"desk/kobu.html", favorites_listed()}}},
    {"a page that cannot be moved over the old one leaves it, and no temporary file",
     [](World& w) {
         one_favorite(w);
         w.system.file(w.path("desk/kobu.html"), "old");
         w.system.failing.insert("put_page");
     },
     none(),
     1,
     {}},
    {"a folder where no file can be made", [](World& w) { w.system.failing.insert("create_page"); }, none(), 1, {}},
    {"a temporary name left by another run is passed over",
     [](World& w) {
         one_favorite(w);
         w.system.file(w.path("desk/kobu.html.kobu-0000000000001092.tmp"), "left by a run stopped");
     },
     none(),
     0,
     {{"desk/kobu.html", favorites_listed()}}},
    {"an output that is a device is never written",
     [](World& w) { w.system.device(w.path("desk/kobu.html")); },
     none(),
     1,
     {}},
    {"a links page that is a link to its own input",
     [](World& w) {
         links_input(w);
         w.system.link(w.path("in/links.txt.html"), w.path("in/links.txt"));
     },
     at("in/links.txt"),
     1,
     {}},
    {"an input that is a link to its own links page's name",
     [](World& w) {
         w.system.file(w.path("in/index.html"), "http://a/\n");
         w.system.link(w.path("in/index"), w.path("in/index.html"));
     },
     at("in/index"),
     1,
     {}},
    {"html= naming kobu.txt itself",
     [](World& w) { configure(w, "[kobu]\nhtml=" + w.path("tools/kobu.txt") + "\n"); },
     none(),
     1,
     {}},
    {"html= naming a link to kobu.txt",
     [](World& w) {
         w.system.link(w.path("desk/conf.html"), w.path("tools/kobu.txt"));
         configure(w, "[kobu]\nhtml=" + w.path("desk/conf.html") + "\n");
     },
     none(),
     1,
     {}},
    {"html= naming a shortcut of the tree being listed, below its first level",
     [](World& w) {
         w.system.file(w.path("fav/Sub/Deep/News.url"), "URL=http://news.example/\r\n");
         configure(w, "[kobu]\nhtml=" + w.path("fav/Sub/Deep/News.url") + "\n");
     },
     none(),
     1,
     {}},
    {"a links page linked to the program, whose path fits no buffer",
     [](World& w) {
         links_input(w);
         w.system.link(w.path("in/links.txt.html"), *w.system.program);
         w.system.program_path_lost = true;
     },
     at("in/links.txt"),
     1,
     {}},
    {"an input someone keeps writing to is read as far as it was when opened",
     [](World& w) {
         links_input(w);
         w.system.growing(w.path("in/links.txt"), "http://more/\n");
     },
     at("in/links.txt"),
     0,
     {{"in/links.txt", {}}, {"in/links.txt.html", links_listed()}}},
    {"html= naming the program itself",
     [](World& w) { configure(w, "[kobu]\nhtml=" + w.path("tools/kobu.exe") + "\n"); },
     none(),
     1,
     {}},
    {"a page that is a link to a file is written through it, the link staying",
     [](World& w) {
         one_favorite(w);
         w.system.file(w.path("pages/real.html"), "old");
         w.system.link(w.path("desk/kobu.html"), w.path("pages/real.html"));
     },
     none(),
     0,
     {{"pages/real.html", favorites_listed()}},
     false,
     Flavour::posix},
    {"a page that is a link to nothing yet is written where it points",
     [](World& w) {
         one_favorite(w);
         w.system.folder(w.path("pages"));
         w.system.link(w.path("desk/kobu.html"), w.path("pages/new.html"));
     },
     none(),
     0,
     {{"pages/new.html", favorites_listed()}},
     false,
     Flavour::posix},
    {"a kobu.txt larger than 64 KiB counts as absent",
     [](World& w) {
         one_favorite(w);
         w.system.folder(w.path("elsewhere"));
         configure(w, "[kobu]\nhtml=" + w.path("elsewhere/p.html") + "\n" + std::string(70000, ';') + "\n");
     },
     none(),
     0,
     {{"desk/kobu.html", favorites_listed()}}},
    {"a kobu.txt of 64 KiB is read",
     [](World& w) {
         one_favorite(w);
         w.system.folder(w.path("elsewhere"));
         std::string text = "[kobu]\nhtml=" + w.path("elsewhere/p.html") + "\n;";
         configure(w, text + std::string(65536 - text.size() - 1, 'x') + "\n");
     },
     none(),
     0,
     {{"elsewhere/p.html", favorites_listed()}}},
    {"a literal '*' in a folder name never selects another folder",
     [](World& w) {
         w.system.file(w.path("data/da/links.txt"), "http://da/\n");
         w.system.file(w.path("data/d*/links.txt"), "see http://a/ and https://b/\r\nhttp://c/\n");
     },
     at("data/d*/links.txt"),
     0,
     {{"data/d*/links.txt.html", links_listed("data/d*/links.txt")}},
     false,
     Flavour::posix},
    {"a literal '?' in a file name never selects another file",
     [](World& w) {
         w.system.file(w.path("cwd/a4.txt"), "http://a4/\n");
         w.system.file(w.path("cwd/a?.txt"), "see http://a/ and https://b/\r\nhttp://c/\n");
     },
     at("cwd/a?.txt"),
     0,
     {{"cwd/a?.txt.html", links_listed("cwd/a?.txt")}},
     false,
     Flavour::posix},
    {"a wildcard still picks the first match when no entry has that very name",
     [](World& w) { w.system.file(w.path("cwd/a4.txt"), "see http://a/ and https://b/\r\nhttp://c/\n"); },
     at("cwd/a?.txt"),
     0,
     {{"cwd/a4.txt.html", links_listed("cwd/a4.txt")}}},
    // ---- shell folders the code page cannot hold ----
    {"a Desktop value that names no reachable path writes nothing",
     [](World& w) {
         one_favorite(w);
         w.system.unusable_shell_folders.insert("Desktop");
     },
     none(),
     1,
     {}},
    {"a Favorites value that names no reachable path writes nothing",
     [](World& w) {
         one_favorite(w);
         w.system.unusable_shell_folders.insert("Favorites");
     },
     none(),
     1,
     {}},
    {"an unreachable Favorites value does not matter with a folder argument",
     [](World& w) {
         w.system.unusable_shell_folders.insert("Favorites");
         w.system.file(w.path("dir/News.url"), "URL=http://news.example/\r\n");
     },
     at("dir"),
     0,
     {{"desk/kobu.html", favorites_listed("dir")}}},
    {"an argument that names nothing lists Favorites",
     one_favorite,
     at("missing.txt"),
     0,
     {{"desk/kobu.html", favorites_listed()}}, false, Flavour::windows},
    {"an argument that names nothing is an error", one_favorite, at("missing.txt"), 1, {}, false, Flavour::posix,
     [](const World& w) { return w.path("missing.txt") + ": No such file or directory"; }},
    {"a folder with a trailing separator does not resolve: Favorites",
     [](World& w) {
         one_favorite(w);
         w.system.folder(w.path("dir"));
     },
     at("dir/"),
     0,
     {{"desk/kobu.html", favorites_listed()}}, false, Flavour::windows},
    {"a folder ending in the byte 0x5C is listed as the argument",
     [](World& w) { w.system.file(w.path(HYOU_FOLDER + "/News.url"), "URL=http://news.example/\r\n"); },
     at(HYOU_FOLDER),
     0,
     {{"desk/kobu.html", favorites_listed(HYOU_FOLDER)}}},
    {"a read error in text mode ends the run with 1 and leaves the old page",
     [](World& w) {
         w.system.file(w.path("in/links.txt"), "http://a/\nhttp://never-read/\n");
         w.system.fail_reads_after(w.path("in/links.txt"), 10);
         w.system.file(w.path("in/links.txt.html"), "the old page");
     },
     at("in/links.txt"),
     1,
     {}},
    {"an input that is not a regular file",
     [](World& w) { w.system.device(w.path("in/pipe.txt")); },
     at("in/pipe.txt"),
     1,
     {}},
    {"a links page that cannot be created",
     [](World& w) {
         links_input(w);
         w.system.folder(w.path("in/links.txt.html"));
     },
     at("in/links.txt"),
     1,
     {}},
    {"an existing file longer than any path: nothing written, never the Favorites",
     [](World& w) { w.system.file(w.path(path_of_length(w, 262, "in", "x.txt")), "http://x/\n"); },
     [](const World& w) { return w.path(path_of_length(w, 262, "in", "x.txt")); },
     1,
     {}},
    {"a UTF-8 input under a UTF-8 locale is headed by the rule for shown text",
     [](World& w) {
         w.system.utf8_locale = true;
         w.system.file(w.path("in/\xED\x95\x9C.txt"), "http://k/\n");  // 한.txt
     },
     at("in/\xED\x95\x9C.txt"),
     0,
     {{"in/\xED\x95\x9C.txt.html",
       [](const World& w) {
           std::string page = w.system.contents(w.path("in/\xED\x95\x9C.txt.html"));
           EXPECT_NE(page.find("/in/&#54620;.txt \x82\xa9"), std::string::npos);
           return page;
       }}},
     false,
     Flavour::posix},
    {"a links page name too long for a path: the input is left alone",
     [](World& w) { w.system.file(w.path(path_of_length(w, 255, "in", "x.txt")), "http://x/\n"); },
     [](const World& w) { return w.path(path_of_length(w, 255, "in", "x.txt")); },
     1,
     {}},
};

void expect_run(const RunCase& c, Flavour flavour) {
    const std::string where = std::string(c.name) + " (" + flavour_name(flavour) + ")";
    World w(flavour);
    c.setup(w);
    const auto before = w.system.files();
    const std::string tail = c.tail(w);
    EXPECT_EQ(app_main(nullptr, nullptr, tail.c_str(), 1), c.rc) << where;

    auto after = w.system.files();
    for (const Written& expected : c.written) {
        const std::string path = w.path(expected.path);
        EXPECT_TRUE(w.system.exists(path)) << where << ": " << path << " was not written";
        if (expected.contents) EXPECT_EQ(w.system.contents(path), (*expected.contents)(w)) << where << ": " << path;
        after.erase(path);
    }
    auto unchanged = before;
    for (const Written& expected : c.written) unchanged.erase(w.path(expected.path));
    EXPECT_EQ(after, unchanged) << where << ": other files changed";
    std::vector<std::string> opened;
    if (c.opened) opened.push_back(w.path(c.written.front().path));
    EXPECT_EQ(w.system.opened, opened) << where;
    EXPECT_EQ(w.system.open_files(), 0u) << where;
    // A run that fails says why in one line; one that succeeds says nothing.
    EXPECT_EQ(w.system.messages.size(), c.rc != 0 ? 1u : 0u)
        << where << ": " << testing::PrintToString(w.system.messages);
    if (c.message) EXPECT_EQ(w.system.messages, std::vector<std::string>{(*c.message)(w)}) << where;
}

TEST(AppMain, AReplacedPageKeepsItsPermissionBits) {
    World w(Flavour::posix);
    one_favorite(w);
    w.system.file(w.path("desk/kobu.html"), "old");
    w.system.mode(w.path("desk/kobu.html"), 0600);
    EXPECT_EQ(app_main(nullptr, nullptr, "", 1), 0);
    EXPECT_EQ(w.system.mode_of(w.path("desk/kobu.html")), 0600u);
    EXPECT_EQ(w.system.contents(w.path("desk/kobu.html")), favorites_listed()(w));
}

TEST(AppMain, Runs) {
    for (Flavour flavour : BOTH_FLAVOURS)
        for (const RunCase& c : RUN_CASES)
            if (!c.only || *c.only == flavour) expect_run(c, flavour);
}

// Paths at the limit of a path buffer: up to 259 bytes they are used, from
// 260 bytes they are refused and nothing is written.
TEST(AppMain, PathLimits) {
    for (Flavour flavour : BOTH_FLAVOURS) {
        for (std::size_t n : {258, 259, 260, 261}) {
            const bool fits = n < PATH_BUFFER;
            {
                SCOPED_TRACE("output path of " + std::to_string(n) + " bytes from kobu.txt");
                World probe(flavour);
                std::string page = path_of_length(probe, n, "out", "page.html");
                expect_run({"kobu.txt output",
                            [&](World& w) {
                                one_favorite(w);
                                w.system.folder(w.path(page.substr(0, page.rfind('/'))));
                                configure(w, "[kobu]\r\nhtml=" + w.path(page) + "\r\n");
                            },
                            none(), fits ? 0 : 1,
                            fits ? std::vector<Written>{{page, favorites_listed()}} : std::vector<Written>{}},
                           flavour);
            }
            {
                SCOPED_TRACE("Desktop folder giving a default output of " + std::to_string(n) + " bytes");
                World probe(flavour);
                std::string page = path_of_length(probe, n, "dsk", "kobu.html");
                std::string desktop = page.substr(0, page.rfind('/'));
                expect_run({"Desktop output",
                            [&](World& w) {
                                one_favorite(w);
                                w.system.folder(w.path(desktop));
                                w.system.shell_folders["Desktop"] = w.path(desktop);
                            },
                            none(), fits ? 0 : 1,
                            fits ? std::vector<Written>{{page, favorites_listed()}} : std::vector<Written>{}},
                           flavour);
            }
            {
                SCOPED_TRACE("kobu.txt path of " + std::to_string(n) + " bytes");
                World probe(flavour);
                std::string configuration = path_of_length(probe, n, "prog", "kobu.txt");
                std::string folder = configuration.substr(0, configuration.rfind('/'));
                expect_run(
                    {"kobu.txt path",
                     [&](World& w) {
                         one_favorite(w);
                         w.system.folder(w.path("elsewhere"));
                         w.system.program = w.path(folder + "/kobu.exe");
                         w.system.file(w.path(configuration), "[kobu]\nhtml=" + w.path("elsewhere/p.html") + "\n");
                     },
                     none(), fits ? 0 : 1,
                     fits ? std::vector<Written>{{"elsewhere/p.html", favorites_listed()}} : std::vector<Written>{}},
                    flavour);
            }
        }
    }
}

}  // namespace
