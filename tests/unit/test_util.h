// Helpers shared by the unit tests.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/streams.h"

// A LineReader source over a string, handing out at most `step` bytes a call.
struct MemorySource {
    std::string data;
    std::size_t pos = 0;
    std::size_t step = 1 << 20;

    static long read(void* context, char* buffer, std::size_t size) {
        auto* self = static_cast<MemorySource*>(context);
        std::size_t n = std::min({size, self->step, self->data.size() - self->pos});
        std::memcpy(buffer, self->data.data() + self->pos, n);
        self->pos += n;
        return static_cast<long>(n);
    }
};

// Every read a LineReader hands out for `data`, delivered `step` bytes at a
// time; or (`in_blocks`) the same reads as found in the blocks it hands out.
inline std::vector<std::string> reads_of(const std::string& data, std::size_t step = 1 << 20, bool in_blocks = false) {
    MemorySource source{data, 0, step};
    std::vector<char> storage(3 * LINE_BUFFER);
    LineReader reader(&MemorySource::read, &source, storage.data(), storage.size());
    std::vector<std::string> reads;
    std::string_view line;
    while (!in_blocks && reader.next(line)) reads.emplace_back(line);
    while (in_blocks && reader.next_block(line))
        for (ReadExtent read{}; !line.empty(); line.remove_prefix(read.taken)) {
            read = read_extent(line.data(), line.size());
            reads.emplace_back(line.substr(0, read.length));
            if (read.length < read.taken) reads.back().back() = '\n';
        }
    return reads;
}

// What `write` puts through an OutputStream.
template <typename Write>
std::string written_by(Write write) {
    std::string text;
    OutputStream out(
        [](void* context, const char* data, std::size_t size) {
            static_cast<std::string*>(context)->append(data, size);
            return true;
        },
        &text);
    write(out);
    out.close();
    return text;
}

// Outside text as a page shows it: & < > " as entities, every other byte as it is.
inline std::string html(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}
