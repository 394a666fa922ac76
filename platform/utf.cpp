#include "platform/utf.h"

#include <cstring>

#include "platform/bytes.h"

namespace {

inline unsigned byte_at(const char* p) { return static_cast<unsigned char>(*p); }

bool is_high_surrogate(std::uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(std::uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
std::uint32_t paired(std::uint32_t high, std::uint32_t low) {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

// The value of a base64 digit, or -1.
int base64_value(unsigned c) {
    if (c >= 'A' && c <= 'Z') return static_cast<int>(c - 'A');
    if (c >= 'a' && c <= 'z') return static_cast<int>(c - 'a' + 26);
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0' + 52);
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Eight bytes as one number, in the order they stand in memory (so that
// masks written as bytes apply whatever the machine's byte order).
std::uint64_t eight_at(const void* p) {
    std::uint64_t eight;
    std::memcpy(&eight, p, 8);
    return eight;
}
constexpr unsigned char HIGH_BITS[8] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
constexpr unsigned char LOW_BITS[8] = {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01};
constexpr unsigned char D_BYTES[8] = {0x0D, 0x0D, 0x0D, 0x0D, 0x0D, 0x0D, 0x0D, 0x0D};

// Eight three-byte characters, 24 bytes: each a lead byte 1110xxxx, then two
// 10xxxxxx.  The lead bytes stand at a different place in each of the three
// words, so that the low halves of all eight fit in one.
constexpr unsigned char THREES_MASK[24] = {0xF0, 0xC0, 0xC0, 0xF0, 0xC0, 0xC0, 0xF0, 0xC0, 0xC0, 0xF0, 0xC0, 0xC0,
                                           0xF0, 0xC0, 0xC0, 0xF0, 0xC0, 0xC0, 0xF0, 0xC0, 0xC0, 0xF0, 0xC0, 0xC0};
constexpr unsigned char THREES[24] = {0xE0, 0x80, 0x80, 0xE0, 0x80, 0x80, 0xE0, 0x80, 0x80, 0xE0, 0x80, 0x80,
                                      0xE0, 0x80, 0x80, 0xE0, 0x80, 0x80, 0xE0, 0x80, 0x80, 0xE0, 0x80, 0x80};
constexpr unsigned char LEAD_LOWS[24] = {0x0F, 0, 0, 0x0F, 0, 0, 0x0F, 0, 0, 0x0F, 0, 0,
                                         0x0F, 0, 0, 0x0F, 0, 0, 0x0F, 0, 0, 0x0F, 0, 0};

// True when the 24 bytes at `p` are eight three-byte characters whose lead
// takes any two continuation bytes: all but E0 and ED (low half 0 or D),
// whose second byte has a narrower range.
bool eight_threes(const char* p) {
    std::uint64_t wrong = 0, lows = 0;
    for (int i = 0; i < 24; i += 8) {
        const std::uint64_t eight = eight_at(p + i);
        wrong |= (eight & eight_at(THREES_MASK + i)) ^ eight_at(THREES + i);
        lows |= eight & eight_at(LEAD_LOWS + i);
    }
    // A low half of 0 or D, and only such a one, borrows into its byte's top bit.
    const std::uint64_t zero_or_d = (lows - eight_at(LOW_BITS)) | ((lows ^ eight_at(D_BYTES)) - eight_at(LOW_BITS));
    return (wrong | (zero_or_d & eight_at(HIGH_BITS))) == 0;
}

// The same for one character.
bool one_three(const char* p) {
    const unsigned lead = byte_at(p), low = lead & 0x0F;
    return (lead & 0xF0) == 0xE0 && low != 0x0 && low != 0xD && (byte_at(p + 1) & 0xC0) == 0x80 &&
           (byte_at(p + 2) & 0xC0) == 0x80;
}

// Past the well-formed characters from `p` on that are quickest to tell:
// ASCII, eight bytes a step, and the three-byte characters Japanese and
// Chinese text is made of, eight a step.
const char* skip_common_characters(const char* p, const char* end) {
    for (const char* start = nullptr; p != start;) {
        start = p;
        while (end - p >= 8 && (eight_at(p) & eight_at(HIGH_BITS)) == 0) p += 8;
        while (p != end && byte_at(p) < 0x80) ++p;
        while (end - p >= 24 && eight_threes(p)) p += 24;
        while (end - p >= 3 && one_three(p)) p += 3;
    }
    return p;
}

}  // namespace

TextEncoding encoding_of_mark(std::string_view start, std::size_t& mark_length) {
    mark_length = 0;
    if (start.empty() || byte_at(start.data()) < 0xEF) return TextEncoding::bytes;  // most files
    struct Mark {
        std::string_view bytes;
        TextEncoding encoding;
    };
    for (const Mark& m : {Mark{"\xEF\xBB\xBF", TextEncoding::utf8}, Mark{"\xFF\xFE", TextEncoding::utf16le},
                          Mark{"\xFE\xFF", TextEncoding::utf16be}}) {
        if (starts_with(start, m.bytes)) {
            mark_length = m.bytes.size();
            return m.encoding;
        }
    }
    return TextEncoding::bytes;
}

std::uint32_t utf8_next(const char*& p, const char* end) {
    const unsigned c = byte_at(p);
    if (c < 0x80) {
        ++p;
        return c;
    }
    // The continuation bytes that may follow: the first one's range rules
    // out overlong forms, surrogates and values above U+10FFFF.
    std::size_t more;
    std::uint32_t value;
    unsigned low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        more = 1;
        value = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        more = 2;
        value = c & 0x0F;
        if (c == 0xE0) low = 0xA0;
        if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        more = 3;
        value = c & 0x07;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F;
    } else {
        ++p;
        return UTF8_INVALID;
    }
    const char* q = p + 1;
    for (std::size_t i = 0; i < more; ++i, ++q) {
        if (q == end) {
            p = end;
            return UTF8_INCOMPLETE;
        }
        const unsigned t = byte_at(q);
        if (t < low || t > high) {
            ++p;
            return UTF8_INVALID;
        }
        low = 0x80;
        high = 0xBF;
        value = value << 6 | (t & 0x3F);
    }
    p = q;
    return value;
}

bool is_utf8(std::string_view text, bool continues) {
    const char* p = text.data();
    const char* const end = p + text.size();
    for (int i = 0; continues && i < 3 && p != end && (byte_at(p) & 0xC0) == 0x80; ++i) ++p;
    while (p != end) {
        p = skip_common_characters(p, end);
        if (p == end) break;
        if (utf8_next(p, end) == UTF8_INVALID) return false;
    }
    return true;
}

bool is_unicode_text(std::string_view text) {
    bool beyond_ascii = false;
    for (const char *p = text.data(), *end = p + text.size(); p != end;) {
        const std::uint32_t c = utf8_next(p, end);
        if (c == UTF8_INVALID || c == UTF8_INCOMPLETE) return false;
        beyond_ascii = beyond_ascii || c >= 0x80;
    }
    return beyond_ascii;
}

char* put_utf8(std::uint32_t c, char* out) {
    auto put = [&out](std::uint32_t b) { *out++ = static_cast<char>(b); };
    if (c < 0x80) {
        put(c);
    } else if (c < 0x800) {
        put(0xC0 | c >> 6);
        put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        put(0xE0 | c >> 12);
        put(0x80 | (c >> 6 & 0x3F));
        put(0x80 | (c & 0x3F));
    } else {
        put(0xF0 | c >> 18);
        put(0x80 | (c >> 12 & 0x3F));
        put(0x80 | (c >> 6 & 0x3F));
        put(0x80 | (c & 0x3F));
    }
    return out;
}

std::size_t utf16_to_utf8(const char* in, std::size_t size, bool big_endian, bool last, char* out,
                          std::size_t& written) {
    auto unit_at = [&](std::size_t i) -> std::uint32_t {
        const std::uint32_t first = byte_at(in + i), second = byte_at(in + i + 1);
        return big_endian ? first << 8 | second : second << 8 | first;
    };
    char* o = out;
    std::size_t i = 0;
    while (i + 2 <= size) {
        std::uint32_t u = unit_at(i);
        if (is_high_surrogate(u)) {
            if (i + 4 <= size && is_low_surrogate(unit_at(i + 2))) {
                o = put_utf8(paired(u, unit_at(i + 2)), o);
                i += 4;
                continue;
            }
            if (i + 4 > size && !last) break;  // its low half may come with the next bytes
            u = REPLACEMENT_CHARACTER;
        } else if (is_low_surrogate(u)) {
            u = REPLACEMENT_CHARACTER;
        }
        o = put_utf8(u, o);
        i += 2;
    }
    if (last && i < size) {  // half a unit at the very end
        o = put_utf8(REPLACEMENT_CHARACTER, o);
        i = size;
    }
    written = static_cast<std::size_t>(o - out);
    return i;
}

bool utf7_to_utf8(std::string_view text, char* out, std::size_t cap, std::size_t& length) {
    std::size_t n = 0;
    auto put = [&](std::uint32_t c) {
        char bytes[4];
        const std::size_t k = static_cast<std::size_t>(put_utf8(c, bytes) - bytes);
        if (cap - n < k) return false;
        std::memcpy(out + n, bytes, k);
        n += k;
        return true;
    };
    std::uint32_t high = 0;  // a high surrogate waiting for its low half
    auto unit = [&](std::uint32_t u) {
        if (high != 0) {
            const std::uint32_t h = high;
            high = 0;
            if (is_low_surrogate(u)) return put(paired(h, u));
            if (!put(REPLACEMENT_CHARACTER)) return false;
        }
        if (is_high_surrogate(u)) {
            high = u;
            return true;
        }
        return put(is_low_surrogate(u) ? REPLACEMENT_CHARACTER : u);
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned c = byte_at(text.data() + i);
        if (c >= 0x80) return false;
        ++i;
        if (c != '+') {
            if (!put(c)) return false;
            continue;
        }
        if (i < text.size() && text[i] == '-') {  // "+-" stands for '+'
            if (!put('+')) return false;
            ++i;
            continue;
        }
        // Base64 digits, 16 bits a unit, up to the first byte that is none;
        // a '-' there only ends the run.
        std::uint32_t bits = 0;
        int count = 0;
        for (int v; i < text.size() && (v = base64_value(byte_at(text.data() + i))) >= 0; ++i) {
            bits = bits << 6 | static_cast<std::uint32_t>(v);
            count += 6;
            if (count >= 16) {
                count -= 16;
                if (!unit(bits >> count & 0xFFFF)) return false;
            }
            bits &= (1u << count) - 1;
        }
        if (high != 0) {
            high = 0;
            if (!put(REPLACEMENT_CHARACTER)) return false;
        }
        if (i < text.size() && text[i] == '-') ++i;
    }
    length = n;
    return true;
}
