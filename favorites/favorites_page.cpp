#include "favorites/favorites_page.h"

#include <cstring>

#include "platform/platform.h"
#include "platform/profile.h"
#include "platform/utf.h"

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

// The folders entered so far in this run, by identity, in a fixed table: a
// folder met again, through a link anywhere in the walk, keeps its heading
// and an empty section, so the page grows with the entries of the tree and a
// cycle or a diamond of links is walked once.  A hash of chains: the heads
// are cleared for each run, the entries filled in order, so the memory used
// grows with the folders entered.
class EnteredFolders {
public:
    static constexpr std::size_t CAPACITY = (std::size_t{1} << 15) - 1;

    void start() {
        std::memset(heads_, 0, sizeof heads_);
        count_ = 0;
    }
    // False when `id` was entered before.  Once the table is full, nothing
    // new is remembered and `room` turns false.
    bool enter(const platform::FileIdentity& id) {
        const std::size_t h = slot_of(id);
        for (std::uint16_t at = heads_[h]; at != 0; at = next_[at - 1])
            if (ids_[at - 1] == id) return false;
        if (count_ < CAPACITY) {
            ids_[count_] = id;
            next_[count_] = heads_[h];
            heads_[h] = static_cast<std::uint16_t>(++count_);
        }
        return true;
    }
    bool room() const { return count_ < CAPACITY; }

private:
    static std::size_t slot_of(const platform::FileIdentity& id) {
        std::uint64_t h = (id.index ^ (id.volume * 0x9E3779B97F4A7C15u)) * 0xBF58476D1CE4E5B9u;
        return static_cast<std::size_t>(h >> 40) & (HEADS - 1);
    }

    static constexpr std::size_t HEADS = std::size_t{1} << 15;
    std::uint16_t heads_[HEADS];  // 1 + the newest entry of each chain, or 0
    platform::FileIdentity ids_[CAPACITY];
    std::uint16_t next_[CAPACITY];  // 1 + the next entry in the chain, or 0
    std::size_t count_ = 0;
};

EnteredFolders entered;

// Joins folder and entry name as "folder<sep>name".
bool join_entry(char (&joined)[PATH_BUFFER], std::string_view folder, const char* name) {
    return concat_text(joined, {folder, platform::separator(), name});
}

enum class Reach { reached, too_long, unreachable };

// The path that reaches `entry` inside `folder`: through its name when that
// reaches it and fits, else through its 8.3 name.  An entry whose name
// does not reach it and that has no 8.3 name cannot be reached at all.
Reach reach_entry(char (&joined)[PATH_BUFFER], std::string_view folder, const platform::FolderEntry& entry) {
    if (entry.faithful && join_entry(joined, folder, entry.name)) return Reach::reached;
    if (entry.short_name[0] != '\0' && join_entry(joined, folder, entry.short_name)) return Reach::reached;
    return entry.faithful || entry.short_name[0] != '\0' ? Reach::too_long : Reach::unreachable;
}

// Whether a long name is a shortcut's: it ends in ".url", in any letter case
// (a search may also match "*.url" through an 8.3 alias, as of "x.urlx").
bool is_shortcut_name(std::string_view name) {
    if (name.size() < 4) return false;
    const std::string_view end = from(name, name.size() - 4);
    return end[0] == '.' && (end[1] | 0x20) == 'u' && (end[2] | 0x20) == 'r' && (end[3] | 0x20) == 'l';
}

// Calls visit(entry) for each match of a folder search, in the order the
// file system returns them; false when the search finds nothing.
template <typename Visit>
bool for_each_entry(const char* pattern, Visit visit) {
    platform::FolderSearch search;
    platform::FolderEntry entry{};
    if (!platform::begin_folder_search(search, pattern, entry)) return false;
    do visit(search, entry);
    while (platform::next_folder_entry(search, entry));
    platform::end_folder_search(search);
    return true;
}

void write_tree(OutputStream& out, const char* folder, bool through_link);

void write_shortcut_pass(OutputStream& out, std::string_view folder, const char* pattern) {
    bool listed = false;
    for_each_entry(pattern, [&](platform::FolderSearch& search, const platform::FolderEntry& entry) {
        if (!is_shortcut_name(entry.name)) return;
        if (!listed) out.put("<ul>\n");
        listed = true;
        if (entry.attributes & platform::ATTRIBUTE_DIRECTORY) return;
        char joined[PATH_BUFFER];
        const Reach reach = reach_entry(joined, folder, entry);
        if (reach == Reach::too_long) return;  // cannot be named: left out
        // The title is the name as the user sees it, without ".url".
        const std::string_view shown = entry.shown;
        const Outside title =
            shown_text(is_shortcut_name(shown) ? head(shown, shown.size() - 4) : shown, entry.shown_unicode);
        char address[LINE_BUFFER];
        address[0] = '\0';  // an entry that cannot be reached keeps an empty address
        if (reach == Reach::reached)
            copy_text_cut(address, sizeof address, read_shortcut(platform::open_found_file(search, entry, joined)));
        // An address holds no line feed (it ends a read), nor does a shown title.
        out.put_line({"<li><a href=\"", outside(address), "\">", title, "</a></li>"});
    });
    if (listed) out.put("</ul>\n");
}

