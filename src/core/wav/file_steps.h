// The core's writes, renames, links, copies and resizes of files go through here, so that a
// test can make any one of them fail and see what the failure leaves behind.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>

enum class FileStep { Write, Rename, Link, Copy, Resize, Remove };

// Whether a step fails; a write's is at bytes [at, at + n) of its stream (0 for the others).
using FileFailure = std::function<bool(FileStep step, uint64_t at, size_t n)>;
// Tests only: every step asks failure first, until it is set empty again.
void setFileFailure(FileFailure failure);

// fwrite of n bytes; a step that is made to fail writes nothing.
size_t writeFile(const void* data, size_t n, std::FILE* file);
// Renames over what is at to, in one step.
bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to);
// A second name for a file; false where the disk has no hard links.
bool linkFile(const std::filesystem::path& existing, const std::filesystem::path& link);
// Copies into a new file at to, which must not exist yet; a failed copy leaves nothing at to.
bool copyToNewFile(const std::filesystem::path& from, const std::filesystem::path& to);
bool resizeFile(const std::filesystem::path& path, uint64_t size);
// False when the file stays (held open elsewhere, say); a file that is not there is gone.
bool removeFile(const std::filesystem::path& path);
