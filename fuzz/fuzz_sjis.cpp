// The Shift_JIS searches against references built on an explicit list of
// character starts.
#include <cstring>

#include "fuzz_util.h"
#include "sjis/sjis.h"

namespace {

bool is_pair_at(const std::string& t, std::size_t i) {
    return sjis_is_lead_byte(static_cast<unsigned char>(t[i])) && i + 1 < t.size();
}

long last_char_reference(const std::string& t, unsigned ch) {
    ch &= 0xFFFF;
    auto start = character_starts(t);
    long last = -1;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (!start[i]) continue;
        if (!is_pair_at(t, i)) {
            // A lone lead byte at the end stops the walk; it never matches.
            if (ch < 0x100 && !sjis_is_lead_byte(static_cast<unsigned char>(t[i])) &&
                static_cast<unsigned char>(t[i]) == ch)
                last = static_cast<long>(i);
        } else if (ch >= 0x100 && (static_cast<unsigned>(static_cast<unsigned char>(t[i])) << 8 |
                                   static_cast<unsigned char>(t[i + 1])) == ch) {
            last = static_cast<long>(i);
        }
    }
    return last;
}

long substring_reference(const std::string& t, const std::string& p) {
    if (p.empty() || (sjis_is_lead_byte(static_cast<unsigned char>(p[0])) && p.size() == 1)) return 0;
    bool wide = sjis_is_lead_byte(static_cast<unsigned char>(p[0]));
    auto start = character_starts(t);
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (!start[i] || is_pair_at(t, i) != wide) continue;
        if (t.size() - i >= p.size() && t.compare(i, p.size(), p) == 0) return static_cast<long>(i);
    }
    return -1;
}

long offset(const std::string& t, const char* found) { return found ? found - t.c_str() : -1; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const unsigned ch = static_cast<unsigned>(data[1]) << 8 | data[2];
    std::size_t plen = data[0] % 9;
    std::string rest = bytes_of(data + 3, size - 3);
    std::string pattern = rest.substr(0, plen);
    std::string text = rest.substr(pattern.size());
    pattern = pattern.c_str();  // the searches see C strings
    text = text.c_str();

    FUZZ_CHECK(offset(text, sjis_find_last_char(text.c_str(), ch)) == last_char_reference(text, ch));
    FUZZ_CHECK(offset(text, sjis_find_last_char(text.c_str(), ch & 0xFF)) == last_char_reference(text, ch & 0xFF));
    FUZZ_CHECK(offset(text, sjis_find_substring(text.c_str(), pattern.c_str())) == substring_reference(text, pattern));
    auto start = character_starts(text);
    for (std::size_t i = 0; i < text.size(); ++i)
        FUZZ_CHECK(sjis_is_char_start(text.data(), text.data() + i) == start[i]);
    return 0;
}
