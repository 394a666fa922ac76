// The line reader and the links page.  Reads must fold CR LF and nothing
// else (after a byte-order mark, and UTF-16 turned into UTF-8 as in one go),
// and be at most 5119 bytes, ending at a line feed unless full or last.
// The fast scan must list exactly what the plain search-and-copy algorithm
// over C strings lists, the page must always be whole, and it must parse into
// as many items as the scan found, none holding markup of its own.
#include <cstring>

#include "fuzz_util.h"
#include "links/links_page.h"
#include "platform/fake/fake_platform.h"
#include "platform/utf.h"
#include "sjis/sjis.h"

namespace {

std::string fold_crlf(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
        out += s[i];
    }
    return out;
}

// How many list items `page` holds, checking that each is one whole line of
// the form <li><a href="ADDRESS">TEXT</a></li> with no raw < > " inside
// either part: no input can add markup or cut an item short.
std::size_t parsed_items(const std::string& page) {
    std::size_t count = 0;
    for (std::size_t at = page.find("<li>"); at != std::string::npos; at = page.find("<li>", at + 1)) {
        const std::size_t end = page.find("</li>\r\n", at);
        FUZZ_CHECK(end != std::string::npos);
        const std::string line = page.substr(at, end - at);
        const std::size_t href = line.find("<li><a href=\"");
        const std::size_t close = line.find("\">");
        FUZZ_CHECK(href == 0 && close != std::string::npos && line.compare(line.size() - 4, 4, "</a>") == 0);
        const std::string address = line.substr(13, close - 13);
        const std::string text = line.substr(close + 2, line.size() - 4 - close - 2);
        FUZZ_CHECK(address.find_first_of("<>\"") == std::string::npos);
        FUZZ_CHECK(text.find_first_of("<>\"") == std::string::npos);
        ++count;
    }
    return count;
}

// What the reader hands out for the whole input: its mark passed over and
// UTF-16 turned into UTF-8 in one go, then CR LF folded.
std::string decoded(const std::string& input, TextEncoding& encoding) {
    std::size_t mark = 0;
    encoding = encoding_of_mark(input, mark);
    std::string text = input.substr(mark);
    if (encoding == TextEncoding::utf16le || encoding == TextEncoding::utf16be) {
        std::string out((text.size() + 1) / 2 * 3, '\0');
        std::size_t written = 0;
        utf16_to_utf8(text.data(), text.size(), encoding == TextEncoding::utf16be, true, out.data(), written);
        text = out.substr(0, written);
    }
    return fold_crlf(text);
}

// Search, cut out, copy the rest, search again: one pass per scheme, in a
// UTF-8 read from every place, in any other only from character starts.
std::string reference_items(const std::string& read, bool utf8) {
    std::string items;
    for (const char* scheme : {"http://", "https://"}) {
        static char line[LINE_BUFFER];
        std::strncpy(line, read.c_str(), sizeof line - 1);
        line[sizeof line - 1] = '\0';
        while (const char* p = utf8 ? std::strstr(line, scheme) : sjis_find_substring(line, scheme)) {
            std::string address(p + std::strlen(scheme));
            std::size_t n = 0;
            while (n < address.size() && is_address_byte(static_cast<unsigned char>(address[n]))) ++n;
            std::string rest = address.substr(n);
            address.resize(n);
            for (char c : address) FUZZ_CHECK(is_address_byte(static_cast<unsigned char>(c)));
            items += std::string("<li><a href=\"") + scheme + html(address) + "\">" + scheme + html(address) +
                     "</a></li>\r\n";
            std::memcpy(line, rest.c_str(), rest.size() + 1);
        }
    }
    return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fake::System system(fake::Flavour::posix);  // the page's heading is shown through the system
    if (size < 1) return 0;
    std::string input = bytes_of(data + 1, size - 1);
    std::size_t step = data[0] == 0 ? input.size() + 1 : data[0];
    auto reads = reads_of(input, step);

    TextEncoding encoding;
    const std::string text = decoded(input, encoding);
    std::string joined;
    std::vector<bool> utf8(reads.size());
    for (std::size_t i = 0; i < reads.size(); ++i) {
        const std::string& r = reads[i];
        FUZZ_CHECK(!r.empty() && r.size() <= LINE_MAX_BYTES);
        FUZZ_CHECK(r.find('\n') == std::string::npos || r.find('\n') == r.size() - 1);
        if (i + 1 < reads.size()) FUZZ_CHECK(r.back() == '\n' || r.size() == LINE_MAX_BYTES);
        joined += r;
        std::string view(r.c_str());
        const ReadForm form{encoding != TextEncoding::bytes, i > 0 && reads[i - 1].back() != '\n'};
        utf8[i] = form.utf8 || is_utf8(view, form.continues);
        std::string fast = written_by([&](OutputStream& out) { write_line_links(out, view, form); });
        FUZZ_CHECK(fast == reference_items(view, utf8[i]));
    }
    FUZZ_CHECK(joined == text);

    // The whole page: its head and heading, every item, and its foot, always.
    MemorySource source{input, 0, step};
    static char storage[2 * LINE_BUFFER];
    LineReader reader(&MemorySource::read, &source, storage, sizeof storage);
    std::string page = written_by([&](OutputStream& out) { write_links_page(out, reader, "in.txt"); });
    std::string items;
    std::size_t found = 0;
    for (std::size_t i = 0; i < reads.size(); ++i) {
        const std::string line_items = reference_items(std::string(reads[i].c_str()), utf8[i]);
        for (std::size_t at = line_items.find("<li>"); at != std::string::npos; at = line_items.find("<li>", at + 1)) ++found;
        items += line_items;
    }
    FUZZ_CHECK(parsed_items(page) == found);
    const std::string heading =
        "<h1>in.txt \x82\xa9\x82\xe7\x92\x8a\x8f\x6f\x82\xb3\x82\xea\x82\xbdURL</h1>\r\n<ul>\r\n";
    const std::string foot = "</ul>\r\n<hr>\r\n</body>\r\n</html>";
    FUZZ_CHECK(page.size() >= heading.size() + items.size() + foot.size());
    FUZZ_CHECK(page.compare(0, 6, "<html>") == 0);
    FUZZ_CHECK(page.compare(page.size() - foot.size() - items.size() - heading.size(), std::string::npos,
                            heading + items + foot) == 0);
    return 0;
}
