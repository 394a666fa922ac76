// A page written beside its final place and put there only once every byte
// of it is on the disk: a run that fails, or is stopped, leaves the old page
// as it was.  The place is taken once, when the page begins; the page is
// put in place only while its name still holds what it held then.
#pragma once

#include <cstdint>

#include "platform/streams.h"

// How much of a page is written before it is pushed to the disk, so that
// the sync at the end has little left to wait for.
inline constexpr std::uint64_t WRITE_BACK_STEP = 4u << 20;

class PageFile {
public:
    PageFile() : out_(&PageFile::sink, this) {}
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;
    ~PageFile();

    // Starts the page that is to replace `path`.  False, with nothing
    // created, when `path` names a folder, a device or a pipe, a file this
    // process may not replace, the program itself or a file the run has
    // read (links and hard links count), when that cannot be told, or when
    // its place is refused (platform::take_page_place).
    bool begin(const char* path);
    // Starts the page on standard output instead: written as it comes, with
    // no file created or replaced anywhere.
    bool begin_standard_output();

    OutputStream& out() { return out_; }

    // Finishes the page: true when it replaced the old one with every byte.
    // Otherwise (a write failed, the run ran out of descriptors or memory, a
    // file read meanwhile was the old page, the page's name came to hold
    // another file) the new file is removed and the old page stays.
    bool commit();

private:
    static bool sink(void* context, const char* data, std::size_t size);
    void abandon();

    OutputStream out_;
    bool failed_ = false;
    bool standard_output_ = false;
    std::uint64_t written_ = 0;
    std::uint64_t pushed_ = 0;  // written_ when the disk was last asked to catch up
    platform::PagePlace place_;
};
