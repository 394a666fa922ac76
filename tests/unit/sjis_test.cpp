#include "sjis/sjis.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// Offset of a search result in `text`, or -1 for none.
long at(const std::string& text, const char* found) { return found ? found - text.c_str() : -1; }

TEST(SjisLeadByte, BoundsAndLowByteOnly) {
    for (unsigned b = 0; b < 0x400; ++b) {
        unsigned low = b & 0xFF;
        bool expected = (low >= 0x81 && low <= 0x9F) || (low >= 0xE0 && low <= 0xFC);
        EXPECT_EQ(sjis_is_lead_byte(b), expected) << std::hex << b;
    }
}

struct LastCharCase {
    const char* text;
    unsigned character;
    long expected;
};

TEST(SjisFindLastChar, Cases) {
    const LastCharCase cases[] = {
        {"a\\b\\c", 0x5C, 3},
        {"abc", 0x5C, -1},
        {"", 0x5C, -1},
        {"\x95\x5C\x41", 0x5C, -1},   // 0x5C is the trail byte of a character
        {"\x95\x5C\x41", 0x955C, 0},  // ... and found as that character
        {"C:\\\x88\xEA\x97\x97\x95\x5C", 0x5C, 2},
        {"a\\b\x81", 0x5C, 1},  // lone lead byte before the NUL ends the walk
        {"a\\\x81", 0x5C, 1},
        {"\\\\", 0x5C, 1},
        {"ab\x82\xA0"
         "b",
         0x62, 4},
        {"x\x83\x68", 0x68, -1},          // 'h' as trail byte
        {"\x81\x81\x81\x81", 0x8181, 2},  // trail bytes in the lead range
        {"a/b", 0x1002F, 1},              // only the low 16 bits count
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(at(text, sjis_find_last_char(text.c_str(), c.character)), c.expected)
            << "text " << testing::PrintToString(text) << " char " << std::hex << c.character;
    }
}

struct SubstringCase {
    const char* text;
    const char* pattern;
    long expected;
};

TEST(SjisFindSubstring, Cases) {
    const SubstringCase cases[] = {
        {"abc http://x", "http://", 4},
        {"http://a http://b", "http://", 0},
        {"abc", "", 0},
        {"", "", 0},
        {"", "a", -1},
        {"\x83\x68ttp://x", "http://", -1},  // 'h' is a trail byte
        {"a\x83\x68 http://x", "http://", 4},
        {"abc htt", "http://", -1},  // ends inside a candidate
        {"hhttp://", "http://", 1},
        {"xx\x95\x5C", "\x95\x5C", 2},     // double-byte first character
        {"\x81\x95\x5C", "\x95\x5C", -1},  // 0x95 is a trail byte here
        {"abc", "\x81", 0},                // a lone lead byte counts as empty
        {"ab\x81", "\x81", 0},
        {"\x81", "b", -1},  // lone lead byte at the end is one byte
        {"a\x81", "\x81", 0},
        {"HTTP://x", "http://", -1},  // case-sensitive
        {"\x82\xA0http://", "http://", 2},
        {"\x82"
         "a",
         "a", -1},  // 'a' is the trail byte of 0x82 0x61
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(at(text, sjis_find_substring(text.c_str(), c.pattern)), c.expected)
            << "text " << testing::PrintToString(text) << " pattern " << testing::PrintToString(std::string(c.pattern));
    }
}

// The boundary test against a walk from the start, on texts dense in lead bytes.
TEST(SjisCharStart, AgreesWithForwardWalk) {
    std::mt19937 rng(7);
    const unsigned char alphabet[] = {'a', 'h', 0x5C, 0x81, 0x9F, 0xA0, 0xE0, 0xFC, 0xFD, 0x68};
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng() % 12, 'a');
        for (char& ch : text) ch = static_cast<char>(alphabet[rng() % sizeof alphabet]);
        std::vector<bool> start(text.size() + 1, false);
        for (std::size_t i = 0; i <= text.size();) {
            start[i] = true;
            i += (i + 1 < text.size() && sjis_is_lead_byte(static_cast<unsigned char>(text[i]))) ? 2 : 1;
        }
        for (std::size_t i = 0; i < text.size(); ++i) {
            EXPECT_EQ(sjis_is_char_start(text.data(), text.data() + i), start[i])
                << testing::PrintToString(text) << " @" << i;
        }
    }
}

}  // namespace
