// An in-memory system behind platform.h, linked only into tests: a file
// tree of folders, files, links and devices, the shell folders, the program's
// location, the Ctrl key and the shell.  It stands in for either system:
//
//   Windows flavour: "\" separates (found the code-page-aware way), paths may
//     start with a drive ("C:"), names match without regard to ASCII letter
//     case and through their 8.3 aliases, and wildcard searches of a folder
//     other than a drive root return "." and ".." first.
//   POSIX flavour: "/" separates, a name is found as spelled first and
//     otherwise without regard to letter case, as the POSIX stand-in does.
//   Both return a folder's entries in name order, as NTFS and the POSIX
//   stand-in do.
//
// Faults can be injected: a read error after some bytes of a file, a disk
// that fills up, files that cannot be replaced, files whose identity cannot
// be taken, any call of the page's place.  Paths given to the set-up
// calls are absolute, in the flavour's own syntax; missing folders are made
// on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace fake {

enum class Flavour { windows, posix };

struct Node;

class System {
public:
    explicit System(Flavour flavour);
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    Flavour flavour() const { return flavour_; }

    // ---- the file tree ----
    void folder(std::string_view path);
    void file(std::string_view path, std::string_view data);
    // A link (a junction or symbolic link) to `target`, which need not exist.
    void link(std::string_view path, std::string_view target);
    // An entry that is not a regular file (a pipe or a device): never readable.
    void device(std::string_view path);
    // The 8.3 alias of an existing entry (Windows flavour).
    void alias(std::string_view path, std::string_view short_name);
    // An existing entry whose name the ANSI code page cannot hold: searches
    // show it as `shown` (a best-fit look-alike), which does not reach it;
    // only its 8.3 alias, if any, does.  `unicode` is its real name in UTF-8
    // (Windows flavour).
    void unfaithful(std::string_view path, std::string_view shown, std::string_view unicode = "");
    // A file that cannot be written or replaced.
    void read_only(std::string_view path);
    // Reads of `path` fail once `bytes` of it have been handed out.
    void fail_reads_after(std::string_view path, std::size_t bytes);
    // Room left on the disk: writes beyond it fail (a full disk).
    void disk_space(std::size_t bytes) { space_ = bytes; }
    // A file of `size` bytes that holds its data, then zeros (a sparse file).
    void sparse(std::string_view path, std::uint64_t size);
    // A file that someone keeps writing to: each of the next 100 reads
    // appends `more` to it.
    void growing(std::string_view path, std::string_view more);
    // An entry whose identity cannot be taken (file_identity fails).
    void no_identity(std::string_view path);
    // POSIX permission bits of a file (0644 when made).
    void mode(std::string_view path, unsigned bits);
    unsigned mode_of(std::string_view path) const;
    // The platform calls that fail, by name ("create_page": a folder without
    // write access, "put_page": the move over the old page, ...).
    std::set<std::string> failing;
    std::uint64_t bytes_read = 0;  // by every read so far

    bool exists(std::string_view path) const;
    // The contents of a file (empty when there is none).
    std::string contents(std::string_view path) const;
    // Every file and its contents, by path: to check that nothing else changed.
    std::map<std::string, std::string> files() const;
    // How many files are open right now.
    std::size_t open_files() const;

    // ---- the process and its environment ----
    std::optional<std::string> program;  // the program's own path; none: unknown
    bool program_path_lost = false;      // the program is known, but its path fits no buffer
    std::string windows_directory;       // empty: unknown
    std::string home;                    // POSIX: the home folder; empty: none at all
    std::string configuration_home;      // POSIX: the user's configuration folder; empty: none
    std::string current_folder;          // relative paths start here
    bool control_down = false;
    bool utf8_locale = false;                          // POSIX: names are UTF-8, as under a UTF-8 locale
    std::map<std::string, std::string> shell_folders;  // "Desktop", "Favorites"; absent: missing
    std::set<std::string> unusable_shell_folders;      // present, but naming no reachable path
    std::vector<std::string> opened;                   // paths the shell was asked to open
    std::vector<std::string> messages;  // what the run told the user: "PATH: CAUSE", the system's reason "(system)"

    // ---- used by the platform calls ----
    struct Open;
    Node* find(std::string_view path, bool follow_last) const;
    Node* parent_for_new(std::string_view path, std::string& name) const;
    Node* add_child(Node* parent, std::string name, int kind);
    void detach(Node* node);
    void move(Node* node, Node* parent, std::string name);
    std::vector<std::unique_ptr<Open>>& open_table() { return open_; }
    std::size_t& space() { return space_; }

private:
    Node* make(std::string_view path, int kind);
    Node* root_for(std::string_view& path) const;

    Flavour flavour_;
    std::vector<std::unique_ptr<Node>> drives_;  // Windows: one root per drive letter; POSIX: "/"
    std::vector<std::unique_ptr<Open>> open_;
    std::vector<std::unique_ptr<Node>> detached_;
    std::size_t space_ = static_cast<std::size_t>(-1);
    std::uint64_t next_id_ = 1;
    friend struct Node;
};

// The system the platform calls go to while it lives: each test makes one.
System& current();

}  // namespace fake
