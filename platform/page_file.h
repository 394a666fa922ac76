// A page written under a temporary name beside its final place, and moved
// over the old page only once every byte of it is on the disk: a run that
// fails, or is stopped, leaves the old page as it was.
#pragma once

#include <initializer_list>

#include "platform/streams.h"

// Room for a page path and the temporary name's suffix.
inline constexpr std::size_t TEMPORARY_PATH_BUFFER = PATH_BUFFER + 32;

class PageFile {
public:
    PageFile() : out_(&PageFile::sink, this) {}
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;
    ~PageFile();

    // Starts the page that is to replace `path`.  False, with nothing
    // created, when `path` names a folder, a device or a pipe, a file this
    // process may not replace, or the same file as the program itself or
    // any of `read` (the files the run reads: links and hard links count).
    bool begin(const char* path, std::initializer_list<const char*> read = {});

    OutputStream& out() { return out_; }

    // Finishes the page: true when it replaced the old one with every byte.
    // Otherwise the temporary file is removed and the old page stays.
    bool commit();

private:
    static bool sink(void* context, const char* data, std::size_t size);
    void abandon();

    OutputStream out_;
    platform::FileHandle file_ = platform::NO_FILE;
    bool failed_ = false;
    char target_[PATH_BUFFER] = "";
    char temporary_[TEMPORARY_PATH_BUFFER] = "";
};
