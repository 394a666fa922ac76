// Text mode: every "http://" and "https://" address of a text file, as a
// links page.
#pragma once

#include <string_view>

#include "platform/streams.h"

// The set of bytes that end an address besides those outside 0x21-0x7E.
inline constexpr char URL_DELIMITERS[] = "\"\\'|*`^><}{)(}{";

// True for a byte that belongs to an address.
constexpr bool is_address_byte(unsigned char c) {
    if (c < 0x21 || c > 0x7E) return false;
    for (char d : std::string_view(URL_DELIMITERS))
        if (c == static_cast<unsigned char>(d)) return false;
    return true;
}

// How the bytes of one read are to be taken.  A read is UTF-8 when its file
// says so, or when it is well-formed UTF-8 (allowing for a character cut at
// either end of a long line's reads); any other is Shift_JIS, whose second
// bytes never begin an address.
struct ReadForm {
    bool utf8 = false;       // the file is UTF-8 (a byte-order mark, or UTF-16 turned into it)
    bool continues = false;  // the read goes on from one that ended without a line feed
};

// Writes the list items for one read of the input: its "http://" addresses
// in order, then its "https://" ones.  The read ends at its first NUL.
void write_line_links(OutputStream& out, std::string_view line, ReadForm form = {});

// Writes the whole links page for the reads of `reader`, headed by `input_path`.
void write_links_page(OutputStream& out, LineReader& reader, const char* input_path);

// Scans `input_path` and writes its links page to `output_path` (null:
// to standard output, as it comes).  0 when the
// page was written completely; 1 when the input could not be opened or read,
// or the page could not be written: then any old page stays as it was.  The
// page never replaces the input itself (or a file linked to it).
int extract_links(const char* input_path, const char* output_path);
