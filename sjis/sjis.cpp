#include "sjis/sjis.h"

namespace {

inline unsigned byte_at(const char* p) { return static_cast<unsigned char>(*p); }

}  // namespace

const char* sjis_find_last_char(const char* text, unsigned character) {
    character &= 0xFFFFu;
    const char* last = nullptr;
    const char* p = text;
    if (character < 0x100u) {
        for (unsigned c; (c = byte_at(p)) != 0;) {
            if (sjis_is_lead_byte(c)) {
                if (p[1] == '\0') break;
                p += 2;
                continue;
            }
            if (c == character) last = p;
            ++p;
        }
    } else {
        for (unsigned c; (c = byte_at(p)) != 0;) {
            if (sjis_is_lead_byte(c)) {
                if (p[1] == '\0') break;
                if ((c << 8 | byte_at(p + 1)) == character) last = p;
                p += 2;
                continue;
            }
            ++p;
        }
    }
    return last;
}

const char* sjis_find_substring(const char* text, const char* pattern) {
    const unsigned p0 = byte_at(pattern);
    if (p0 == 0) return text;
    unsigned first;
    const char* rest;
    const bool wide = sjis_is_lead_byte(p0);
    if (wide) {
        if (pattern[1] == '\0') return text;
        first = p0 << 8 | byte_at(pattern + 1);
        rest = pattern + 2;
    } else {
        first = p0;
        rest = pattern + 1;
    }

    const char* p = text;
    for (unsigned c; (c = byte_at(p)) != 0;) {
        const char* start = p;
        unsigned value;
        if (sjis_is_lead_byte(c) && p[1] != '\0') {
            value = c << 8 | byte_at(p + 1);
            p += 2;
            if (!wide) continue;
        } else {
            value = c;
            p += 1;
            if (wide) continue;
        }
        if (value != first) continue;
        // Compare the rest byte for byte; running out of text ends the search.
        const char* t = p;
        const char* r = rest;
        while (*r != '\0' && *t == *r) ++t, ++r;
        if (*r == '\0') return start;
        if (*t == '\0') return nullptr;
    }
    return nullptr;
}
