#include "favorites/favorites_page.h"

#include <cstring>

#include "platform/platform.h"

namespace {

// Title: the Shift_JIS bytes of "お気に入り".
constexpr std::string_view FAVORITES_HEAD =
    "<html>\n"
    "<head>\n"
    "<meta http-equiv=\"content-type\" content=\"text/html; charset=shift_jis\">\n"
    "<meta http-equiv=\"content-style-type\" content=\"text/css\">\n"
    "<meta name=\"generated\" content=\"kobu.exe\">\n"
    "<title>\x82\xA8\x8B\x43\x82\xC9\x93\xFC\x82\xE8</title>\n"
    "<style type=\"text/css\"><!--\n"
    "\tbody{color:#333333;background-color:#ffffff;padding:2em 1em 2em 1.5em;border-left:solid 2em #669900}\n"
    "\ta{text-decoration:none} a:link{color:#006600} a:visited{color:#003300} "
    "a:hover{color:#ff00cc;text-decoration:underline} a:active{color:#ff00cc;background-color:#ffffcc}\n"
    "\tli{list-style:square inside}\n"
    "\tdiv.dir{margin:1em 0px 0px 4em;padding:0.1em;border-top:solid 0.1em #669900}\n"
    "\tspan.dir{color:#669900;font-weight:bold;font-size:150%}\n"
    "\th1{margin:0px;padding:0px;color:#669900;font-weight:bold;font-size:150%}\n"
    "\thr{color:#003333;height:1px; margin:0.4em 2em}\n"
    "--></style>\n"
    "</head>\n"
    "<body>\n";

// Deepest chain of nested folders a PATH_BUFFER can name (each level adds a
// separator and at least one byte).
constexpr int MAX_DEPTH = PATH_BUFFER / 2 + 1;

// The folders being listed, from the root down to the current one.
struct DescentPath {
    platform::FolderIdentity ids[MAX_DEPTH];
    int depth = 0;

    bool contains(const platform::FolderIdentity& id) const {
        for (int i = 0; i < depth; ++i)
            if (ids[i].volume == id.volume && ids[i].index == id.index) return true;
        return false;
    }
};

// Joins folder and entry name as "folder<sep>name".
bool join_entry(char (&joined)[PATH_BUFFER], const char* folder, const char* name) {
    return concat_text(joined, {folder, platform::separator(), name});
}

// Calls visit(entry) for each match of a folder search, in the order the
// file system returns them; false when the search finds nothing.
template <typename Visit>
bool for_each_entry(const char* pattern, Visit visit) {
    platform::FolderSearch search;
    platform::FolderEntry entry{};
    if (!platform::begin_folder_search(search, pattern, entry)) return false;
    do visit(entry);
    while (platform::next_folder_entry(search, entry));
    platform::end_folder_search(search);
    return true;
}

void write_tree(OutputStream& out, const char* folder, DescentPath& path);

void write_shortcut_pass(OutputStream& out, const char* folder, const char* pattern) {
    bool listed = false;
    for_each_entry(pattern, [&](const platform::FolderEntry& entry) {
        if (!listed) out.put("<ul>\n");
        listed = true;
        char joined[PATH_BUFFER];
        if (entry.attributes & platform::ATTRIBUTE_DIRECTORY) return;
        if (!join_entry(joined, folder, entry.name)) return;  // cannot be named: skipped
        std::string_view name = entry.name;
        std::string_view title = head(name, name.size() >= 4 ? name.size() - 4 : 0);
        char address[LINE_BUFFER];
        copy_text_cut(address, sizeof address, read_shortcut_url(joined));
        out.put({"<li><a href=\"", outside(address), "\">", outside(title), "</a></li>\n"});
    });
    if (listed) out.put("</ul>\n");
}

void write_subfolder_pass(OutputStream& out, const char* folder, const char* pattern, DescentPath& path) {
    for_each_entry(pattern, [&](const platform::FolderEntry& entry) {
        if (!(entry.attributes & platform::ATTRIBUTE_DIRECTORY)) return;
        if (std::strcmp(entry.name, ".") == 0 || std::strcmp(entry.name, "..") == 0) return;
        char joined[PATH_BUFFER];
        if (!join_entry(joined, folder, entry.name)) return;  // cannot be named: skipped
        out.put({"<div class=\"dir\"><span class=\"dir\">", outside(entry.name), "</span>\n"});
        write_tree(out, joined, path);
    });
}

void write_tree(OutputStream& out, const char* folder, DescentPath& path) {
    // A folder met again through a link further up keeps its (empty) section
    // but is not entered a second time.
    platform::FolderIdentity id;
    bool known = platform::folder_identity(folder, id);
    if (known && path.contains(id)) {
        out.put("</div>\n");
        return;
    }
    bool pushed = known && path.depth < MAX_DEPTH;
    if (pushed) path.ids[path.depth++] = id;

    // The folder without one trailing separator; a double-byte character
    // ending in the separator's byte value is not a separator.
    std::string_view base = folder;
    const char* last = platform::find_last_separator(folder);
    if (last != nullptr && last + 1 == folder + base.size()) base.remove_suffix(1);
    char folder_pattern[PATH_BUFFER];
    char shortcut_pattern[PATH_BUFFER];
    bool folder_fits = concat_text(folder_pattern, {base, platform::separator(), "*"});
    bool shortcut_fits = folder_fits && concat_text(shortcut_pattern, {folder_pattern, ".url"});

    if (shortcut_fits) write_shortcut_pass(out, folder, shortcut_pattern);
    if (folder_fits) write_subfolder_pass(out, folder, folder_pattern, path);
    out.put("</div>\n");

    if (pushed) --path.depth;
}

}  // namespace

void write_favorites_head(OutputStream& out) { out.put(FAVORITES_HEAD); }

void write_root_heading(OutputStream& out, const char* listing_root) {
    out.put({"<h1>", outside(listing_root), "</h1>\n<div>\n"});
}

void write_favorites_foot(OutputStream& out) { out.put("</body>\n</html>"); }

int write_folder_tree(OutputStream& out, const char* folder) {
    DescentPath path;
    write_tree(out, folder, path);
    return 0;
}

void scan_shortcut_lines(LineReader& reader, char* url, std::size_t cap) {
    copy_text_cut(url, cap, "");
    std::string_view line;
    while (reader.next(line)) {
        line = up_to_nul(line);
        if (!starts_with(line, "URL=")) continue;
        if (line.back() == '\n') line.remove_suffix(1);
        copy_text_cut(url, cap, from(line, 4));
        return;
    }
}

const char* read_shortcut_url(const char* path) {
    static char url[LINE_BUFFER];
    url[0] = '\0';
    with_file_lines(path, [](LineReader& reader) { scan_shortcut_lines(reader, url, sizeof url); });
    return url;
}
