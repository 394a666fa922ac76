// The decoders of the Unicode forms text files arrive in.
#include "platform/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8, WellFormedOrNot) {
    const std::string nichi = "\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5\xE6\x97\xA5";  // 日日日日, read two at a time
    const struct {
        std::string text;
        bool continues;
        bool utf8;
    } cases[] = {
        {"ascii \x7F", false, true},
        {"\xE3\x80\x8Chttp://q/\xE3\x80\x8D \xF0\x9F\x98\x80 \xC3\xA9", false, true},  // 「」, an emoji, é
        {"\x8C\xA9\x82\xE9http://x", false, false},                                    // Shift_JIS
        {"\xC0\x80", false, false},                                                    // overlong
        {"\xE0\x80\xBC", false, false},                                                // overlong '<'
        {"\xF0\x80\x80\xBC", false, false},                                            // overlong '<
        {"\xED\xA0\x80", false, false},                                                // a surrogate
        {"\xF4\x90\x80\x80", false, false},                                            // above U+10FFFF
        {"a\xE3\x80", false, true},    // cut off at the end of a long line's read
        {"a\xE3\x80z", false, false},  // cut off inside
        {"\x80\x8Cz", true, true},     // the rest of a character cut off before
        {"\x80\x8Cz", false, false},
        {"\x80\x80\x80\x80", true, false},
        {nichi + "\xE0\xA0\x80\xED\x9F\xBF" + nichi, false, true},  // the narrower second bytes of E0 and ED
        {nichi + "\xED\xA0\x80" + nichi, false, false},
        {nichi + "\xE0\x80\xBC" + nichi, false, false},
        {nichi + "\xE6\x97" + "a" + nichi, false, false},
    };
    for (const auto& c : cases) EXPECT_EQ(is_utf8(c.text, c.continues), c.utf8) << testing::PrintToString(c.text);
}

std::string utf16(const std::string& in, bool big_endian, bool last, std::size_t& used) {
    std::string out((in.size() + 1) / 2 * 3, '?');
    std::size_t written = 0;
    used = utf16_to_utf8(in.data(), in.size(), big_endian, last, out.data(), written);
    return out.substr(0, written);
}

TEST(Utf16, TurnedIntoUtf8) {
    const struct {
        std::string in;
        bool big_endian, last;
        std::string out;
        std::size_t left_over;
    } cases[] = {
        {std::string("a\0\x0C\x30\x3D\xD8\x00\xDE", 8), false, true, "a\xE3\x80\x8C\xF0\x9F\x98\x80", 0},
        {std::string("\0a\x30\x0C\xD8\x3D\xDE\x00", 8), true, true, "a\xE3\x80\x8C\xF0\x9F\x98\x80", 0},
        {std::string("\x3D\xD8z\0\x00\xDE", 6), false, true, "\xEF\xBF\xBDz\xEF\xBF\xBD", 0},  // unpaired
        {std::string("a\0\x3D\xD8\x00", 5), false, false, "a", 3},  // the pair may be completed by what follows
        {std::string("a\0\x3D\xD8\x00", 5), false, true, "a\xEF\xBF\xBD\xEF\xBF\xBD", 0},
    };
    for (const auto& c : cases) {
        std::size_t used = 0;
        EXPECT_EQ(utf16(c.in, c.big_endian, c.last, used), c.out) << testing::PrintToString(c.in);
        EXPECT_EQ(c.in.size() - used, c.left_over) << testing::PrintToString(c.in);
    }
}

TEST(Utf7, Decoded) {
    const struct {
        std::string in;
        std::size_t cap;
        const char* out;  // nullptr: refused
    } cases[] = {
        {"http://ko.example/wiki/+1VytbQ-", 64, "http://ko.example/wiki/\xED\x95\x9C\xEA\xB5\xAD"},  // 한국
        {"a+-b+AGE b+2D3eAA-", 64, "a+ba b\xF0\x9F\x98\x80"},  // '+', a run ended by a space, a pair
        {"+2D0-x", 64, "\xEF\xBF\xBDx"},                       // a high surrogate alone
        {"caf\xC3\xA9", 64, nullptr},                          // 8-bit bytes are no UTF-7
        {"+1Vw-", 3, "\xED\x95\x9C"},
        {"+1Vw-x", 3, nullptr},  // no room for the x
    };
    for (const auto& c : cases) {
        char out[64];
        std::size_t length = 0;
        const bool ok = utf7_to_utf8(c.in, out, c.cap, length);
        EXPECT_EQ(ok ? std::string(out, length) : "REFUSED", c.out ? c.out : "REFUSED") << c.in;
    }
}

}  // namespace
