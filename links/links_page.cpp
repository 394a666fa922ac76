#include "links/links_page.h"

#include <cstring>

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
    " \x82\xA9\x82\xE7\x92\x8A\x8F\x6F\x82\xB3\x82\xEA\x82\xBD" "URL</h1>\n<ul>\n";

constexpr std::string_view LINKS_FOOT = "</ul>\n<hr>\n</body>\n</html>";

struct AddressTable {
    bool member[256];
    constexpr AddressTable() : member() {
        for (unsigned c = 0; c < 256; ++c) member[c] = is_address_byte(static_cast<unsigned char>(c));
    }
};
constexpr AddressTable ADDRESS_BYTES;

// Lists every `scheme` address of `line` in order.  Each search resumes
// where the previous address ended, which is always a character boundary
// (addresses are ASCII), so the Shift_JIS alignment only ever needs to look
// back to there.  Candidates are found by their "://", which is rare in
// ordinary text.
void write_scheme_links(OutputStream& out, std::string_view line, std::string_view scheme) {
    const char* const end = line.data() + line.size();
    const std::size_t name_length = scheme.size() - 3;  // "http" or "https"
    const char* from = line.data();                     // a character boundary
    const char* colon = from + name_length;
    while (colon < end) {
        colon = static_cast<const char*>(std::memchr(colon, ':', static_cast<std::size_t>(end - colon)));
        if (colon == nullptr) return;
        const char* start = colon - name_length;
        if (static_cast<std::size_t>(end - start) < scheme.size() ||
            std::memcmp(start, scheme.data(), scheme.size()) != 0 || !sjis_is_char_start(from, start)) {
            ++colon;
            continue;
        }
        const char* address = start + scheme.size();
        const char* stop = address;
        while (stop != end && ADDRESS_BYTES.member[static_cast<unsigned char>(*stop)]) ++stop;
        std::string_view text(address, static_cast<std::size_t>(stop - address));
        // Addresses are printable ASCII: no line feed to widen but the last.
        out.put_verbatim({"<li><a href=\"", scheme, text, "\">", scheme, text, "</a></li>\r\n"});
        from = stop;
        colon = stop + name_length;
    }
}

}  // namespace

void write_line_links(OutputStream& out, std::string_view line) {
    // Most lines hold no colon at all: one pass settles them.
    if (std::memchr(line.data(), ':', line.size()) == nullptr) return;
    line = up_to_nul(line);
    write_scheme_links(out, line, "http://");
    write_scheme_links(out, line, "https://");
}

void write_links_page(OutputStream& out, LineReader& reader, const char* input_path) {
    out.put(LINKS_HEAD);
    out.put({"<h1>", input_path, HEADING_TAIL});
    std::string_view line;
    while (reader.next(line)) write_line_links(out, line);
    out.put(LINKS_FOOT);
}

int extract_links(const char* input_path, const char* output_path) {
    char input[PATH_BUFFER];
    char output[PATH_BUFFER];
    if (!copy_text(input, text_of(input_path)) || !copy_text(output, text_of(output_path))) return 1;
    platform::FileHandle in = platform::open_for_reading(input);
    if (in == platform::NO_FILE) return 1;
    platform::FileHandle file = platform::create_for_writing(output);
    if (file == platform::NO_FILE) {
        platform::close_file(in);
        return 1;
    }

    OutputStream out(file);
    static char storage[1 << 16];
    LineReader reader(in, storage, sizeof storage);
    write_links_page(out, reader, input);
    const bool written = out.close();
    platform::close_file(in);
    return written && !reader.failed() ? 0 : 1;
}
