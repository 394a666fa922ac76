#include "links/links_page.h"

#include <cstring>

#include "platform/page_file.h"
#include "platform/platform.h"
#include "sjis/sjis.h"

namespace {

// Title: the Shift_JIS bytes of "リンク集".
constexpr std::string_view LINKS_HEAD =
    "<html>\n"
    "<head>\n"
    "<meta http-equiv=\"content-type\" content=\"text/html; charset=shift_jis\">\n"
    "<meta http-equiv=\"content-style-type\" content=\"text/css\">\n"
    "<meta name=\"generated\" content=\"kobu.exe\">\n"
    "<title>\x83\x8A\x83\x93\x83\x4E\x8F\x57</title>\n"
    "<style type=\"text/css\"><!--\n"
    "\tbody{color:#333333; background-color:#cccccc; margin:2em; font-family:monospace}\n"
    "\ta{text-decoration:none} a:link{color: #006600} a:visited{color: #003300} a:hover{color: #ff00cc} "
    "a:active{color: #ff00cc; background-color:#ffffcc}\n"
    "\th1{color:#669900; background-color:#ffffcc; font-size:120%; font-weight:bold; width:100%; "
    "border:none; padding:0.4em; text-align:center; border:solid 2px #669900}\n"
    "\tul{padding:0em;margin-top:0.2em;margin-bottom:0.2em}\n"
    "\tli{white-space:nowrap}\n"
    "\thr{color:#669900; height:2px}\n"
    "--></style>\n"
    "</head>\n"
    "<body>\n";

// " から抽出されたURL" after the input path.
constexpr std::string_view HEADING_TAIL =
    " \x82\xA9\x82\xE7\x92\x8A\x8F\x6F\x82\xB3\x82\xEA\x82\xBD"
    "URL</h1>\n<ul>\n";

constexpr std::string_view LINKS_FOOT = "</ul>\n<hr>\n</body>\n</html>";

// For each byte: 1 when it belongs to an address, 0 when it ends one; and
// for each set of eight such answers (bit i for byte i), the first byte
// that ends the address.
struct AddressTable {
    unsigned char member[256];
    unsigned char first_stop[256];
    constexpr AddressTable() : member(), first_stop() {
        for (unsigned c = 0; c < 256; ++c) member[c] = is_address_byte(static_cast<unsigned char>(c)) ? 1 : 0;
        for (unsigned bits = 0; bits < 256; ++bits)
            while (first_stop[bits] < 8 && (bits >> first_stop[bits] & 1) != 0) ++first_stop[bits];
    }
};
constexpr AddressTable ADDRESS_BYTES;

constexpr std::string_view HTTP = "http://";
constexpr std::string_view HTTPS = "https://";

// The end of the address that starts at `address`.
const char* address_end(const char* address, const char* end) {
    const unsigned char* const member = ADDRESS_BYTES.member;
    auto in = [member](const char* p, int shift) { return unsigned{member[static_cast<unsigned char>(*p)]} << shift; };
    const char* stop = address;
    // Eight bytes a step (addresses run for dozens), the first that ends
    // the address found from their answers at once.
    for (; end - stop >= 8; stop += 8) {
        unsigned bits = 0;
        for (int i = 0; i < 8; ++i) bits |= in(stop + i, i);
        if (bits != 0xFF) return stop + ADDRESS_BYTES.first_stop[bits];
    }
    while (stop != end && in(stop, 0) != 0) ++stop;
    return stop;
}

// One list item, <li><a href="SCHEME ADDRESS">SCHEME ADDRESS</a></li>, the
// fixed parts of each scheme's items known here.
struct HttpItem {
    static constexpr std::string_view scheme = HTTP;
    static constexpr char start[] = "<li><a href=\"http://";
    static constexpr char middle[] = "\">http://";
};
struct HttpsItem {
    static constexpr std::string_view scheme = HTTPS;
    static constexpr char start[] = "<li><a href=\"https://";
    static constexpr char middle[] = "\">https://";
};
constexpr char ITEM_END[] = "</a></li>\r\n";

template <std::size_t N>
char* put_fixed(char* at, const char (&text)[N]) {
    std::memcpy(at, text, N - 1);  // a size known here: a few moves, not a call
    return at + N - 1;
}

// What an address's '&' becomes on the page (the one byte of the four an
// address may hold): the room an item needs is reckoned from it too.
constexpr std::string_view AMP_ENTITY = html_entity('&');

// An address's bytes, its '&'s (the first at `amp`, or none) as entities.
char* put_address(char* at, std::string_view text, const char* amp) {
    for (;;) {
        const std::size_t n = amp != nullptr ? static_cast<std::size_t>(amp - text.data()) : text.size();
        std::memcpy(at, text.data(), n);
        at += n;
        if (amp == nullptr) return at;
        std::memcpy(at, AMP_ENTITY.data(), AMP_ENTITY.size());
        at += AMP_ENTITY.size();
        text.remove_prefix(n + 1);
        amp = static_cast<const char*>(std::memchr(text.data(), '&', text.size()));
    }
}

template <typename Item>
void write_item(OutputStream& out, std::string_view text) {
    // The item is laid down in the buffer at once, its line end CR LF already.
    const char* const amp = static_cast<const char*>(std::memchr(text.data(), '&', text.size()));
    const std::size_t worst = (amp != nullptr ? AMP_ENTITY.size() : 1) * text.size();
    char* at = out.room(sizeof Item::start + sizeof Item::middle + sizeof ITEM_END + 2 * worst);
    if (at == nullptr) {  // longer than the whole buffer
        out.put_line({"<li><a href=\"", Item::scheme, outside(text), "\">", Item::scheme, outside(text), "</a></li>"});
        return;
    }
    at = put_address(put_fixed(at, Item::start), text, amp);
    at = put_address(put_fixed(at, Item::middle), text, amp);
    out.written(put_fixed(at, ITEM_END));
}

// The "https://" items of a read, kept until its "http://" ones are out.
// Each takes 8 bytes and one more that ends it, so a read of 5119 bytes
// holds at most 569; a longer text finds the rest with a search of its own.
struct Found {
    const char* address;
    std::size_t length;
};
Found https_found[LINE_BUFFER / 9 + 1];
constexpr SjisPattern HTTPS_PATTERN(HTTPS);

// Whether a candidate begins a character of its read.  The two readings
// differ only for a candidate right after a Shift_JIS lead byte that the
// Shift_JIS reading puts inside a character, so only then is the read looked
// at, once, to see whether it is UTF-8.
class Alignment {
public:
    Alignment(std::string_view line, ReadForm form) : line_(line), continues_(form.continues), utf8_(form.utf8) {}

