// Micro benchmarks of the scanning routines, in bytes per second, on three
// kinds of text: ASCII prose, Japanese-heavy Shift_JIS and address-dense
// (the whole page also on Japanese-heavy UTF-8).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "links/links_page.h"
#include "platform/fake/fake_platform.h"
#include "sjis/sjis.h"

namespace {

enum Kind { ASCII, JAPANESE, DENSE, UTF8 };

// About 64 KB of lines of the given kind (fixed seed).
std::vector<std::string> make_lines(Kind kind) {
    std::mt19937 rng(2026);
    const char* sjis[] = {"\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8f\xcd", "\x88\xea\x97\x97\x95\x5c",
                          "\x83\x8a\x83\x93\x83\x4e\x8f\x57", "\x81\x41", "\x83\x68"};
    // The same words in UTF-8, and a full-width parenthesis, whose last byte
    // is a Shift_JIS lead byte, before some addresses.
    const char* utf8[] = {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\x96\x87\xE7\xAB\xA0",
                          "\xE4\xB8\x80\xE8\xA6\xA7\xE8\xA1\xA8", "\xE3\x83\xAA\xE3\x83\xB3\xE3\x82\xAF\xE9\x9B\x86",
                          "\xE3\x80\x81", "\xE3\x83\x89\xEF\xBC\x88"};
    const char* const* japanese = kind == UTF8 ? utf8 : sjis;
    const char* ascii[] = {"the quick brown fox ", "jumps over the lazy dog ", "see the manual, ", "hosts: "};
    const char* address[] = {"http://www.example.co.jp/index.html ", "https://ja.wikipedia.org/wiki/Shift_JIS ",
                             "http://a.b/c?d=e&f=g#h "};
    std::vector<std::string> lines;
    std::size_t total = 0;
    while (total < 65536) {
        std::string line;
        while (line.size() < 120) {
            unsigned r = rng() % 100;
            if (kind == DENSE ? r < 60 : r < 3) line += address[rng() % 3];
            else if (kind == JAPANESE || kind == UTF8) line += japanese[rng() % 5];
            else line += ascii[rng() % 4];
        }
        line += '\n';
        total += line.size();
        lines.push_back(line);
    }
    return lines;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const auto& l : lines) all += l;
    return all;
}

void BM_FindLastChar(benchmark::State& state) {
    std::string text = joined(make_lines(static_cast<Kind>(state.range(0))));
    for (auto _ : state) benchmark::DoNotOptimize(sjis_find_last_char(text.c_str(), 0x5C));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_FindSubstring(benchmark::State& state) {
    std::string text = joined(make_lines(static_cast<Kind>(state.range(0))));
    for (auto _ : state) {
        int found = 0;
        for (const char* p = text.c_str(); (p = sjis_find_substring(p, "http://")) != nullptr; p += 7) ++found;
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_AddressScan(benchmark::State& state) {
    auto lines = make_lines(static_cast<Kind>(state.range(0)));
    std::size_t bytes = 0;
    for (const auto& l : lines) bytes += l.size();
    OutputStream out([](void*, const char*, std::size_t) { return true; }, nullptr);
    for (auto _ : state)
        for (const auto& l : lines) write_line_links(out, l);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

// The whole scan of a links page over 4 MB of text read from memory: the
// reads looked for only around a colon, a read's form settled only where it
// matters.
void BM_LinksPage(benchmark::State& state) {
    std::string text;
    while (text.size() < (4u << 20)) text += joined(make_lines(static_cast<Kind>(state.range(0))));
    struct Source {
        const std::string* text;
        std::size_t at;
        static long read(void* context, char* buffer, std::size_t size) {
            auto* self = static_cast<Source*>(context);
            const std::size_t n = std::min(size, self->text->size() - self->at);
            std::memcpy(buffer, self->text->data() + self->at, n);
            self->at += n;
            return static_cast<long>(n);
        }
    };
    static fake::System system(fake::Flavour::posix);  // the page's heading is shown through the system
    static char storage[1 << 17];
    OutputStream out([](void*, const char*, std::size_t) { return true; }, nullptr);
    for (auto _ : state) {
        Source source{&text, 0};
        LineReader reader(&Source::read, &source, storage, sizeof storage);
        write_links_page(out, reader, "bench.txt");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void kinds(benchmark::internal::Benchmark* b) { b->ArgName("text")->Arg(ASCII)->Arg(JAPANESE)->Arg(DENSE); }

BENCHMARK(BM_FindLastChar)->Apply(kinds);
BENCHMARK(BM_FindSubstring)->Apply(kinds);
BENCHMARK(BM_AddressScan)->Apply(kinds);
BENCHMARK(BM_LinksPage)->Apply(kinds)->Arg(UTF8);

}  // namespace

BENCHMARK_MAIN();
