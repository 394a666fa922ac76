// Byte streams with the same line rules on every system.
//
// LineReader delivers a file as reads of at most 5119 bytes, each ending
// after its line feed when one fits.  A CR LF pair arrives as a single line
// feed, a lone CR arrives unchanged, and no byte value (NUL and Ctrl-Z
// included) ends a read or the file.  A byte-order mark at the start is
// passed over, and a file in UTF-16 arrives as UTF-8, turned as it is read.
//
// OutputStream writes page text with each line feed as CR LF, buffered, and
// remembers whether every byte reached the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/bytes.h"
#include "platform/platform.h"
#include "platform/utf.h"

// Where a LineReader gets its bytes: the count read, 0 at the end, -1 on error.
using ByteSource = long (*)(void* context, char* buffer, std::size_t size);

// Longest read handed out, in bytes after folding.
inline constexpr std::size_t LINE_MAX_BYTES = LINE_BUFFER - 1;

// Where a read that begins at `start` ends: the `taken` bytes of the input
// it spans, handed out as `length` bytes (one fewer when they end in CR LF).
struct ReadExtent {
    std::size_t taken;
    std::size_t length;
};

// The extent of the read at `start`, with `avail` bytes of input there (at
// least LINE_BUFFER of them unless the input ends sooner) of which the first
// `clear` are known to hold no line feed.
ReadExtent read_extent(const char* start, std::size_t avail, std::size_t clear = 0);

// The last `c` in [begin, end), or nullptr.  The C library searches only
// forwards: this one does so over short stretches taken from the end, so
// that it costs about the distance from the end to what it finds.
const char* find_last_byte(const char* begin, const char* end, char c);

class LineReader {
public:
    // `storage` must hold at least 2 * LINE_BUFFER bytes; more means fewer
    // system reads.
    LineReader(ByteSource source, void* context, char* storage, std::size_t capacity);
    // Reads from an open file, at most `limit` bytes of it.
    LineReader(platform::FileHandle file, char* storage, std::size_t capacity,
               std::uint64_t limit = static_cast<std::uint64_t>(-1));

    // The next read, or false at the end of input.  The view points into
    // the storage and stays valid until the next call.
    bool next(std::string_view& line);

    // The next read up to its first NUL (the text a byte string holds), or
    // false at the end.  The NULs are looked for once over the whole input,
    // not once a read.
    bool next_text(std::string_view& text);

    // The next stretch of whole reads, or false at the end: the bytes as
    // they stand in the input, CR LF not yet folded, for a scan that looks
    // for reads only where it finds something (read_extent tells where each
    // ends).  The view stays valid until the next call; continues_line()
    // tells whether its first read goes on from a cut one.
    bool next_block(std::string_view& block);

    // True when the source reported an error (the reads then stop there).
    bool failed() const { return failed_; }

    // The encoding the file's byte-order mark names, known from the first
    // read on: text from a UTF-16 file arrives as UTF-8.
    TextEncoding encoding() const { return encoding_; }
    // True when the current read (or block) goes on from one that ended
    // without a line feed (a line longer than one read).
    bool continues_line() const { return continues_; }

private:
    void fill();
    void start();
    void read_raw();
    void read_utf16();
    void decode(const char* raw, std::size_t size);
    bool utf16() const { return encoding_ == TextEncoding::utf16le || encoding_ == TextEncoding::utf16be; }

    ByteSource source_;
    void* context_;
    static long read_file(void* context, char* buffer, std::size_t size);

    platform::FileHandle file_ = platform::NO_FILE;
    std::uint64_t remaining_ = 0;  // of the file's bytes that may still be read
    char* buf_;
    std::size_t cap_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::size_t nul_from_ = static_cast<std::size_t>(-1);  // the NUL search ran from here...
    std::size_t nul_ = 0;                                  // ...and found the first one here (or end_)
    bool at_end_ = false;
    bool failed_ = false;
    bool started_ = false;
    TextEncoding encoding_ = TextEncoding::bytes;
    char carry_[3];  // UTF-16 bytes read but not yet turned: half a unit, a high surrogate
    std::size_t carry_len_ = 0;
    bool cut_ = false;  // the current read ends without a line feed
    bool continues_ = false;
};

