// The profile-file and user-dirs readers on any bytes, and the folder-search
// name matching against a plain recursive matcher.
#include <cstring>

#include "fuzz_util.h"
#include "platform/posix/user_dirs.h"
#include "platform/posix/wildcard.h"
#include "platform/profile.h"

namespace {

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool match_reference(const char* p, const char* n, const char* pe, const char* ne) {
    if (p == pe) return n == ne;
    if (*p == '*') return match_reference(p + 1, n, pe, ne) || (n != ne && match_reference(p, n + 1, pe, ne));
    if (n == ne) return false;
    return (*p == '?' || fold(*p) == fold(*n)) && match_reference(p + 1, n + 1, pe, ne);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::string input = bytes_of(data + 1, size - 1);
    const std::size_t cap = data[0] % 64 + 1;

    char out[PATH_BUFFER];
    std::memset(out, 'X', sizeof out);
    {
        MemorySource source{input, 0, std::size_t{data[0]} % 13 + 1};
        static char storage[2 * LINE_BUFFER];
        LineReader reader(&MemorySource::read, &source, storage, sizeof storage);
        if (profile_lookup(reader, "kobu", "html", "fallback", out, cap)) FUZZ_CHECK(std::strlen(out) < cap);
        else FUZZ_CHECK(out[0] == 'X');  // refused: untouched
        FUZZ_CHECK(out[cap] == 'X' || cap == sizeof out);
    }
    {
        MemorySource source{input};
        static char storage[2 * LINE_BUFFER];
        LineReader reader(&MemorySource::read, &source, storage, sizeof storage);
        std::memset(out, 'X', sizeof out);
        if (user_dirs_lookup(reader, "XDG_DESKTOP_DIR", "/home/u", out, cap)) FUZZ_CHECK(std::strlen(out) < cap);
        FUZZ_CHECK(out[cap] == 'X' || cap == sizeof out);
    }
    if (input.size() <= 24) {
        std::size_t split = input.find('/');
        if (split != std::string::npos) {
            std::string pattern = input.substr(0, split), name = input.substr(split + 1);
            FUZZ_CHECK(wildcard_match(pattern, name) == match_reference(pattern.data(), name.data(),
                                                                        pattern.data() + pattern.size(),
                                                                        name.data() + name.size()));
        }
    }
    return 0;
}
