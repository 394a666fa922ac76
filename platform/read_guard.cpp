#include "platform/read_guard.h"

namespace read_guard {

namespace {

// The files read before a page began: a few (its configuration, the
// user-dirs file, a text input), and one more for each text file of a run
// given several; the shortcuts read while a page is written are only
// compared with that page.
constexpr std::size_t KEPT = std::size_t{1} << 15;
platform::FileIdentity kept[KEPT];
std::size_t count = 0;
bool lost_count = false;

platform::FileIdentity page;
bool watching = false;
bool page_read = false;

}  // namespace

void note(const platform::FileIdentity& id) {
    if (watching) {
        page_read = page_read || id == page;
        return;
    }
    for (std::size_t i = 0; i < count; ++i)
        if (kept[i] == id) return;
    if (count < KEPT) kept[count++] = id;
    else lost_count = true;
}

bool may_be_page(std::uint64_t index) { return watching && (index == 0 || index == page.index); }

bool watch(const platform::FileIdentity& id) {
    if (lost_count) return false;
    for (std::size_t i = 0; i < count; ++i)
        if (kept[i] == id) return false;
    page = id;
    watching = true;
    page_read = false;
    return true;
}

bool page_was_read() { return watching && page_read; }

void stop() {
    watching = false;
    page_read = false;
}

void reset() {
    stop();
    count = 0;
    lost_count = false;
}

}  // namespace read_guard
