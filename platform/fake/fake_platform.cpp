// The in-memory test double of platform.h.  Tests use the heap freely here;
// the program itself never runs on this file.
#include "platform/fake/fake_platform.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/code_page.h"
#include "platform/posix/wildcard.h"
#include "platform/read_guard.h"
#include "platform/streams.h"
#include "platform/utf.h"
#include "sjis/sjis.h"

namespace fake {

enum Kind { FOLDER, FILE, LINK, DEVICE };

struct Node {
    int kind;
    std::string name;
    std::string alias;
    std::string data;  // a file's contents, a link's target
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
    std::uint64_t id = 0;
    bool read_only = false;
    std::size_t fail_after = std::string::npos;
    unsigned mode = 0644;
    bool faithful = true;           // the name reaches the entry (Windows: it round-trips through the code page)
    std::string unicode;            // the real name in UTF-8 where `name` is only a look-alike
    std::uint64_t sparse_size = 0;  // a file this large that holds only `data` (then zeros)
    std::string growth;             // appended by each read...
    int growths = 0;                // ...this many times more
    bool identity = true;           // file_identity works

    std::uint64_t size() const { return sparse_size > data.size() ? sparse_size : data.size(); }
};

struct System::Open {
    Node* node;
    std::size_t pos = 0;
};

namespace {

System* installed = nullptr;

char fold(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

char sep_of(Flavour f) { return f == Flavour::windows ? '\\' : '/'; }

// The components of `path` (empty ones, from doubled separators, dropped).
std::vector<std::string_view> components(std::string_view path, Flavour f) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && f == Flavour::windows && sjis_is_lead_byte(static_cast<unsigned char>(path[i])) &&
            i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (i == path.size() || path[i] == sep_of(f)) {
            if (i > start) out.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return out;
}

bool ends_in_separator(std::string_view path, Flavour f) {
    std::string text(path);
    const char* last =
        f == Flavour::windows ? sjis_find_last_char(text.c_str(), 0x5C) : std::strrchr(text.c_str(), '/');
    return !text.empty() && last == text.c_str() + text.size() - 1;
}

}  // namespace

System& current() { return *installed; }

System::System(Flavour flavour) : flavour_(flavour) {
    current_folder = flavour == Flavour::windows ? "C:\\" : "/";
    folder(current_folder);
    installed = this;
    read_guard::reset();
}

System::~System() {
    if (installed == this) installed = nullptr;
}

Node* System::root_for(std::string_view& path) const {
    std::string name = "/";
    if (flavour_ == Flavour::windows) {
        if (path.size() >= 2 && path[1] == ':') {
            name = std::string(1, fold(path[0])) + ":";
            path.remove_prefix(2);
        } else {
            name = std::string(1, fold(current_folder[0])) + ":";
        }
    }
    for (const auto& d : drives_)
        if (d->name == name) return d.get();
    return nullptr;
}

Node* System::find(std::string_view path, bool follow_last) const {
    static int depth = 0;
    if (path.empty() || depth > 40) return nullptr;
    const bool trailing = ends_in_separator(path, flavour_);
    std::string_view rest = path;
    Node* node = root_for(rest);
    if (node == nullptr) return nullptr;
    const bool absolute = !rest.empty() && rest.front() == sep_of(flavour_);
    if (!absolute) {
        // Relative to the current folder (on Windows, "C:x" too).
        node = find(current_folder, true);
        if (node == nullptr) return nullptr;
    }
    auto parts = components(rest, flavour_);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string_view part = parts[i];
        if (node->kind != FOLDER) return nullptr;
        if (part == ".") continue;
        if (part == "..") {
            if (node->parent != nullptr) node = node->parent;
            continue;
        }
        Node* next = nullptr;
        for (const auto& c : node->children) {
            bool match = flavour_ == Flavour::windows ? (c->faithful && same_ignoring_case(part, c->name)) ||
                                                            (!c->alias.empty() && same_ignoring_case(part, c->alias))
                                                      : part == c->name;
            if (match) {
                next = c.get();
                break;
            }
        }
        if (next == nullptr) return nullptr;
        if (next->kind == LINK && (i + 1 < parts.size() || follow_last)) {
            ++depth;
            Node* target = find(next->data, true);
            --depth;
            if (target == nullptr) return nullptr;
            next = target;
        }
        node = next;
    }
    if (trailing && node->kind != FOLDER) return nullptr;
    return node;
}

Node* System::parent_for_new(std::string_view path, std::string& name) const {
    auto parts = components(path, flavour_);
    if (parts.empty() || ends_in_separator(path, flavour_)) return nullptr;
    name = std::string(parts.back());
    std::string_view folder = path.substr(0, static_cast<std::size_t>(parts.back().data() - path.data()));
    if (folder.empty()) folder = current_folder;
    Node* parent = find(folder, true);
    return parent != nullptr && parent->kind == FOLDER ? parent : nullptr;
}

Node* System::make(std::string_view path, int kind) {
    std::string_view rest = path;
    Node* node = root_for(rest);
    if (node == nullptr) {
        auto root = std::make_unique<Node>();
        root->kind = FOLDER;
        root->name = flavour_ == Flavour::windows
                         ? std::string(1, fold(path.size() >= 2 && path[1] == ':' ? path[0] : current_folder[0])) + ":"
                         : "/";
        root->id = next_id_++;
        node = root.get();
        drives_.push_back(std::move(root));
    }
    auto parts = components(rest, flavour_);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        Node* next = nullptr;
        for (const auto& c : node->children)
            if (flavour_ == Flavour::windows ? c->faithful && same_ignoring_case(parts[i], c->name)
                                             : parts[i] == c->name)
                next = c.get();
        if (next != nullptr && next->kind == LINK && !last) next = find(next->data, true);
        node = next != nullptr ? next : add_child(node, std::string(parts[i]), last ? kind : FOLDER);
    }
    return node;
}

