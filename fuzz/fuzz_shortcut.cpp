// The shortcut reader: the first read that begins "URL=", without its line feed.
#include "favorites/favorites_page.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input = bytes_of(data, size);
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
    FUZZ_CHECK(expected == url);
    return 0;
}
