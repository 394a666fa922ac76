// Byte streams with the same line rules on every system.
//
// LineReader delivers a file as reads of at most 5119 bytes, each ending
// after its line feed when one fits.  A CR LF pair arrives as a single line
// feed, a lone CR arrives unchanged, and no byte value (NUL and Ctrl-Z
// included) ends a read or the file.
//
// OutputStream writes page text with each line feed as CR LF, buffered, and
// remembers whether every byte reached the file.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#include "platform/bytes.h"
#include "platform/platform.h"

// Where a LineReader gets its bytes: the count read, 0 at the end, -1 on error.
using ByteSource = long (*)(void* context, char* buffer, std::size_t size);

// Longest read handed out, in bytes after folding.
inline constexpr std::size_t LINE_MAX_BYTES = LINE_BUFFER - 1;

class LineReader {
public:
    // `storage` must hold at least 2 * LINE_BUFFER bytes; more means fewer
    // system reads.
    LineReader(ByteSource source, void* context, char* storage, std::size_t capacity);
    // Reads from an open file.
    LineReader(platform::FileHandle file, char* storage, std::size_t capacity);

    // The next read, or false at the end of input.  The view points into
    // the storage and stays valid until the next call.
    bool next(std::string_view& line);

    // True when the source reported an error (the reads then stop there).
    bool failed() const { return failed_; }

private:
    void fill();

    ByteSource source_;
    void* context_;
    platform::FileHandle file_ = platform::NO_FILE;
    char* buf_;
    std::size_t cap_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool at_end_ = false;
    bool failed_ = false;
};

// The text of a read as the program's byte strings see it: up to its first NUL.
inline std::string_view up_to_nul(std::string_view s) {
    std::size_t n = s.find('\0');
    return n == std::string_view::npos ? s : head(s, n);
}

// Reads the file at `path` line by line through `visit(LineReader&)`; false
// when it cannot be opened.
template <typename Visit>
bool with_file_lines(const char* path, Visit visit) {
    platform::FileHandle file = platform::open_for_reading(path);
    if (file == platform::NO_FILE) return false;
    char storage[2 * LINE_BUFFER];
    LineReader reader(file, storage, sizeof storage);
    visit(reader);
    platform::close_file(file);
    return true;
}

// Where an OutputStream puts its bytes: true when all `size` bytes were taken.
using ByteSink = bool (*)(void* context, const char* data, std::size_t size);

class OutputStream {
public:
    // What each line feed of page text becomes.
    static constexpr std::string_view LINE_END = "\r\n";

    // Writes to an open file, which close() closes.
    explicit OutputStream(platform::FileHandle file);
    // Writes to any sink (memory, in tests).
    OutputStream(ByteSink sink, void* context) : sink_(sink), context_(context) {}
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;
    ~OutputStream();

    // Writes `text`, each line feed as CR LF.
    void put(std::string_view text);
    void put(std::initializer_list<std::string_view> parts) {
        for (std::string_view p : parts) put(p);
    }

    // Writes the parts as they are, then a line end: for text known to hold
    // no line feed of its own.
    void put_line(std::initializer_list<std::string_view> parts) {
        std::size_t total = LINE_END.size();
        for (std::string_view p : parts) total += p.size();
        if (total > sizeof buf_ - len_) {  // the rare slow way, through the buffer's edge
            for (std::string_view p : parts) put_raw(p.data(), p.size());
            put_raw(LINE_END.data(), LINE_END.size());
            return;
        }
        for (std::string_view p : parts) {
            std::memcpy(buf_ + len_, p.data(), p.size());
            len_ += p.size();
        }
        std::memcpy(buf_ + len_, LINE_END.data(), LINE_END.size());
        len_ += LINE_END.size();
    }

    // Flushes (and closes the file); true when every byte was written.
    bool close();

private:
    void flush();
    void put_raw(const char* data, std::size_t size);

    ByteSink sink_;
    void* context_;
    platform::FileHandle file_ = platform::NO_FILE;
    bool open_ = true;
    std::size_t len_ = 0;
    bool failed_ = false;
    char buf_[32768];
};