void System::detach(Node* node) {
    // A detached node stays alive while the system does, so open files keep working.
    auto& siblings = node->parent->children;
    for (auto it = siblings.begin(); it != siblings.end(); ++it) {
        if (it->get() == node) {
            detached_.push_back(std::move(*it));
            siblings.erase(it);
            return;
        }
    }
}

void System::move(Node* node, Node* parent, std::string name) {
    detach(node);
    for (auto it = detached_.begin(); it != detached_.end(); ++it) {
        if (it->get() == node) {
            node->name = std::move(name);
            node->parent = parent;
            parent->children.push_back(std::move(*it));
            detached_.erase(it);
            return;
        }
    }
}

void System::sparse(std::string_view path, std::uint64_t size) { find(path, true)->sparse_size = size; }
void System::growing(std::string_view path, std::string_view more) {
    Node* n = find(path, true);
    n->growth = std::string(more);
    n->growths = 100;
}
void System::no_identity(std::string_view path) { find(path, true)->identity = false; }
void System::mode(std::string_view path, unsigned bits) { find(path, true)->mode = bits; }
unsigned System::mode_of(std::string_view path) const { return find(path, true)->mode; }

Node* System::add_child(Node* parent, std::string name, int kind) {
    auto child = std::make_unique<Node>();
    child->kind = kind;
    child->name = std::move(name);
    child->parent = parent;
    child->id = next_id_++;
    parent->children.push_back(std::move(child));
    return parent->children.back().get();
}

void System::folder(std::string_view path) { make(path, FOLDER); }
void System::file(std::string_view path, std::string_view data) { make(path, FILE)->data = std::string(data); }
void System::link(std::string_view path, std::string_view target) { make(path, LINK)->data = std::string(target); }
void System::device(std::string_view path) { make(path, DEVICE); }
void System::unfaithful(std::string_view path, std::string_view shown, std::string_view unicode) {
    Node* n = find(path, false);
    n->name = std::string(shown);
    n->unicode = std::string(unicode);
    n->faithful = false;
}

