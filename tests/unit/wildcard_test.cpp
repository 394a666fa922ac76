#include "platform/posix/wildcard.h"

#include <gtest/gtest.h>

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

}  // namespace
