#include "platform/page_file.h"

#include "platform/platform.h"
#include "platform/read_guard.h"

using platform::refuse;

namespace {

// Whether the existing page pinned in `place` may be replaced: never the
// program itself nor a file the run has read.
bool may_replace_page(const platform::PagePlace& place, const platform::FileIdentity (&program)[2],
                      std::size_t programs) {
    if (!place.writable) return refuse(place.path, "is read-only");
    for (std::size_t i = 0; i < programs; ++i)
        if (place.identity == program[i]) return refuse(place.path, "is the program itself");
    if (!read_guard::watch(place.identity)) return refuse(place.path, "is a file this run reads");
    return true;
}

}  // namespace

bool platform::temporary_name(std::string_view name, std::string_view folder, bool beside, std::uint64_t random,
                              char* out, std::size_t cap) {
    char hex[16];
    for (char& digit : hex) {
        digit = "0123456789abcdef"[random >> 60];
        random <<= 4;
    }
    return concat_text(out, cap, {beside ? folder : name, ".kobu-", std::string_view(hex, sizeof hex), ".tmp"});
}

PageFile::~PageFile() { abandon(); }

bool PageFile::begin(const char* path) {
    // The program's own file is told for a new page as for an old one, so
    // that both get the same answer where it cannot be told.
    platform::FileIdentity program[2];
    const std::size_t programs = platform::program_identities(program);
    if (programs == 0) return refuse(path, "the program's own file cannot be told");
    switch (platform::take_page_place(path, place_)) {
        case platform::PlaceRefusal::none:
            break;
        case platform::PlaceRefusal::links:
            return refuse(path, "its links go round or name too long a path");
        case platform::PlaceRefusal::shared:
            return refuse(path, "it or a link on its way is another user's in a shared folder");
        default:
            return refuse(path, nullptr);
    }
    bool ok = true;
    switch (place_.old) {
        case platform::EntryType::none:
            break;
        case platform::EntryType::file:
            ok = may_replace_page(place_, program, programs);
            break;
        case platform::EntryType::folder:
            ok = refuse(place_.path, "is a folder");
            break;
        default:
            ok = refuse(place_.path, "is not a regular file");  // never written through, never replaced
    }
    if (ok && !platform::create_page(place_)) ok = refuse(place_.path, nullptr);
    if (!ok) abandon();
    return ok;
}

bool PageFile::begin_standard_output() {
    place_.file = platform::standard_output();
    if (place_.file == platform::NO_FILE) return refuse("standard output", nullptr);
    copy_text(place_.path, text_of("standard output"));
    standard_output_ = true;
    return true;
}

bool PageFile::sink(void* context, const char* data, std::size_t size) {
    auto* self = static_cast<PageFile*>(context);
    if (self->failed_ || self->place_.file == platform::NO_FILE) {  // given up on, or never begun: nothing more to say
        self->failed_ = true;
        return false;
    }
    if (!platform::write_bytes(self->place_.file, data, size)) {
        self->failed_ = true;
        return refuse(self->place_.path, nullptr);
    }
    self->written_ += size;
    if (!self->standard_output_ && self->written_ - self->pushed_ >= WRITE_BACK_STEP) {
        platform::write_back(self->place_.file, self->pushed_, self->written_ - self->pushed_);
        self->pushed_ = self->written_;
    }
    return true;
}

bool PageFile::commit() {
    if (place_.file == platform::NO_FILE) return false;
    const char* page = place_.path;
    bool ok = out_.close() && !failed_;
    if (ok && read_guard::page_was_read()) ok = refuse(page, "is a file this run reads");
    if (ok && platform::resources_exhausted()) ok = refuse(page, "the run ran out of file descriptors or memory");
    if (standard_output_) {  // nothing to put in place: written as it came
        abandon();
        return ok;
    }
    if (ok && !(platform::adopt_attributes(place_) && platform::sync_file(place_.file))) ok = refuse(page, nullptr);
    if (ok) {
        switch (platform::put_page(place_)) {
            case platform::Put::done:
                break;
            case platform::Put::changed:
                ok = refuse(page, "changed while it was written");
                break;
            default:
                ok = refuse(page, nullptr);
        }
    }
    abandon();
    return ok;
}

void PageFile::abandon() {
    if (standard_output_) place_.file = platform::NO_FILE;  // not the page's to close
    standard_output_ = false;
    platform::release_page_place(place_);
    read_guard::stop();
}
