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

struct AddressTable {
    bool member[256];
    constexpr AddressTable() : member() {
        for (unsigned c = 0; c < 256; ++c) member[c] = is_address_byte(static_cast<unsigned char>(c));
    }
};
constexpr AddressTable ADDRESS_BYTES;

constexpr SjisPattern HTTP("http://");
constexpr SjisPattern HTTPS("https://");

// Lists every `scheme` address of `line` in order.  Each search resumes
// where the previous address ended, which is always a character boundary
// (addresses are ASCII).
void write_scheme_links(OutputStream& out, std::string_view line, const SjisPattern& prefix) {
    const std::string_view scheme = prefix.text;
    const char* const end = line.data() + line.size();
    while (const char* start = sjis_find_substring(line, prefix)) {
        const char* address = start + scheme.size();
        const char* stop = address;
        while (stop != end && ADDRESS_BYTES.member[static_cast<unsigned char>(*stop)]) ++stop;
        const std::string_view text(address, static_cast<std::size_t>(stop - address));
        out.put_line({"<li><a href=\"", scheme, outside(text), "\">", scheme, outside(text), "</a></li>"});
        line = std::string_view(stop, static_cast<std::size_t>(end - stop));
    }
}

}  // namespace

void write_line_links(OutputStream& out, std::string_view line) {
    // Most lines hold no colon at all: one pass settles them.
    if (std::memchr(line.data(), ':', line.size()) == nullptr) return;
    line = up_to_nul(line);
    write_scheme_links(out, line, HTTP);
    write_scheme_links(out, line, HTTPS);
}

void write_links_page(OutputStream& out, LineReader& reader, const char* input_path) {
    out.put(LINKS_HEAD);
    out.put({"<h1>", outside(input_path), HEADING_TAIL});
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
    PageFile page;
    bool written = false;
    if (page.begin(output, {input})) {
        static char storage[1 << 16];
        LineReader reader(in, storage, sizeof storage);
        write_links_page(page.out(), reader, input);
        // A page cut short by a read error does not replace the old one.
        written = !reader.failed() && page.commit();
    }
    platform::close_file(in);
    return written ? 0 : 1;
}
