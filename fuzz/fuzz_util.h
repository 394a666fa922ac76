// Shared pieces of the fuzz targets.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "sjis/sjis.h"
#include "test_util.h"

// Stops the run with a report when a property does not hold.
#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

inline std::string bytes_of(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Which bytes of a C string begin a Shift_JIS character, walked the slow way.
inline std::vector<bool> character_starts(const std::string& text) {
    std::vector<bool> start(text.size(), false);
    for (std::size_t i = 0; i < text.size();) {
        start[i] = true;
        bool pair = sjis_is_lead_byte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
        i += pair ? 2 : 1;
    }
    return start;
}