void System::alias(std::string_view path, std::string_view short_name) {
    find(path, false)->alias = std::string(short_name);
}
void System::read_only(std::string_view path) { find(path, true)->read_only = true; }
void System::fail_reads_after(std::string_view path, std::size_t bytes) { find(path, true)->fail_after = bytes; }

bool System::exists(std::string_view path) const { return find(path, false) != nullptr; }

std::string System::contents(std::string_view path) const {
    Node* n = find(path, true);
    return n != nullptr && n->kind == FILE ? n->data : std::string();
}

std::map<std::string, std::string> System::files() const {
    std::map<std::string, std::string> out;
    struct Walk {
        const System* self;
        std::map<std::string, std::string>& out;
        void operator()(const Node& n, const std::string& path) {
            for (const auto& c : n.children) {
                std::string p = path + c->name;
                if (c->kind == FILE) out[p] = c->data;
                else if (c->kind == LINK) out[p] = "link to " + c->data;
                else if (c->kind == FOLDER) (*this)(*c, p + sep_of(self->flavour_));
            }
        }
    };
    Walk walk{this, out};
    for (const auto& d : drives_) walk(*d, flavour_ == Flavour::windows ? d->name + "\\" : "/");
    return out;
}

std::size_t System::open_files() const {
    return static_cast<std::size_t>(
        std::count_if(open_.begin(), open_.end(), [](const auto& o) { return o != nullptr; }));
}

}  // namespace fake

// ---- platform.h on the fake system ---------------------------------------

namespace platform {

namespace {

using fake::current;
using fake::Flavour;
using fake::Node;

bool windows() { return current().flavour() == Flavour::windows; }

bool fails(const char* call) { return current().failing.count(call) != 0; }

bool is_folder(const Node* n) { return n != nullptr && n->kind == fake::FOLDER; }

FileHandle add_open(Node* node) {
    auto& table = current().open_table();
    auto open = std::make_unique<fake::System::Open>();
    open->node = node;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i] == nullptr) {
            table[i] = std::move(open);
            return static_cast<FileHandle>(i);
        }
    }
    table.push_back(std::move(open));
    return static_cast<FileHandle>(table.size() - 1);
}

fake::System::Open* open_of(FileHandle file) {
    auto& table = current().open_table();
    return file >= 0 && static_cast<std::size_t>(file) < table.size() ? table[static_cast<std::size_t>(file)].get()
                                                                      : nullptr;
}

struct Search {
    std::vector<FolderEntry> entries;
    std::size_t next = 0;
};

// The name the page shows: the real one where only a look-alike reaches the
// ANSI calls; a POSIX name in UTF-8 under a UTF-8 locale.
bool shown_as_unicode(std::string_view text) { return !windows() && current().utf8_locale && is_unicode_text(text); }

FolderEntry entry_for(std::string_view name, std::string_view alias, bool faithful, const Node* target, bool link,
                      std::string_view unicode = "") {
    FolderEntry e{};
    copy_text_cut(e.name, sizeof e.name, name);
    copy_text_cut(e.shown, sizeof e.shown, unicode.empty() ? name : unicode);
    e.shown_unicode = !unicode.empty() || shown_as_unicode(name);
    copy_text_cut(e.short_name, sizeof e.short_name, alias);
    e.faithful = faithful;
    e.is_file = target != nullptr && target->kind == fake::FILE;
    e.attributes = (is_folder(target) ? ATTRIBUTE_DIRECTORY : ATTRIBUTE_NORMAL) | (link ? ATTRIBUTE_LINK : 0);
    e.index = target != nullptr ? target->id : 0;
    return e;
}

}  // namespace

std::string_view separator() { return windows() ? "\\" : "/"; }

const char* find_last_separator(const char* path) {
    return windows() ? sjis_find_last_char(path, 0x5C) : std::strrchr(path, '/');
}

std::string_view drive_of(std::string_view path) {
    return windows() && path.size() >= 2 && path[1] == ':' ? head(path, 2) : std::string_view();
}

bool program_path(char* out, std::size_t cap) {
    return current().program.has_value() && !current().program_path_lost && copy_text(out, cap, *current().program);
}

