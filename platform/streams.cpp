#include "platform/streams.h"

#include <cstring>

#include "sjis/sjis.h"

namespace {

// What a control character in shown text becomes: U+FFFD.
constexpr std::string_view REPLACEMENT_REFERENCE = "&#65533;";

bool write_file_sink(void* context, const char* data, std::size_t size) {
    return platform::write_bytes(*static_cast<platform::FileHandle*>(context), data, size);
}

}  // namespace

ReadExtent read_extent(const char* start, std::size_t avail, std::size_t clear) {
    const std::size_t window = avail < LINE_BUFFER ? avail : LINE_BUFFER;
    const void* lf = clear < window ? std::memchr(start + clear, '\n', window - clear) : nullptr;
    if (lf == nullptr) {
        const std::size_t n = window < LINE_MAX_BYTES ? window : LINE_MAX_BYTES;
        return {n, n};
    }
    std::size_t taken = static_cast<std::size_t>(static_cast<const char*>(lf) - start) + 1;
    std::size_t length = taken;
    if (taken >= 2 && start[taken - 2] == '\r') --length;  // CR LF arrives as one line feed
    if (length > LINE_MAX_BYTES) taken = length = LINE_MAX_BYTES;
    return {taken, length};
}

const char* find_last_byte(const char* begin, const char* end, char c) {
    constexpr std::size_t STRETCH = 256;
    while (end != begin) {
        const char* const from = static_cast<std::size_t>(end - begin) > STRETCH ? end - STRETCH : begin;
        const char* last = nullptr;
        for (const void* at = from;
             (at = std::memchr(at, c, static_cast<std::size_t>(end - static_cast<const char*>(at)))) != nullptr;) {
            last = static_cast<const char*>(at);
            at = last + 1;
        }
        if (last != nullptr) return last;
        end = from;
    }
    return nullptr;
}

LineReader::LineReader(ByteSource source, void* context, char* storage, std::size_t capacity)
    : source_(source), context_(context), buf_(storage), cap_(capacity) {}

LineReader::LineReader(platform::FileHandle file, char* storage, std::size_t capacity, std::uint64_t limit)
    : source_(&LineReader::read_file), context_(this), file_(file), remaining_(limit), buf_(storage), cap_(capacity) {}

long LineReader::read_file(void* context, char* buffer, std::size_t size) {
    auto* self = static_cast<LineReader*>(context);
    if (self->remaining_ < size) size = static_cast<std::size_t>(self->remaining_);
    if (size == 0) return 0;
    long n = platform::read_bytes(self->file_, buffer, size);
    if (n > 0) self->remaining_ -= static_cast<std::uint64_t>(n);
    return n;
}

