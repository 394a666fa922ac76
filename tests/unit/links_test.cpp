#include "links/links_page.h"

#include <gtest/gtest.h>

#include <string>

#include "test_util.h"

namespace {

std::string items(const std::string& line, ReadForm form = {}) {
    return written_by([&](OutputStream& out) { write_line_links(out, line, form); });
}

std::string item(const std::string& scheme, const std::string& address) {
    return "<li><a href=\"" + scheme + html(address) + "\">" + scheme + html(address) + "</a></li>\r\n";
}
std::string http(const std::string& a) { return item("http://", a); }
std::string https(const std::string& a) { return item("https://", a); }

TEST(LineLinks, Cases) {
    const std::pair<std::string, std::string> cases[] = {
        {"see http://h/a?b=1&c=2, or https://k/(y)\n", http("h/a?b=1&c=2,") + https("k/")},
        {"(see http://h/p)", http("h/p")},
        {"[http://h/p]", http("h/p]")},
        {"http://\x93\xFA\x96\x7B", http("")},
        {"http://a http://b", http("a") + http("b")},
        {"https://a", https("a")},
        {"http://a/?u=https://b", http("a/?u=https://b") + https("b")},
        {"https://x http://y https://z", http("y") + https("x") + https("z")},
        {"HTTP://x Http://y", ""},
        {"\x83\x68ttp://x", ""},          // 'h' is a trail byte
        {"\x83\x83http://x", http("x")},  // 0x83 0x83 is one character
        {"\x81\x81\x81http://x", ""},
        {"\x8C\xA9 http://x\x82\xC5", http("x")},
        {"http://a\"b\\c'd|e*f`g^h>i<j}k{l)m(n", http("a")},
        {"http://~#%&?=:/[]@!$+,;.-_x\x7F", http("~#%&?=:/[]@!$+,;.-_x")},
        {"http://a\tb", http("a")},
        {"http:/x ttp://x http//x", ""},
        {"xhttp://a", http("a")},
        {"httphttp://a", http("a")},
        {"http://" + std::string(7000, '&'), http(std::string(7000, '&'))},  // more entities than the buffer holds
        // UTF-8: a last byte 0x80-0x9F of 「 or ： is no lead byte there.
        {"\xE3\x80\x8Chttp://quote.example/\xE3\x80\x8D", http("quote.example/")},
        {"\xE3\x83\xAA\xE3\x83\xB3\xE3\x82\xAF\xEF\xBC\x9Ahttps://example.org/", https("example.org/")},
        {"\xE3\x80\x8Chttp://q/ \x83", ""},  // not UTF-8 as a whole: Shift_JIS
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(items(line), expected) << testing::PrintToString(line);
}

TEST(LineLinks, FormOfTheRead) {
    EXPECT_EQ(items("\x83http://x\xFF", {true, false}), http("x"));  // the file is UTF-8
    EXPECT_EQ(items("\x8Chttp://x", {false, true}), http("x"));      // the end of a character the last read cut
    EXPECT_EQ(items("\x8Chttp://x", {false, false}), "");
}

// "&" is the one byte of the four that an address holds: it is written as
// an entity, so "&copy=2" shows as written and the link still goes to "&copy=2".
TEST(LineLinks, AmpersandIsWrittenAsAnEntity) {
    EXPECT_EQ(
        items("http://a/?x=1&copy=2&notify=yes"),
        "<li><a href=\"http://a/?x=1&amp;copy=2&amp;notify=yes\">http://a/?x=1&amp;copy=2&amp;notify=yes</a></li>\r\n");
    EXPECT_EQ(items("https://&&"), "<li><a href=\"https://&amp;&amp;\">https://&amp;&amp;</a></li>\r\n");
}

// More "https://" addresses than a read of 5119 bytes can hold still come
// after all the "http://" ones, in order.
TEST(LineLinks, ManyAddressesOnALongText) {
    std::string line, expected_http, expected_https;
    for (int i = 0; i < 700; ++i) {
        line += "https://s" + std::to_string(i) + " http://h" + std::to_string(i) + " ";
        expected_http += http("h" + std::to_string(i));
        expected_https += https("s" + std::to_string(i));
    }
    EXPECT_EQ(items(line), expected_http + expected_https);
}

TEST(LineLinks, DelimiterSetInItsOrder) {
    EXPECT_EQ(std::string(URL_DELIMITERS), "\x22\x5C\x27\x7C\x2A\x60\x5E\x3E\x3C\x7D\x7B\x29\x28\x7D\x7B");
    for (unsigned c = 0; c < 256; ++c) {
        bool expected =
            c >= 0x21 && c <= 0x7E && std::string(URL_DELIMITERS).find(static_cast<char>(c)) == std::string::npos;
        EXPECT_EQ(is_address_byte(static_cast<unsigned char>(c)), expected) << c;
    }
}

}  // namespace
