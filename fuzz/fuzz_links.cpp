// The line reader and the address scan.  Reads must fold CR LF and nothing
// else, and be at most 5119 bytes, ending at a line feed unless full or last.
// The fast scan must list exactly what the plain search-and-copy algorithm
// over C strings lists.
#include <cstring>

#include "fuzz_util.h"
#include "links/links_page.h"
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

// Search, cut out, copy the rest, search again: one pass per scheme.
std::string reference_items(const std::string& read) {
    std::string items;
    for (const char* scheme : {"http://", "https://"}) {
        static char line[LINE_BUFFER];
        std::strncpy(line, read.c_str(), sizeof line - 1);
        line[sizeof line - 1] = '\0';
        while (const char* p = sjis_find_substring(line, scheme)) {
            std::string address(p + std::strlen(scheme));
            std::size_t n = 0;
            while (n < address.size() && is_address_byte(static_cast<unsigned char>(address[n]))) ++n;
            std::string rest = address.substr(n);
            address.resize(n);
            for (char c : address) FUZZ_CHECK(is_address_byte(static_cast<unsigned char>(c)));
            items += std::string("<li><a href=\"") + scheme + address + "\">" + scheme + address + "</a></li>\r\n";
            std::memcpy(line, rest.c_str(), rest.size() + 1);
        }
    }
    return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::string input = bytes_of(data + 1, size - 1);
    std::size_t step = data[0] == 0 ? input.size() + 1 : data[0];
    auto reads = reads_of(input, step);

    std::string joined;
    for (std::size_t i = 0; i < reads.size(); ++i) {
        const std::string& r = reads[i];
        FUZZ_CHECK(!r.empty() && r.size() <= LINE_MAX_BYTES);
        FUZZ_CHECK(r.find('\n') == std::string::npos || r.find('\n') == r.size() - 1);
        if (i + 1 < reads.size()) FUZZ_CHECK(r.back() == '\n' || r.size() == LINE_MAX_BYTES);
        joined += r;
        std::string view(r.c_str());
        std::string fast = written_by([&](OutputStream& out) { write_line_links(out, view); });
        FUZZ_CHECK(fast == reference_items(view));
    }
    FUZZ_CHECK(joined == fold_crlf(input));
    return 0;
}