void LineReader::fill() {
    // Keep what is left at the front, then read until a whole window of
    // LINE_BUFFER bytes is available or the input ends.
    if (pos_ > 0) {
        std::memmove(buf_, buf_ + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    nul_from_ = static_cast<std::size_t>(-1);
    if (!started_) start();
    while (!at_end_ && end_ - pos_ < LINE_BUFFER) utf16() ? read_utf16() : read_raw();
}

void LineReader::read_raw() {
    long n = source_(context_, buf_ + end_, cap_ - end_);
    if (n <= 0) {
        at_end_ = true;
        failed_ = n < 0;
        return;
    }
    end_ += static_cast<std::size_t>(n);
}

void LineReader::start() {
    // The first bytes are read where UTF-16 could be turned in place (see
    // read_utf16), up to the three a byte-order mark may take.
    started_ = true;
    pos_ = end_ = cap_ - cap_ / 3 * 2;
    while (!at_end_ && end_ - pos_ < 3) read_raw();
    std::size_t mark = 0;
    encoding_ = encoding_of_mark(std::string_view(buf_ + pos_, end_ - pos_), mark);
    pos_ += mark;
    if (!utf16()) return;
    const char* raw = buf_ + pos_;
    const std::size_t size = end_ - pos_;
    pos_ = end_ = 0;
    decode(raw, size);
}

void LineReader::read_utf16() {
    // The bytes go to the end of the storage, and their UTF-8 is laid down
    // from end_ on: at most 3 bytes for every 2 read, so reading no more than
    // two thirds of the free room keeps what is written behind what is still
    // to be turned.
    const std::size_t room = (cap_ - end_) / 3 * 2;
    char* raw = buf_ + cap_ - room;
    std::memcpy(raw, carry_, carry_len_);
    long n = source_(context_, raw + carry_len_, room - carry_len_);
    if (n <= 0) {
        at_end_ = true;
        failed_ = n < 0;
    }
    decode(raw, carry_len_ + (n > 0 ? static_cast<std::size_t>(n) : 0));
}

void LineReader::decode(const char* raw, std::size_t size) {
    std::size_t written = 0;
    const std::size_t used =
        utf16_to_utf8(raw, size, encoding_ == TextEncoding::utf16be, at_end_, buf_ + end_, written);
    end_ += written;
    carry_len_ = size - used;
    std::memcpy(carry_, raw + used, carry_len_);
}

bool LineReader::next(std::string_view& line) {
    // A read may need LINE_BUFFER raw bytes: 5118 bytes, then CR LF folded
    // into one line feed.
    if (end_ - pos_ < LINE_BUFFER && !at_end_) fill();
    if (end_ == pos_) return false;
    char* start = buf_ + pos_;
    const ReadExtent read = read_extent(start, end_ - pos_);
    if (read.length < read.taken) start[read.length - 1] = '\n';
    pos_ += read.taken;
    line = std::string_view(start, read.length);
    continues_ = cut_;
    cut_ = start[read.length - 1] != '\n';
    return true;
}

bool LineReader::next_block(std::string_view& block) {
    if (end_ - pos_ < LINE_BUFFER && !at_end_) fill();
    if (end_ == pos_) return false;
    std::size_t stop = end_;
    if (!at_end_) {
        // The block ends where the last read ends whose every byte is here
        // (the fill left at least LINE_BUFFER bytes): after the last line
        // feed when it is that near the end, else after the pieces of the
        // long line there.
        const char* const begin = buf_ + pos_;
        const char* const end = buf_ + end_;
        const char* const lf = find_last_byte(begin, end, '\n');
        const char* line = lf != nullptr ? lf + 1 : begin;
        const char* const near = end - LINE_BUFFER;
        if (line <= near) line += (static_cast<std::size_t>(near - line) / LINE_MAX_BYTES + 1) * LINE_MAX_BYTES;
        stop = static_cast<std::size_t>(line - buf_);
    }
    block = std::string_view(buf_ + pos_, stop - pos_);
    pos_ = stop;
    continues_ = cut_;
    cut_ = block.back() != '\n';
    return true;
}

bool LineReader::next_text(std::string_view& text) {
    if (!next(text)) return false;
    const std::size_t at = static_cast<std::size_t>(text.data() - buf_);
    if (nul_from_ > at || nul_ < at) {
        const void* nul = std::memchr(buf_ + at, '\0', end_ - at);
        nul_ = nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - buf_) : end_;
        nul_from_ = at;
    }
    if (nul_ < at + text.size()) text = head(text, nul_ - at);
    return true;
}

OutputStream::OutputStream(platform::FileHandle file) : sink_(write_file_sink), context_(&file_), file_(file) {}

OutputStream::~OutputStream() {
    if (open_) close();
}

void OutputStream::put_raw(const char* data, std::size_t size) {
    if (size > sizeof buf_ - len_) {
        flush();
        if (size > sizeof buf_) {
            if (!failed_ && !sink_(context_, data, size)) failed_ = true;
            return;
        }
    }
    std::memcpy(buf_ + len_, data, size);
    len_ += size;
}

void OutputStream::put(std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p != end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (lf == nullptr) {
            put_raw(p, static_cast<std::size_t>(end - p));
            return;
        }
        put_raw(p, static_cast<std::size_t>(lf - p));
        put_raw(LINE_END.data(), LINE_END.size());
        p = lf + 1;
    }
}