std::size_t program_identities(FileIdentity (&ids)[2]) {
    // A program known but not in the tree is no file of it.
    if (current().program.has_value() && !file_identity(current().program->c_str(), ids[0])) ids[0] = {0, 0};
    return current().program.has_value() ? 1 : 0;
}

bool resources_exhausted() { return false; }

bool control_key_down() { return current().control_down; }

bool missing_argument_lists_favorites() { return windows(); }

Lookup read_shell_folder(const char* name, char* out, std::size_t cap) {
    if (current().unusable_shell_folders.count(name) != 0) return Lookup::unusable;
    auto it = current().shell_folders.find(name);
    return it != current().shell_folders.end() && copy_text(out, cap, it->second) ? Lookup::found : Lookup::missing;
}

bool windows_directory(char* out, std::size_t cap) {
    return !current().windows_directory.empty() && copy_text(out, cap, current().windows_directory);
}

Lookup home_folder(char* out, std::size_t cap) {
    if (windows() || current().home.empty()) return windows() ? Lookup::missing : Lookup::unusable;
    return copy_text(out, cap, current().home) ? Lookup::found : Lookup::missing;
}

bool user_configuration(const char* name, char* out, std::size_t cap) {
    return !windows() && !current().configuration_home.empty() &&
           concat_text(out, cap, {current().configuration_home, "/kobu/", name});
}

// Windows too: the UTF-8 stands in for what the code page or an extended-length path makes of it.
Conversion path_from_unicode(const char* utf8, char* out, std::size_t cap) {
    return posix_path_from_unicode(utf8, out, cap);
}

Conversion path_from_code_page(const char* text, char* out, std::size_t cap) {
    return posix_path_from_code_page(text, !windows() && current().utf8_locale, out, cap);
}

std::uint32_t file_attributes(const char* path) {
    const Node* n = current().find(path, true);
    if (n == nullptr) return ATTRIBUTES_INVALID;
    return is_folder(n) ? ATTRIBUTE_DIRECTORY : ATTRIBUTE_NORMAL;
}

bool long_name_of(const char* path, char (&name)[PATH_BUFFER]) {
    // POSIX: an entry named exactly as the last component is that entry.
    const char* last = find_last_separator(path);
    const std::string_view component = text_of(last ? last + 1 : path);
    if (component.empty()) return false;
    if (!windows() && current().find(path, false) != nullptr) return copy_text(name, component);
    FolderSearch search;
    FolderEntry entry{};
    if (!begin_folder_search(search, path, entry)) return false;
    end_folder_search(search);
    // A name that does not reach the entry gives way to its short name.
    if (!entry.faithful) return entry.short_name[0] != '\0' && copy_text(name, text_of(entry.short_name));
    return copy_text(name, text_of(entry.name));
}

bool begin_folder_search(FolderSearch& search, const char* pattern, FolderEntry& entry) {
    search.handle = nullptr;
    std::string_view p = pattern;
    const char* last = find_last_separator(pattern);
    std::string folder;
    std::string_view name = p;
    if (last != nullptr) {
        folder = std::string(p.substr(0, static_cast<std::size_t>(last - pattern)));
        name = p.substr(static_cast<std::size_t>(last - pattern) + 1);
        // The root itself keeps its separator: "/", "\\", "C:\\".
        if (folder.empty() || folder == std::string(drive_of(folder))) folder += separator();
    } else {
        folder = current().current_folder;
    }
    Node* dir = current().find(folder, true);
    if (name.empty() || !is_folder(dir)) return false;

    auto* s = new Search;
    const bool dots = !windows() || dir->parent != nullptr;
    auto consider = [&](std::string_view entry_name, std::string_view alias, bool faithful, const Node* target,
                        bool link, std::string_view unicode) {
        // A shown name that is only a look-alike is no name to search for.
        bool by_name = (faithful || has_wildcard(name)) && wildcard_match(name, entry_name);
        bool match = by_name || (windows() && !alias.empty() && wildcard_match(name, alias));
        if (match) s->entries.push_back(entry_for(entry_name, windows() ? alias : "", faithful, target, link, unicode));
    };
    auto target_of = [&](const Node* c) {
        return c->kind == fake::LINK ? current().find(folder + std::string(separator()) + c->name, true) : c;
    };
    if (dots) {
        consider(".", "", true, dir, false, "");
        consider("..", "", true, dir->parent != nullptr ? dir->parent : dir, false, "");
    }
    const std::size_t first = windows() ? s->entries.size() : 0;  // Windows: the dots first
    for (const auto& c : dir->children)
        consider(c->name, c->alias, c->faithful, target_of(c.get()), c->kind == fake::LINK, c->unicode);
    std::stable_sort(s->entries.begin() + static_cast<std::ptrdiff_t>(first), s->entries.end(),
                     [](const FolderEntry& a, const FolderEntry& b) { return compare_names(a.name, b.name) < 0; });
    if (s->entries.empty()) {
        delete s;
        return false;
    }
    search.handle = s;
    return next_folder_entry(search, entry);
}

