#include "platform/page_file.h"

#include "platform/platform.h"
#include "platform/read_guard.h"

namespace {

// Decimal digits of `n`.
std::string_view decimal(unsigned long n, char (&digits)[24]) {
    char* end = digits + sizeof digits;
    char* p = end;
    do *--p = static_cast<char>('0' + n % 10);
    while ((n /= 10) != 0);
    return std::string_view(p, static_cast<std::size_t>(end - p));
}

// Whether an existing page may be replaced: never the program itself (its
// identity needs no path, which may not fit) nor a file the run has read.
bool may_replace_page(const char* target) {
    platform::FileIdentity page;
    platform::FileIdentity program;
    if (!platform::may_replace(target)) return platform::refuse(target, "is read-only");
    if (!platform::file_identity(target, page)) return platform::refuse(target, nullptr);
    if (!platform::program_identity(program)) return platform::refuse(target, "the program's own file cannot be told");
    if (page == program) return platform::refuse(target, "is the program itself");
    if (!read_guard::watch(page)) return platform::refuse(target, "is a file this run reads");
    return true;
}

}  // namespace

PageFile::~PageFile() { abandon(); }

bool PageFile::begin(const char* path) {
    if (!platform::page_target(path, target_, sizeof target_))
        return platform::refuse(path,
                                "its links go round, name too long a path, or are another user's in a shared folder");
    switch (platform::entry_type(target_)) {
        case platform::EntryType::none:
            break;
        case platform::EntryType::file:
            if (!may_replace_page(target_)) return false;
            break;
        case platform::EntryType::folder:
            return platform::refuse(target_, "is a folder");
        default:
            return platform::refuse(target_, "is not a regular file");  // never written through, never replaced
    }
    if (create_temporary()) return true;
    read_guard::stop();
    return platform::refuse(target_, nullptr);
}

bool PageFile::create_temporary() {
    // "PAGE.kobu-PID.tmp" beside the page: a name that says what it is, and
    // that no other run uses at the same time.  Where that name is too long
    // for the folder (a page name near the system's limit) the short
    // ".kobu-PID.tmp" beside it fits whenever the page's own name does.
    const char* last = platform::find_last_separator(target_);
    const std::string_view folder =
        last ? std::string_view(target_, static_cast<std::size_t>(last - target_) + 1) : std::string_view();
    char digits[24];
    const std::string_view pid = decimal(platform::process_id(), digits);
    for (unsigned attempt = 0; attempt < 10; ++attempt) {
        char count[24];
        const std::string_view extra = attempt == 0 ? std::string_view() : decimal(attempt, count);
        const std::string_view dash = extra.empty() ? "" : "-";
        for (const std::string_view before : {std::string_view(target_), folder}) {
            if (!concat_text(temporary_, {before, ".kobu-", pid, dash, extra, ".tmp"})) continue;
            file_ = platform::create_new_file(temporary_);
            if (file_ != platform::NO_FILE) return true;
        }
    }
    temporary_[0] = '\0';
    return false;
}

bool PageFile::sink(void* context, const char* data, std::size_t size) {
    auto* self = static_cast<PageFile*>(context);
    if (self->failed_ || self->file_ == platform::NO_FILE) {  // given up on, or never begun: nothing more to say
        self->failed_ = true;
        return false;
    }
    if (!platform::write_bytes(self->file_, data, size)) {
        self->failed_ = true;
        return platform::refuse(self->target_, nullptr);
    }
    self->written_ += size;
    if (self->written_ - self->pushed_ >= WRITE_BACK_STEP) {
        platform::write_back(self->file_, self->pushed_, self->written_ - self->pushed_);
        self->pushed_ = self->written_;
    }
    return true;
}

bool PageFile::commit() {
    if (file_ == platform::NO_FILE) return false;
    bool ok = out_.close() && !failed_;
    if (ok && read_guard::page_was_read()) ok = platform::refuse(target_, "is a file this run reads");
    if (ok && platform::resources_exhausted())
        ok = platform::refuse(target_, "the run ran out of file descriptors or memory");
    if (ok && !(platform::adopt_attributes(file_, target_) && platform::sync_file(file_)))
        ok = platform::refuse(target_, nullptr);
    if (!platform::close_file(file_) && ok) ok = platform::refuse(target_, nullptr);
    file_ = platform::NO_FILE;
    if (ok && !platform::replace_file(temporary_, target_)) ok = platform::refuse(target_, nullptr);
    if (ok) {
        temporary_[0] = '\0';
        read_guard::stop();
        return true;
    }
    abandon();
    return false;
}

void PageFile::abandon() {
    if (file_ != platform::NO_FILE) platform::close_file(file_);
    file_ = platform::NO_FILE;
    if (temporary_[0] != '\0') platform::remove_file(temporary_);
    temporary_[0] = '\0';
    read_guard::stop();
}
