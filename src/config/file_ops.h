// Small file operations the settings need: crash-safe writes and copies that leave a writable file.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace fotolume::config {

// Reads the whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::filesystem::path& file, std::vector<std::uint8_t>& bytes);

// Writes bytes to a temporary file beside the target, flushes it and renames it over the target, so
// the target holds either its old or its new content after a crash, never a part.
bool WriteFileAtomically(const std::filesystem::path& file, std::span<const std::uint8_t> bytes, mode_t mode);

// Copies from over to (replacing it) and leaves to writable by its owner. When from cannot be read,
// nothing happens and false is returned.
bool CopyFileWritable(const std::filesystem::path& from, const std::filesystem::path& to);

// Makes an existing file writable by its owner. False when it does not exist or cannot be changed.
bool MakeWritable(const std::filesystem::path& file);

}  // namespace fotolume::config