// The text of a read as the program's byte strings see it: up to its first NUL.
inline std::string_view up_to_nul(std::string_view s) {
    std::size_t n = s.find('\0');
    return n == std::string_view::npos ? s : head(s, n);
}

// Walks the logical lines of a small text: the first read of each line, up
// to its first NUL; `visit(line)` returns false to stop.  The rest of an
// over-long line is skipped, so its tail can never pass for a line of its own.
template <typename Visit>
void for_each_text_line(LineReader& reader, Visit visit) {
    std::string_view piece;
    bool continuation = false;
    while (reader.next(piece)) {
        bool ends_line = !piece.empty() && piece.back() == '\n';
        if (!continuation && !visit(up_to_nul(piece))) return;
        continuation = !ends_line;
    }
}

// Reads the first `limit` bytes of the file at `path` line by line through
// `visit(LineReader&)`; false when it cannot be opened.
template <typename Visit>
bool with_file_lines(const char* path, std::uint64_t limit, Visit visit) {
    platform::FileHandle file = platform::open_for_reading(path);
    if (file == platform::NO_FILE) return false;
    char storage[2 * LINE_BUFFER];
    LineReader reader(file, storage, sizeof storage, limit);
    visit(reader);
    platform::close_file(file);
    return true;
}

// The same for a small file read whole: false, without `visit`, when the
// file cannot be opened or is larger than SMALL_FILE_LIMIT.
template <typename Visit>
bool with_small_file_lines(const char* path, Visit visit) {
    platform::FileHandle file = platform::open_for_reading(path);
    if (file == platform::NO_FILE) return false;
    const bool small = platform::file_size(file) <= SMALL_FILE_LIMIT;
    if (small) {
        char storage[2 * LINE_BUFFER];
        LineReader reader(file, storage, sizeof storage, SMALL_FILE_LIMIT);
        visit(reader);
    }
    platform::close_file(file);
    return small;
}

// Page text that comes from outside the program (a file or folder name, a
// shortcut's address, a path, an address found in a text): written with the
// four bytes that give HTML its structure as entities, so that no input can
// add markup to a page or cut a link short.  None of & < > " is ever the
// second byte of a Shift_JIS character, so every other byte goes out as it is.
//
// An address goes out as its bytes.  A name or path the page shows is
// `shown` text: bytes in the page's code page, or `unicode`, UTF-8 from a
// name or path the system keeps in Unicode.  Each of its characters is shown
// in the code page where it reads back as the very same character, and as a
// numeric character reference (&#233;) where it does not, so that no name is
// shown as a look-alike or a '?'; and each control character (C0, DEL, C1)
// as U+FFFD, &#65533;, so that no name ends a page line or hands the browser
// a control.
struct Outside {
    std::string_view text;
    bool unicode = false;
    bool shown = false;
};
inline Outside outside(std::string_view text) { return {text}; }
inline Outside shown_text(std::string_view text, bool unicode) { return {text, unicode, true}; }

// A path as the page shows it (the long form the system keeps, in Unicode
// where it can); its own bytes where that cannot be had.  The text lives in
// a static buffer until the next call.
Outside shown_path_of(const char* path);

// One piece of page text: fixed text of the page format, or outside text.
struct PagePiece {
    enum Kind : unsigned char { fixed, bytes, shown_bytes, unicode };
    constexpr PagePiece(std::string_view fixed_text) : text(fixed_text) {}  // NOLINT: converts on purpose
    constexpr PagePiece(const char* fixed_text) : text(fixed_text) {}       // NOLINT
    constexpr PagePiece(Outside o)                                          // NOLINT
        : text(o.text),
          kind(o.unicode ? unicode
               : o.shown ? shown_bytes
                         : bytes) {}
    std::string_view text;
    Kind kind = fixed;
};

// True for a byte of Shift_JIS text that may stand for a control character:
// C0 and DEL (which are never the second byte of a character), and 0x80
// (U+0080 where it is a character of its own).
constexpr bool may_be_control(unsigned char c) { return c < 0x20 || c == 0x7F || c == 0x80; }

// The entity that stands for byte `c` in page text, or an empty text.
constexpr std::string_view html_entity(unsigned char c) {
    switch (c) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        default:
            return {};
    }
}

