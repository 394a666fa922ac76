#include "platform/configured_path.h"

#include "platform/platform.h"
#include "platform/profile.h"
#include "platform/utf.h"

namespace {

// A LineReader source over bytes in memory.
struct Memory {
    const char* data;
    std::size_t size;
    std::size_t pos;
    static long read(void* context, char* buffer, std::size_t size) {
        auto* self = static_cast<Memory*>(context);
        const std::size_t n = self->size - self->pos < size ? self->size - self->pos : size;
        for (std::size_t i = 0; i < n; ++i) buffer[i] = self->data[self->pos + i];
        self->pos += n;
        return static_cast<long>(n);
    }
};

// Whether the folder a path names its file in exists (the current folder,
// or a root, for a path without one of its own).
bool folder_of_exists(const char* path) {
    const char* last = platform::find_last_separator(path);
    if (last == nullptr) return true;
    const std::string_view folder(path, static_cast<std::size_t>(last - path));
    char text[platform::PAGE_PATH_BUFFER];
    return folder.empty() || folder.back() == ':' ||
           (copy_text(text, folder) && platform::entry_type(text) == platform::EntryType::folder);
}

}  // namespace

bool read_configured_path(const char* file, std::string_view section, std::string_view key, const char* fallback,
                          char* out, std::size_t cap) {
    static char text[SMALL_FILE_LIMIT];
    std::size_t size = 0;
    const platform::FileHandle f = platform::open_for_reading(file);
    if (f != platform::NO_FILE) {
        if (platform::file_size(f) <= SMALL_FILE_LIMIT)
            for (long n; size < sizeof text && (n = platform::read_bytes(f, text + size, sizeof text - size)) > 0;)
                size += static_cast<std::size_t>(n);
        platform::close_file(f);
    }
    Memory bytes{text, size, 0};
    static char storage[2 * LINE_BUFFER];
    LineReader reader(&Memory::read, &bytes, storage, sizeof storage);
    char value[LINE_BUFFER];
    bool found = false;
    if (!profile_lookup(reader, section, key, "", value, sizeof value, &found) || !found)
        return copy_text(out, cap, text_of(fallback));

    using platform::Conversion;
    const std::string_view whole(text, size);
    const bool marked = reader.encoding() != TextEncoding::bytes;
    char unicode[platform::PAGE_PATH_BUFFER];
    char code_page[platform::PAGE_PATH_BUFFER];
    const Conversion as_unicode = marked || (holds_high_bytes(whole) && is_utf8(whole))
                                      ? platform::path_from_unicode(value, unicode, sizeof unicode)
                                      : Conversion::not_text;
    const Conversion as_code_page =
        marked ? Conversion::not_text : platform::path_from_code_page(value, code_page, sizeof code_page);
    if (as_unicode == Conversion::done &&
        (as_code_page != Conversion::done || (folder_of_exists(unicode) && !folder_of_exists(code_page))))
        return copy_text(out, cap, text_of(unicode));
    if (as_code_page == Conversion::done) return copy_text(out, cap, text_of(code_page));
    // A value that neither reading holds counts as absent.
    return as_unicode != Conversion::too_long && as_code_page != Conversion::too_long &&
           copy_text(out, cap, text_of(fallback));
}