namespace {

struct MarkupTable {
    unsigned char member[256];  // 1 for a byte that needs an entity
    constexpr MarkupTable() : member() {
        for (unsigned c = 0; c < 256; ++c) member[c] = html_entity(static_cast<unsigned char>(c)).empty() ? 0 : 1;
    }
};
constexpr MarkupTable MARKUP_BYTES;

}  // namespace

std::size_t first_markup_byte(std::string_view text) {
    const unsigned char* const markup = MARKUP_BYTES.member;
    auto at = [&](std::size_t i) -> unsigned { return markup[static_cast<unsigned char>(text[i])]; };
    std::size_t i = 0;
    // Eight bytes a step while none needs an entity (most text holds none).
    for (; i + 8 <= text.size(); i += 8)
        if (at(i) | at(i + 1) | at(i + 2) | at(i + 3) | at(i + 4) | at(i + 5) | at(i + 6) | at(i + 7)) break;
    while (i < text.size() && !at(i)) ++i;
    return i;
}

void OutputStream::put_escaped(std::string_view text) {
    for (;;) {
        const std::size_t i = first_markup_byte(text);
        put(head(text, i));
        if (i == text.size()) return;
        const std::string_view entity = html_entity(static_cast<unsigned char>(text[i]));
        put_raw(entity.data(), entity.size());
        text.remove_prefix(i + 1);
    }
}

Outside shown_path_of(const char* path) {
    static char shown[platform::SHOWN_PATH_BUFFER];
    bool unicode = false;
    if (!platform::shown_path(path, shown, sizeof shown, unicode)) return shown_text(path, false);
    return shown_text(shown, unicode);
}

void OutputStream::put_shown(std::string_view text) {
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (may_be_control(c)) {
            put_escaped(slice(text, run, i - run));
            put_raw(REPLACEMENT_REFERENCE);
            run = i + 1;
        } else if (sjis_is_lead_byte(c) && i + 1 < text.size()) {
            // Its second byte (0x80 included) is no character of its own; a
            // C0 or DEL byte never is a second byte.
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= 0x20 && next != 0x7F) ++i;
        }
    }
    put_escaped(from(text, run));
}

void OutputStream::put_unicode(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end) {
        const char* run = p;
        while (p != end && static_cast<unsigned char>(*p) < 0x80) ++p;
        put_shown(std::string_view(run, static_cast<std::size_t>(p - run)));
        if (p == end) return;
        std::uint32_t c = utf8_next(p, end);
        // Beyond ASCII: a C1 control (U+0080 to U+009F) is shown as U+FFFD too.
        if (c == UTF8_INVALID || c == UTF8_INCOMPLETE || c < 0xA0) c = REPLACEMENT_CHARACTER;
        char bytes[2];
        const int n = platform::code_page_char(c, bytes);
        if (n > 0) {
            put_raw(bytes, static_cast<std::size_t>(n));
            continue;
        }
        // &#N; with the code point in decimal.
        char reference[16];
        char* at = reference + sizeof reference;
        *--at = ';';
        do *--at = static_cast<char>('0' + c % 10);
        while ((c /= 10) != 0);
        *--at = '#';
        *--at = '&';
        put_raw(at, static_cast<std::size_t>(reference + sizeof reference - at));
    }
}

void OutputStream::flush() {
    if (len_ > 0 && !failed_ && !sink_(context_, buf_, len_)) failed_ = true;
    len_ = 0;
}

bool OutputStream::close() {
    if (!open_) return !failed_;
    flush();
    open_ = false;
    bool closed = file_ == platform::NO_FILE || platform::close_file(file_);
    file_ = platform::NO_FILE;
    return closed && !failed_;
}
