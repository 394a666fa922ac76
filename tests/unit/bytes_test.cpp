// The bounded copies every buffer of the program goes through.
#include "platform/bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ConcatText, RefusesWhatWouldNotFitAndLeavesTheBuffer) {
    char buf[8] = "old";
    EXPECT_TRUE(concat_text(buf, {"1234", "567"}));  // 7 bytes and the NUL
    EXPECT_STREQ(buf, "1234567");
    EXPECT_FALSE(concat_text(buf, {"1234", "5678"}));
    EXPECT_STREQ(buf, "1234567");
    EXPECT_TRUE(concat_text(buf, {}));
    EXPECT_STREQ(buf, "");
    EXPECT_FALSE(concat_text(buf, 0, {""}));
    EXPECT_TRUE(copy_text(buf, std::string_view("a\0b", 3)));  // bytes, not C strings
    EXPECT_EQ(std::string(buf, 3), std::string("a\0b", 3));
}

TEST(ConcatText, APartMayBeTheDestinationItself) {
    struct Case {
        const char* start;
        int layout;  // 0: dst + tail, 1: head + dst, 2: head + dst + tail, 3: dst + dst
        const char* expected;
    };
    const Case cases[] = {
        {"abc", 0, "abcXY"}, {"abc", 1, "XYabc"}, {"abc", 2, "XYabcXY"}, {"abc", 3, "abcabc"}, {"", 1, "XY"},
    };
    for (const Case& c : cases) {
        char buf[PATH_BUFFER];
        ASSERT_TRUE(copy_text(buf, c.start));
        const std::string_view self = buf;
        const bool ok = c.layout == 0   ? concat_text(buf, {self, "XY"})
                        : c.layout == 1 ? concat_text(buf, {"XY", self})
                        : c.layout == 2 ? concat_text(buf, {"XY", self, "XY"})
                                        : concat_text(buf, {self, self});
        EXPECT_TRUE(ok);
        EXPECT_STREQ(buf, c.expected) << c.start << " layout " << c.layout;
    }
}

TEST(CopyTextCut, KeepsWhatFits) {
    char buf[4];
    copy_text_cut(buf, sizeof buf, "abcdef");
    EXPECT_STREQ(buf, "abc");
    copy_text_cut(buf, sizeof buf, "");
    EXPECT_STREQ(buf, "");
}

}  // namespace
