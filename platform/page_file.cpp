#include "platform/page_file.h"

#include "platform/platform.h"

namespace {

// The same file as `path`, when both exist.
bool same_file(const platform::FileIdentity& page, const char* path) {
    platform::FileIdentity other;
    return path != nullptr && path[0] != '\0' && platform::file_identity(path, other) && other == page;
}

// Decimal digits of `n`.
std::string_view decimal(unsigned long n, char (&digits)[24]) {
    char* end = digits + sizeof digits;
    char* p = end;
    do *--p = static_cast<char>('0' + n % 10);
    while ((n /= 10) != 0);
    return std::string_view(p, static_cast<std::size_t>(end - p));
}

}  // namespace

PageFile::~PageFile() { abandon(); }

bool PageFile::begin(const char* path, std::initializer_list<const char*> read) {
    if (!platform::page_target(path, target_, sizeof target_)) return platform::refuse(path, "its links go round or name a path longer than 259 bytes");
    switch (platform::entry_type(target_)) {
        case platform::EntryType::none:
            break;
        case platform::EntryType::file: {
            if (!platform::may_replace(target_)) return platform::refuse(target_, nullptr);
            platform::FileIdentity page;
            char program[PATH_BUFFER];
            if (platform::file_identity(target_, page)) {
                if (platform::program_path(program, sizeof program) && same_file(page, program))
                    return platform::refuse(target_, "is the program itself");
                for (const char* r : read)
                    if (same_file(page, r)) return platform::refuse(target_, "is a file this run reads");
            }
            break;
        }
        case platform::EntryType::folder:
            return platform::refuse(target_, "is a folder");
        default:
            return platform::refuse(target_, "is not a regular file");  // never written through, never replaced
    }
    // "PAGE.kobu-PID.tmp" beside the page: a name that says what it is, and
    // that no other run uses at the same time.
    char digits[24];
    const std::string_view pid = decimal(platform::process_id(), digits);
    for (unsigned attempt = 0; attempt < 10 && file_ == platform::NO_FILE; ++attempt) {
        char count[24];
        const std::string_view extra = attempt == 0 ? std::string_view() : decimal(attempt, count);
        if (!concat_text(temporary_, {target_, ".kobu-", pid, extra.empty() ? "" : "-", extra, ".tmp"}))
            return platform::refuse(target_, "leaves no room for a temporary name beside it");
        file_ = platform::create_new_file(temporary_);
    }
    if (file_ == platform::NO_FILE) {
        temporary_[0] = '\0';
        return platform::refuse(target_, nullptr);
    }
    return true;
}

bool PageFile::sink(void* context, const char* data, std::size_t size) {
    auto* self = static_cast<PageFile*>(context);
    if (self->failed_ || self->file_ == platform::NO_FILE) {  // given up on, or never begun: nothing more to say
        self->failed_ = true;
    } else if (!platform::write_bytes(self->file_, data, size)) {
        platform::refuse(self->target_, nullptr);
        self->failed_ = true;
    }
    return !self->failed_;
}

bool PageFile::commit() {
    if (file_ == platform::NO_FILE) return false;
    bool ok = out_.close() && !failed_;
    if (ok && !platform::sync_file(file_)) ok = platform::refuse(target_, nullptr);
    if (!platform::close_file(file_) && ok) ok = platform::refuse(target_, nullptr);
    file_ = platform::NO_FILE;
    if (ok && !platform::replace_file(temporary_, target_)) ok = platform::refuse(target_, nullptr);
    if (ok) {
        temporary_[0] = '\0';
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
}