    // Whether the pattern found at `pos` begins a character, `from` being a
    // known character start at or before it.
    bool starts_at(const char* from, const char* pos) {
        if (pos == from || !sjis_is_lead_byte(static_cast<unsigned char>(pos[-1]))) return true;
        return sjis_is_char_start(from, pos) || utf8();
    }
    bool utf8() {
        if (utf8_ == 0) utf8_ = is_utf8(line_, continues_) ? 1 : -1;
        return utf8_ > 0;
    }

private:
    std::string_view line_;
    bool continues_;
    int utf8_;  // 1 UTF-8, -1 Shift_JIS, 0 not yet known
};

// True when `pattern` stands at `pos` of [from, end) and begins a character there.
bool matches_at(Alignment& alignment, const char* from, const char* end, const char* pos, std::string_view pattern) {
    return static_cast<std::size_t>(end - pos) >= pattern.size() &&
           std::memcmp(pos, pattern.data(), pattern.size()) == 0 && alignment.starts_at(from, pos);
}

const char* find_plain(std::string_view text, std::string_view pattern) {
    const std::size_t at = text.find(pattern);
    return at == std::string_view::npos ? nullptr : text.data() + at;
}

// The items of a read's text (no NUL in it), whose first colon is `colon`
// (nullptr when it holds none; at or past its end when it has none before).
void write_text_links(OutputStream& out, std::string_view line, ReadForm form, const char* colon) {
    if (colon == nullptr) return;
    // One walk over the colons serves both schemes, each resuming where its
    // previous address ended (a character start: addresses are ASCII), so
    // each finds what a search of its own from there would.
    const char* const begin = line.data();
    const char* const end = begin + line.size();
    Alignment alignment(line, form);
    const char* http_from = begin;
    const char* https_from = begin;
    std::size_t https_count = 0;
    bool https_full = false;
    for (; colon != nullptr && colon < end;
         colon = static_cast<const char*>(std::memchr(colon + 1, ':', static_cast<std::size_t>(end - colon - 1)))) {
        if (!https_full && colon - https_from >= 5 && matches_at(alignment, https_from, end, colon - 5, HTTPS)) {
            const char* address = colon + 3;
            const char* stop = address_end(address, end);
            https_found[https_count++] = {address, static_cast<std::size_t>(stop - address)};
            https_from = stop;
            https_full = https_count == sizeof https_found / sizeof https_found[0];
        } else if (colon - http_from >= 4 && matches_at(alignment, http_from, end, colon - 4, HTTP)) {
            const char* address = colon + 3;
            const char* stop = address_end(address, end);
            write_item<HttpItem>(out, std::string_view(address, static_cast<std::size_t>(stop - address)));
            http_from = stop;
        }
    }
    for (std::size_t i = 0; i < https_count; ++i)
        write_item<HttpsItem>(out, std::string_view(https_found[i].address, https_found[i].length));
    for (std::string_view rest(https_from, static_cast<std::size_t>(end - https_from)); https_full;) {
        const char* start = alignment.utf8() ? find_plain(rest, HTTPS) : sjis_find_substring(rest, HTTPS_PATTERN);
        if (start == nullptr) break;
        const char* address = start + HTTPS.size();
        const char* stop = address_end(address, end);
        write_item<HttpsItem>(out, std::string_view(address, static_cast<std::size_t>(stop - address)));
        rest = std::string_view(stop, static_cast<std::size_t>(end - stop));
    }
}

// The items of a block of whole reads (LineReader::next_block).  One search
// over the block finds the colons, and a read is looked for only around one:
// the reads without a colon, most of any text, are passed over at the speed
// of that search.
void write_block_links(OutputStream& out, std::string_view block, bool utf8, bool continues) {
    const char* const end = block.data() + block.size();
    const char* read = block.data();  // the first read not yet scanned
    for (const char* colon;
         read != end &&
         (colon = static_cast<const char*>(std::memchr(read, ':', static_cast<std::size_t>(end - read)))) != nullptr;) {
        // The colon's line starts after the last line feed before it, and is
        // read in pieces of LINE_MAX_BYTES.
        const char* const lf = find_last_byte(read, colon, '\n');
        const char* const line = lf != nullptr ? lf + 1 : read;
        const std::size_t pieces = static_cast<std::size_t>(colon - line) / LINE_MAX_BYTES;
        const char* const start = line + pieces * LINE_MAX_BYTES;
        if (start != read) continues = pieces > 0;
        const ReadExtent extent =
            read_extent(start, static_cast<std::size_t>(end - start), static_cast<std::size_t>(colon - start));
        // Its text, up to a NUL.  A CR LF at its end is left as it stands:
        // neither byte belongs to an address.
        write_text_links(out, up_to_nul(std::string_view(start, extent.taken)), {utf8, continues}, colon);
        read = start + extent.taken;
        continues = read[-1] != '\n';
    }
}

}  // namespace

