#include "platform/streams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "test_util.h"

namespace {

using Reads = std::vector<std::string>;

struct ReaderCase {
    const char* name;
    std::string input;
    Reads expected;
};

TEST(LineReader, FoldsCrLfKeepsLoneCrAndEveryByte) {
    const std::string a5118(5118, 'a'), a5119(5119, 'a');
    std::string kagi16, kagi8;  // 5000 × 「: 2 bytes each in UTF-16, 3 in UTF-8
    for (int i = 0; i < 5000; ++i) kagi16 += "\x0C\x30", kagi8 += "\xE3\x80\x8C";
    const ReaderCase cases[] = {
        {"empty", "", {}},
        {"lf", "a\nb\n", {"a\n", "b\n"}},
        {"crlf", "a\r\nb\r\n", {"a\n", "b\n"}},
        {"lone cr", "a\rb\r", {"a\rb\r"}},
        {"cr cr lf", "a\r\r\n", {"a\r\n"}},
        {"no final lf", "a\nb", {"a\n", "b"}},
        {"nul and ctrl-z",
         std::string("a\0b\x1A"
                     "c\n\x1A\n",
                     8),
         {std::string("a\0b\x1A"
                      "c\n",
                      6),
          "\x1A\n"}},
        {"5119 exactly", a5118 + "\n", {a5118 + "\n"}},
        {"5119 after folding", a5118 + "\r\n", {a5118 + "\n"}},
        {"5120 split", a5119 + "\n", {a5119, "\n"}},
        {"5120 crlf split", a5119 + "\r\n", {a5119, "\n"}},
        {"cr at the cut", a5118 + "\r" + "x\n", {a5118 + "\r", "x\n"}},
        {"long line",
         std::string(12000, 'b'),
         {std::string(5119, 'b'), std::string(5119, 'b'), std::string(1762, 'b')}},
        {"utf-8 mark passed over", "\xEF\xBB\xBF" "a\r\n", {"a\n"}},
        {"utf-16le", std::string("\xFF\xFE" "a\0\r\0\n\0\x0C\x30\r\0", 12), {"a\n", "\xE3\x80\x8C\r"}},
        {"utf-16be", std::string("\xFE\xFF\0a\0\n\xD8\x3D\xDE\x00", 10), {"a\n", "\xF0\x9F\x98\x80"}},
        {"utf-16 long line", "\xFF\xFE" + kagi16, {kagi8.substr(0, 5119), kagi8.substr(5119, 5119), kagi8.substr(10238)}},
        {"utf-16 odd end", std::string("\xFF\xFE" "a\0b", 5), {"a\xEF\xBF\xBD"}},
    };
    for (const auto& c : cases) {
        // Delivering the bytes in pieces of any size must not change the reads.
        for (std::size_t step : {std::size_t{1} << 20, std::size_t{1}, std::size_t{7}, std::size_t{5119}}) {
            EXPECT_EQ(reads_of(c.input, step), c.expected) << c.name << ", step " << step;
            EXPECT_EQ(reads_of(c.input, step, true), c.expected) << c.name << " in blocks, step " << step;
        }
    }
}

TEST(FindLastByte, TheLastWhereverItLies) {
    const std::pair<std::string, std::ptrdiff_t> cases[] = {
        {"", -1}, {"abc", -1}, {"\nab\nc", 3}, {"ab\n", 2}, {"a\n" + std::string(1000, 'x'), 1}};
    for (const auto& [text, at] : cases) {
        const char* found = find_last_byte(text.data(), text.data() + text.size(), '\n');
        EXPECT_EQ(found != nullptr ? found - text.data() : -1, at) << text.size();
    }
}

TEST(OutputStream, WritesEachLineFeedAsCrLf) {
    EXPECT_EQ(written_by([](OutputStream& out) {
                  out.put("a\nb");
                  out.put({"\n", "c\r\n"});
              }),
              "a\r\nb\r\nc\r\r\n");
    // Large writes pass the buffer without losing or reordering bytes.
    std::string big(100000, 'x');
    big[50000] = '\n';
    std::string expected = big.substr(0, 50000) + "\r\n" + big.substr(50001) + "!";
    EXPECT_EQ(written_by([&](OutputStream& out) {
                  out.put(big);
                  out.put("!");
              }),
              expected);
}

TEST(OutputStream, EscapesOutsideTextOnly) {
    // 0x95 0x5C is 表; 0x83 0x5C 0x26 is ソ and an '&'.  No entity byte is
    // ever a trail byte, so Shift_JIS passes untouched.
    EXPECT_EQ(written_by([](OutputStream& out) {
                  out.put({"<a href=\"", outside("x\"><script>&<!--"), "\">", outside("\x95\x5C\x83\x5C&"), "</a>\n"});
              }),
              "<a href=\"x&quot;&gt;&lt;script&gt;&amp;&lt;!--\">\x95\x5C\x83\x5C&amp;</a>\r\n");
    EXPECT_EQ(written_by([](OutputStream& out) { out.put_escaped("a\nb&"); }), "a\r\nb&amp;");
    EXPECT_EQ(written_by([](OutputStream& out) {
                  out.put_line({"<li>", outside("a<b"), "</li>"});
              }),
              "<li>a&lt;b</li>\r\n");
    EXPECT_EQ(written_by([](OutputStream& out) {
                  out.put_line({"<li>", outside("plain"), "</li>"});
              }),
              "<li>plain</li>\r\n");
}

TEST(OutputStream, ReportsAFailedWrite) {
    fake::System system(fake::Flavour::posix);
    system.disk_space(5);
    platform::PagePlace place;
    ASSERT_EQ(platform::take_page_place("/page.html", place), platform::PlaceRefusal::none);
    ASSERT_TRUE(platform::create_page(place));
    OutputStream out(place.file);
    out.put("text\n");
    EXPECT_FALSE(out.close());
    EXPECT_EQ(system.contents(place.temporary), "text\r");
}

}  // namespace
