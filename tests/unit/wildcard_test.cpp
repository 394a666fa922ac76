#include "platform/posix/wildcard.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

struct Case {
    const char* pattern;
    const char* name;
    bool matches;
};

TEST(WildcardMatch, AsWindowsFolderSearches) {
    const Case cases[] = {
        {"*.url", "News.url", true},
        {"*.url", "News.URL", true},
        {"*.URL", "news.url", true},
        {"*.url", ".url", true},
        {"*.url", "x.urlx", false},
        {"*.url", "url", false},
        {"*", ".", true},
        {"*", "..", true},
        {"*", "", true},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "aXbYbZ", false},
        {"Tools", "TOOLS", true},
        {"\x88\xea*", "\x88\xea\x97\x97", true},
        {"**x", "x", true},
        {"*a*", "bbb", false},
    };
    for (const auto& c : cases) EXPECT_EQ(wildcard_match(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
}

// The order itself is the end-to-end suite's (a scrambled tree); here the
// rules it does not show.
TEST(CompareNames, AsNtfsOrdersThem) {
    const std::tuple<const char*, const char*, int> pairs[] = {
        {"ab", "abc", -1},         // a name before the longer ones it begins
        {"A", "a", -1},            // equal but for case: by the bytes as they are
        {"x", "x", 0},             // the same name
        {"Z", "\x88\xea", -1},     // bytes from 0x80 up after every ASCII byte
        {"[", "a", 1},             // 'a' compares as 'A' (0x41), before '[' (0x5B)
        {"\xC3\xA9" "a", "\xC3\x89" "b", -1},            // éa before Éb: é compares as É
        {"\xEF\xBD\x81", "\xEF\xBC\xA2", -1},          // full-width ａ as Ａ, before Ｂ
        {"\xF0\x9F\x98\x80", "\xEF\xBC\x81", -1},     // 😀 (D83D DE00) before ！ (FF01)
    };
    for (const auto& [a, b, sign] : pairs) {
        const int got = compare_names(a, b);
        EXPECT_EQ((got > 0) - (got < 0), sign) << a << " " << b;
    }
}

}  // namespace
