// The favorites page: its fixed texts, the recursive folder-tree writer and
// the reader of one Internet shortcut's address.
#pragma once

#include "platform/streams.h"

// Page head, root heading and foot, written around the folder tree.
void write_favorites_head(OutputStream& out);
void write_root_heading(OutputStream& out, const char* listing_root);
void write_favorites_foot(OutputStream& out);

// Writes the body of the page for the tree below `folder` (non-empty, with or
// without a trailing separator): the folder's shortcuts as one list, then one
// section per subfolder, then the "</div>" that closes the folder.  Always 0.
int write_folder_tree(OutputStream& out, const char* folder);

// The address of the shortcut file at `path`: the rest of its first line
// that begins with "URL=", or an empty text; but the UTF-7 address of its
// "[InternetShortcut.W]" section (its key in any letter case), where it has
// one, with any character beyond ASCII percent-encoded as UTF-8, as is that
// of a UTF-16 or UTF-8 file and a value in well-formed UTF-8.  The result is
// a static buffer that the next call overwrites.
const char* read_shortcut_url(const char* path);

// The same for a shortcut file already open for reading, which it closes.
const char* read_shortcut(platform::FileHandle file);

// The address in a shortcut's lines, copied into `url` (capacity `cap`);
// empty when no line begins with "URL=".
void scan_shortcut_lines(LineReader& reader, char* url, std::size_t cap);
