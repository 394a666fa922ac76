// The shortcut reader: the first read that begins "URL=", without its line
// feed, for a file without Unicode text and without a Unicode section; for
// any other, an address of printable ASCII wherever one came from Unicode.
#include <cstring>

#include "favorites/favorites_page.h"
#include "fuzz_util.h"

namespace {

bool holds_unicode_section(const std::string& input) {
    std::string folded;
    for (char c : input) folded += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return folded.find("internetshortcut.w") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input = bytes_of(data, size);
    const bool utf16 = input.compare(0, 2, "\xFF\xFE") == 0 || input.compare(0, 2, "\xFE\xFF") == 0;
    std::string expected;
    for (const std::string& r : reads_of(input)) {
        std::string line(r.c_str());
        if (line.compare(0, 4, "URL=") != 0) continue;
        if (!line.empty() && line.back() == '\n') line.pop_back();
        expected = line.substr(4);
        break;
    }
    MemorySource source{input, 0, size % 7 + 1};
    static char storage[2 * LINE_BUFFER];
    LineReader reader(&MemorySource::read, &source, storage, sizeof storage);
    static char url[LINE_BUFFER];
    scan_shortcut_lines(reader, url, sizeof url);
    const bool unicode = utf16 || input.compare(0, 3, "\xEF\xBB\xBF") == 0 || is_unicode_text(expected);
    if (!unicode && !holds_unicode_section(input)) FUZZ_CHECK(expected == url);
    if (unicode)
        for (const char* p = url; *p != '\0'; ++p) FUZZ_CHECK(*p >= 0x20 && *p < 0x7F);
    return 0;
}
