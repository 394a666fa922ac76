// A fake system for the tests that run the program's routines end to end in
// memory, in either flavour.  Test tables write paths the POSIX way relative
// to the root ("fav/x.url"); `path` turns them into the flavour's own
// ("C:\fav\x.url" or "/fav/x.url").
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "favorites/favorites_page.h"
#include "platform/fake/fake_platform.h"
#include "test_util.h"

struct World {
    fake::System system;

    // The usual machine: the program in tools/, Favorites in fav/, the
    // Desktop in desk/, the Windows directory in windows/, started in cwd/;
    // the home (POSIX) is tools/ too, so that a page without a Desktop lands
    // in one place in both flavours.
    explicit World(fake::Flavour flavour) : system(flavour) {
        system.program = path("tools/kobu.exe");
        system.file(*system.program, "MZ");
        system.windows_directory = path("windows");
        system.home = path("tools");
        system.folder(path("fav"));
        system.folder(path("desk"));
        system.folder(path("cwd"));
        system.current_folder = path("cwd");
        system.shell_folders["Favorites"] = path("fav");
        system.shell_folders["Desktop"] = path("desk");
    }

    bool windows() const { return system.flavour() == fake::Flavour::windows; }
    char sep() const { return windows() ? '\\' : '/'; }

    std::string path(std::string_view relative) const {
        std::string p = windows() ? "C:\\" : "/";
        for (char c : relative) p += c == '/' ? sep() : c;
        return p;
    }
};

// A relative path below `under` whose full form is exactly `length` bytes
// and ends in `name` (folders of at most 100 bytes on the way).
inline std::string path_of_length(const World& w, std::size_t length, std::string_view under, std::string_view name) {
    std::string rel(under);
    std::size_t have = w.path(rel).size();
    const std::size_t need = length - name.size() - 1;  // before the final separator
    while (have < need) {
        std::size_t take = std::min<std::size_t>(100, need - have - 1);
        if (need - have - 1 - take == 1) --take;  // never leave room for a lone separator
        rel += "/" + std::string(take, 'd');
        have += take + 1;
    }
    rel += "/" + std::string(name);
    return rel;
}

inline const char* flavour_name(fake::Flavour f) { return f == fake::Flavour::windows ? "windows" : "posix"; }
inline constexpr fake::Flavour BOTH_FLAVOURS[] = {fake::Flavour::windows, fake::Flavour::posix};

// Page pieces as the formats give them, before each line feed becomes CR LF.
inline std::string item(std::string_view address, std::string_view title) {
    return "<li><a href=\"" + html(address) + "\">" + html(title) + "</a></li>\n";
}
inline std::string section(std::string_view name) {
    return "<div class=\"dir\"><span class=\"dir\">" + html(name) + "</span>\n";
}
inline std::string crlf(std::string_view text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// The whole favorites page for a listing root and the body of its tree.
inline std::string favorites_page(std::string_view root, std::string_view body) {
    return written_by([](OutputStream& out) { write_favorites_head(out); }) +
           crlf("<h1>" + html(root) + "</h1>\n<div>\n" + std::string(body)) +
           written_by([](OutputStream& out) { write_favorites_foot(out); });
}
