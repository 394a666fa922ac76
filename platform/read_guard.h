// Keeps every page off the files the run reads.  The platform's open calls
// tell the guard of each file opened for reading; a page may not replace a
// file read before it began, and a page that a later read turns out to be
// (a shortcut in the tree being listed, say) is never put in place.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace read_guard {

// A file the run has opened for reading.
void note(const platform::FileIdentity& id);

// True when an open file whose index is `index` (0: not known) could be the
// page being written: only then need its whole identity be taken and noted.
bool may_be_page(std::uint64_t index);

// A page is about to replace the existing file `page`: false when that is a
// file the run has read (or the guard lost count of them).  From here on,
// a read of `page` spoils the page.
bool watch(const platform::FileIdentity& page);

// True when a file read since watch() was the page.
bool page_was_read();

// The page is in place or abandoned: reads are only counted again.
void stop();

// Forgets every read (a new run, in the tests).
void reset();

}  // namespace read_guard
