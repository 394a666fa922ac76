// The command-line split against a reference written from the rules, and
// the split of its tail into parts.
#include "app/app.h"
#include "fuzz_util.h"

namespace {

std::size_t reference_tail(const std::string& s) {
    std::size_t i = 0;
    if (!s.empty() && s[0] == '"') {
        std::size_t q = s.find('"', 1);
        if (q == std::string::npos) return 0;
        i = q + 1;
    } else {
        std::size_t sp = s.find(' ');
        i = sp == std::string::npos ? s.size() : sp;
    }
    while (i < s.size() && s[i] == ' ') ++i;
    return i;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string line(bytes_of(data, size).c_str());
    const char* tail = split_command_line(line.c_str());
    FUZZ_CHECK(tail >= line.c_str() && tail <= line.c_str() + line.size());
    FUZZ_CHECK(static_cast<std::size_t>(tail - line.c_str()) == reference_tail(line));
    // The tail's parts, into a small buffer: each ends inside the tail, in order.
    char part[8];
    bool whole = true;
    for (const char* at = tail; (at = next_argument(at, part, sizeof part, whole)) != nullptr; tail = at)
        FUZZ_CHECK(at > tail && at <= line.c_str() + line.size() && std::strlen(part) < sizeof part);
    return 0;
}