void write_line_links(OutputStream& out, std::string_view line, ReadForm form) {
    line = up_to_nul(line);
    write_text_links(out, line, form, static_cast<const char*>(std::memchr(line.data(), ':', line.size())));
}

void write_links_page(OutputStream& out, LineReader& reader, const char* input_path) {
    out.put(LINKS_HEAD);
    out.put({"<h1>", shown_path_of(input_path), HEADING_TAIL});
    std::string_view block;
    while (reader.next_block(block))
        write_block_links(out, block, reader.encoding() != TextEncoding::bytes, reader.continues_line());
    out.put(LINKS_FOOT);
}

int extract_links(const char* input_path, const char* output_path) {
    char input[PATH_BUFFER];
    char output[platform::PAGE_PATH_BUFFER];
    if (!copy_text(input, text_of(input_path)) || (output_path && !copy_text(output, text_of(output_path)))) return 1;
    platform::FileHandle in = platform::open_for_reading(input);
    if (in == platform::NO_FILE) {
        platform::report(input,
                         platform::entry_type(input) == platform::EntryType::file ? nullptr : "is not a regular file");
        return 1;
    }
    PageFile page;
    bool written = false;
    if (output_path ? page.begin(output) : page.begin_standard_output()) {
        // No further than the input reached when it was opened: a file that
        // someone keeps writing to is a snapshot, not a page without end.
        static char storage[1 << 17];
        LineReader reader(in, storage, sizeof storage, platform::file_size(in));
        write_links_page(page.out(), reader, input);
        // A page cut short by a read error does not replace the old one.
        if (reader.failed()) platform::report(input, nullptr);
        written = !reader.failed() && page.commit();
    }
    platform::close_file(in);
    return written ? 0 : 1;
}