// The longest entity any byte becomes: the most room a byte of outside text takes.
constexpr std::size_t longest_entity() {
    std::size_t most = 1;
    for (unsigned c = 0; c < 256; ++c)
        if (html_entity(static_cast<unsigned char>(c)).size() > most)
            most = html_entity(static_cast<unsigned char>(c)).size();
    return most;
}
inline constexpr std::size_t LONGEST_ENTITY = longest_entity();

// Where the first byte of `text` that needs an entity is, or text.size().
std::size_t first_markup_byte(std::string_view text);

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
    // Writes the pieces in order, outside text escaped.
    void put(std::initializer_list<PagePiece> pieces) {
        for (const PagePiece& p : pieces) put_piece(p);
    }
    // Writes outside text, escaped, each line feed as CR LF.
    void put_escaped(std::string_view text);
    // Writes shown text in the code page, escaped, each control as &#65533;.
    void put_shown(std::string_view text);
    // Writes shown text in UTF-8: each character in the code page where it
    // reads back the same, else as &#N;, each control as &#65533;, escaped.
    void put_unicode(std::string_view text);

    // Writes the pieces, outside text escaped, then a line end: for pieces
    // known to hold no line feed of their own (shown text never writes one).
    void put_line(std::initializer_list<PagePiece> pieces) {
        // Room for the worst case: every outside byte the longest entity.
        // Unicode text beyond ASCII, and shown text that may hold a control,
        // take the slow way, character by character.
        std::size_t worst = LINE_END.size();
        bool characters = false;
        for (const PagePiece& p : pieces) {
            worst += p.kind == PagePiece::fixed ? p.text.size() : LONGEST_ENTITY * p.text.size();
            characters = characters || (p.kind == PagePiece::unicode && holds_high_bytes(p.text)) ||
                         (p.kind >= PagePiece::shown_bytes && holds_control(p.text));
        }
        if (characters || worst > sizeof buf_ - len_) {  // the rare slow way, through the buffer's edge
            for (const PagePiece& p : pieces) p.kind == PagePiece::fixed ? put_raw(p.text) : put_piece(p);
            put_raw(LINE_END);
            return;
        }
        char* at = buf_ + len_;
        for (const PagePiece& p : pieces)
            at = p.kind == PagePiece::fixed ? copy_into(at, p.text) : escape_into(at, p.text);
        at = copy_into(at, LINE_END);
        len_ = static_cast<std::size_t>(at - buf_);
    }

    // Room for `size` bytes of page text written in place, line feeds as
    // CR LF already (nullptr when it is more than the buffer holds); the
    // bytes count once `written` is told where they end.
    char* room(std::size_t size) {
        if (size > sizeof buf_) return nullptr;
        if (size > sizeof buf_ - len_) flush();
        return buf_ + len_;
    }
    void written(const char* end) { len_ = static_cast<std::size_t>(end - buf_); }

    // Flushes (and closes the file); true when every byte was written.
    bool close();

private:
    static char* copy_into(char* at, std::string_view text) {
        std::memcpy(at, text.data(), text.size());
        return at + text.size();
    }
    static char* escape_into(char* at, std::string_view text) {
        std::size_t i = first_markup_byte(text);
        at = copy_into(at, head(text, i));
        for (; i < text.size(); ++i) {
            const std::string_view entity = html_entity(static_cast<unsigned char>(text[i]));
            if (entity.empty()) *at++ = text[i];
            else at = copy_into(at, entity);
        }
        return at;
    }

    static bool holds_control(std::string_view text) {
        for (char c : text)
            if (may_be_control(static_cast<unsigned char>(c))) return true;
        return false;
    }

    void put_piece(const PagePiece& p) {
        if (p.kind == PagePiece::fixed) put(p.text);
        else if (p.kind == PagePiece::unicode) put_unicode(p.text);
        else if (p.kind == PagePiece::shown_bytes) put_shown(p.text);
        else put_escaped(p.text);
    }

    void flush();
    void put_raw(const char* data, std::size_t size);
    void put_raw(std::string_view text) { put_raw(text.data(), text.size()); }

    ByteSink sink_;
    void* context_;
    platform::FileHandle file_ = platform::NO_FILE;
    bool open_ = true;
    std::size_t len_ = 0;
    bool failed_ = false;
    char buf_[1 << 16];
};
