// What the POSIX platform's files share among themselves.
#pragma once

#include <sys/stat.h>

#include <string_view>

#include "platform/platform.h"

namespace platform {

// Notes a failure that was for want of descriptors or memory rather than
// for the file itself: such a failure spoils the whole run.
void note_failure(int error);

FileIdentity identity_of(const struct stat& st);

// Whether a name or path is shown as Unicode: UTF-8 under a UTF-8 locale.
bool shown_as_unicode(std::string_view text);

// Where `path` may be found relative to a folder still open (folder_listing.cpp):
// when it is an entry of the folder whose listing is being searched, that
// folder and the entry's name; otherwise the current folder and the whole path.
int relative_to_open_folder(const char*& path);

}  // namespace platform
