#include "core/wav/file_steps.h"

#include <system_error>

#include "core/wav/file_position.h"

namespace {

FileFailure& failure() {
    static FileFailure f;
    return f;
}

bool fails(FileStep step, uint64_t at = 0, size_t n = 0) { return failure() && failure()(step, at, n); }

}  // namespace

void setFileFailure(FileFailure f) { failure() = std::move(f); }

size_t writeFile(const void* data, size_t n, std::FILE* file) {
    if (failure()) {
        uint64_t at = 0;
        tellFile(file, at);
        if (fails(FileStep::Write, at, n)) return 0;
    }
    return std::fwrite(data, 1, n, file);
}

bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (fails(FileStep::Rename)) return false;
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return !error;
}

bool linkFile(const std::filesystem::path& existing, const std::filesystem::path& link) {
    if (fails(FileStep::Link)) return false;
    std::error_code error;
    std::filesystem::create_hard_link(existing, link, error);
    return !error;
}

bool copyToNewFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code error;
    if (fails(FileStep::Copy)) return false;
    // Fails when to exists, so a failure may remove it: it can only be this copy's.
    if (std::filesystem::copy_file(from, to, std::filesystem::copy_options::none, error)) return true;
    if (error != std::errc::file_exists) std::filesystem::remove(to, error);
    return false;
}

bool removeFile(const std::filesystem::path& path) {
    if (fails(FileStep::Remove)) return false;
    std::error_code error;
    std::filesystem::remove(path, error);
    return !error;
}

bool resizeFile(const std::filesystem::path& path, uint64_t size) {
    if (fails(FileStep::Resize)) return false;
    std::error_code error;
    std::filesystem::resize_file(path, size, error);
    return !error;
}