bool next_folder_entry(FolderSearch& search, FolderEntry& entry) {
    auto* s = static_cast<Search*>(search.handle);
    if (s == nullptr || s->next == s->entries.size()) return false;
    entry = s->entries[s->next++];
    return true;
}

void end_folder_search(FolderSearch& search) {
    delete static_cast<Search*>(search.handle);
    search.handle = nullptr;
}

FileHandle open_found_file(FolderSearch&, const FolderEntry&, const char* path) { return open_for_reading(path); }

bool file_identity(const char* path, FileIdentity& id) {
    const Node* n = current().find(path, true);
    if (n == nullptr || !n->identity) return false;
    id = {1, n->id};
    return true;
}

bool open_file_identity(FileHandle file, FileIdentity& id) {
    const fake::System::Open* o = open_of(file);
    if (o == nullptr) return false;
    id = {1, o->node->id};
    return true;
}

EntryType entry_type(const char* path) {
    const Node* n = current().find(path, true);
    if (n == nullptr) return EntryType::none;
    return n->kind == fake::FILE ? EntryType::file : n->kind == fake::FOLDER ? EntryType::folder : EntryType::other;
}

FileHandle open_for_reading(const char* path) {
    Node* n = current().find(path, true);
    if (n == nullptr || n->kind != fake::FILE) return NO_FILE;
    read_guard::note({1, n->id});
    return add_open(n);
}

std::uint64_t file_size(FileHandle file) {
    fake::System::Open* o = open_of(file);
    return o != nullptr ? o->node->size() : 0;
}

long read_bytes(FileHandle file, char* buffer, std::size_t size) {
    fake::System::Open* o = open_of(file);
    if (o == nullptr) return -1;
    const std::string& data = o->node->data;
    std::size_t end = std::min(data.size(), o->node->fail_after);
    if (o->pos >= end && end < data.size()) return -1;
    if (o->node->sparse_size > data.size()) {
        // The rest of a sparse file reads as zeros.
        if (o->pos >= o->node->sparse_size) return 0;
        const std::uint64_t left = o->node->sparse_size - o->pos;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, left));
        for (std::size_t i = 0; i < n; ++i) buffer[i] = o->pos + i < data.size() ? data[o->pos + i] : '\0';
        o->pos += n;
        current().bytes_read += n;
        return static_cast<long>(n);
    }
    std::size_t n = std::min(size, end - o->pos);
    std::memcpy(buffer, data.data() + o->pos, n);
    o->pos += n;
    current().bytes_read += n;
    if (o->node->growths > 0) {
        --o->node->growths;
        o->node->data += o->node->growth;
    }
    return static_cast<long>(n);
}

bool write_bytes(FileHandle file, const char* data, std::size_t size) {
    fake::System::Open* o = open_of(file);
    if (o == nullptr) return false;
    std::size_t& space = current().space();
    std::size_t n = std::min(size, space);
    o->node->data.append(data, n);
    space -= n;
    return n == size;
}