void write_subfolder_pass(OutputStream& out, std::string_view folder, const char* pattern) {
    for_each_entry(pattern, [&](platform::FolderSearch&, const platform::FolderEntry& entry) {
        if (!(entry.attributes & platform::ATTRIBUTE_DIRECTORY)) return;
        if (std::strcmp(entry.name, ".") == 0 || std::strcmp(entry.name, "..") == 0) return;
        char joined[PATH_BUFFER];
        const Reach reach = reach_entry(joined, folder, entry);
        if (reach == Reach::too_long) return;  // cannot be named: left out
        out.put({"<div class=\"dir\"><span class=\"dir\">", shown_text(entry.shown, entry.shown_unicode), "</span>\n"});
        // A folder that cannot be reached keeps an empty section, never another folder's.
        if (reach == Reach::reached) write_tree(out, joined, (entry.attributes & platform::ATTRIBUTE_LINK) != 0);
        else out.put("</div>\n");
    });
}

void write_tree(OutputStream& out, const char* folder, bool through_link) {
    // A folder met again keeps its (empty) section but is not entered a
    // second time.  With the table full, a folder reached through a link is
    // not entered at all; one reached without a link can be reached only once.
    platform::FileIdentity id;
    const bool known = platform::file_identity(folder, id);
    if (known ? !entered.enter(id) : through_link) {
        out.put("</div>\n");
        return;
    }
    if (through_link && !entered.room()) {
        out.put("</div>\n");
        return;
    }

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
    if (folder_fits) write_subfolder_pass(out, folder, folder_pattern);
    out.put("</div>\n");
}

}  // namespace

void write_favorites_head(OutputStream& out) { out.put(FAVORITES_HEAD); }

void write_root_heading(OutputStream& out, const char* listing_root) {
    out.put({"<h1>", shown_path_of(listing_root), "</h1>\n<div>\n"});
}

void write_favorites_foot(OutputStream& out) { out.put("</body>\n</html>"); }

int write_folder_tree(OutputStream& out, const char* folder) {
    entered.start();
    write_tree(out, folder, false);
    return 0;
}

namespace {

// The section in which Windows keeps a shortcut's address in Unicode, as
// UTF-7, when the ANSI "URL=" line cannot hold it.
constexpr std::string_view UNICODE_SECTION = "InternetShortcut.W";

// Copies UTF-8 text into `url` as a browser sends an address: each byte of a
// character beyond ASCII, and of a control character, as %XX.  What does not
// fit is cut off before a whole character.
void copy_as_address(char* url, std::size_t cap, std::string_view text) {
    constexpr char HEX[] = "0123456789ABCDEF";
    auto plain = [](unsigned char b) { return b >= 0x20 && b < 0x7F; };
    if (cap == 0) return;
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t k = 1;  // the bytes of this character
        if (static_cast<unsigned char>(text[i]) >= 0xC0)
            while (k < 4 && i + k < text.size() && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80) ++k;
        std::size_t need = 0;
        for (std::size_t j = 0; j < k; ++j) need += plain(static_cast<unsigned char>(text[i + j])) ? 1 : 3;
        if (need >= cap - n) break;
        for (std::size_t j = 0; j < k; ++j) {
            const auto b = static_cast<unsigned char>(text[i + j]);
            if (plain(b)) {
                url[n++] = static_cast<char>(b);
            } else {
                url[n++] = '%';
                url[n++] = HEX[b >> 4];
                url[n++] = HEX[b & 0xF];
            }
        }
        i += k;
    }
    url[n] = '\0';
}

// The address of a Unicode section's "URL=" value; false for a value that
// is no UTF-7 or gives no address.
bool unicode_address(std::string_view utf7, char* url, std::size_t cap) {
    char decoded[LINE_BUFFER];
    std::size_t length = 0;
    if (!utf7_to_utf8(utf7, decoded, sizeof decoded, length) || length == 0) return false;
    copy_as_address(url, cap, std::string_view(decoded, length));
    return true;
}

}  // namespace

void scan_shortcut_lines(LineReader& reader, char* url, std::size_t cap) {
    copy_text_cut(url, cap, "");
    bool have_url = false;
    bool in_unicode_section = false;
    std::string_view line;
    while (reader.next_text(line)) {
        std::string_view section;
        if (section_line(line, section)) {
            in_unicode_section = same_ignoring_case(section, UNICODE_SECTION);
            continue;
        }
        // Windows reads the Unicode section's key in any letter case.
        const bool ansi_key = starts_with(line, "URL=");
        if (!ansi_key && !(in_unicode_section && same_ignoring_case(head(line, 4), "URL="))) continue;
        std::string_view value = from(line, 4);
        if (!value.empty() && value.back() == '\n') value.remove_suffix(1);
        // The Unicode section's address wins; otherwise the first "URL=" line's.
        if (in_unicode_section && unicode_address(value, url, cap)) return;
        in_unicode_section = false;
        if (have_url || !ansi_key) continue;
        have_url = true;
        // Text read from UTF-16, or UTF-8 text, is Unicode: its address goes
        // as a browser sends it.
        if (reader.encoding() != TextEncoding::bytes || is_unicode_text(value)) copy_as_address(url, cap, value);
        else copy_text_cut(url, cap, value);
    }
}

const char* read_shortcut(platform::FileHandle file) {
    static char url[LINE_BUFFER];
    url[0] = '\0';
    if (file == platform::NO_FILE) return url;
    // Only the start of a file is read: a shortcut is a few hundred bytes, and
    // a huge (or sparse) file named like one must not hold up the run.
    char storage[2 * LINE_BUFFER];
    LineReader reader(file, storage, sizeof storage, SMALL_FILE_LIMIT);
    scan_shortcut_lines(reader, url, sizeof url);
    platform::close_file(file);
    return url;
}

const char* read_shortcut_url(const char* path) { return read_shortcut(platform::open_for_reading(path)); }