FileHandle standard_output() { return NO_FILE; }

bool close_file(FileHandle file) {
    if (open_of(file) == nullptr) return false;
    current().open_table()[static_cast<std::size_t>(file)].reset();
    return true;
}

PlaceRefusal take_page_place(const char* path, PagePlace& place) {
    // POSIX: through links of the last component, the link staying.
    std::string at = path;
    for (int hops = 0; !windows() && hops < 40; ++hops) {
        const Node* n = current().find(at, false);
        if (n == nullptr || n->kind != fake::LINK) break;
        at = n->data;
    }
    if (fails("take_page_place") || !copy_text(place.path, at) || !copy_text(place.name, at))
        return PlaceRefusal::system;
    const Node* n = current().find(at, true);
    if (n == nullptr) return PlaceRefusal::none;
    if (!n->identity) return PlaceRefusal::system;
    place.old = n->kind == fake::FILE ? EntryType::file : is_folder(n) ? EntryType::folder : EntryType::other;
    place.identity = {1, n->id};
    place.writable = !n->read_only;
    place.mode = n->mode;
    return PlaceRefusal::none;
}

bool create_page(PagePlace& place) {
    const char* last = find_last_separator(place.name);
    const std::string_view folder(place.name, last != nullptr ? static_cast<std::size_t>(last - place.name) + 1 : 0);
    std::string name;
    Node* parent = current().parent_for_new(place.name, name);
    for (std::uint64_t random = 4242; parent != nullptr && !fails("create_page") && random < 4252; ++random) {
        if (!temporary_name(place.name, folder, false, random, place.temporary, sizeof place.temporary)) break;
        if (current().find(place.temporary, false) != nullptr) continue;  // another run's
        Node* made = current().add_child(parent, std::string(from(place.temporary, folder.size())), fake::FILE);
        made->mode = 0600;
        place.file = add_open(made);
        return true;
    }
    place.temporary[0] = '\0';
    return false;
}

void write_back(FileHandle, std::uint64_t, std::uint64_t) {}

bool adopt_attributes(PagePlace& place) {
    fake::System::Open* o = open_of(place.file);
    if (o == nullptr || fails("adopt_attributes")) return false;
    o->node->mode = place.old == EntryType::none ? 0644 : place.mode & 01777;  // as under the usual umask 022
    return true;
}

bool sync_file(FileHandle file) { return open_of(file) != nullptr && !fails("sync_file"); }

Put put_page(PagePlace& place) {
    const bool closed = close_file(place.file);
    place.file = NO_FILE;
    Node* source = current().find(place.temporary, false);
    Node* target = current().find(place.name, false);
    std::string name;
    Node* parent = current().parent_for_new(place.name, name);
    if (!closed || source == nullptr || parent == nullptr || fails("put_page")) return Put::failed;
    if (target == nullptr ? place.old != EntryType::none : target->id != place.identity.index) return Put::changed;
    if (target != nullptr) current().detach(target);
    current().move(source, parent, name);
    place.temporary[0] = '\0';
    return Put::done;
}

void release_page_place(PagePlace& place) {
    if (place.file != NO_FILE) close_file(place.file);
    place.file = NO_FILE;
    Node* left = place.temporary[0] != '\0' ? current().find(place.temporary, false) : nullptr;
    if (left != nullptr) current().detach(left);
    place.temporary[0] = '\0';
}

void report(const char* path, const char* cause) {
    current().messages.push_back(std::string(path) + ": " + (cause != nullptr ? cause : "(system)"));
}

int code_page_char(std::uint32_t code_point, char (&out)[2]) { return cp932_char(code_point, out); }

bool shown_path(const char* path, char* out, std::size_t cap, bool& unicode) {
    return posix_shown_path(path, !windows() && current().utf8_locale, out, cap, unicode);
}

bool links_page_path(const char* input, char* out, std::size_t cap) { return posix_links_page_path(input, out, cap); }

void shell_open(const char* path) { current().opened.emplace_back(path); }

}  // namespace platform
