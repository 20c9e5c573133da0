// Small file operations: crash-safe writes, copies that leave a writable file, and private scratch
// folders.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
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

// A private folder (mode 0700) for the scratch files of adds and exports, removed with its contents
// when the object goes.
class CScratchFolder {
public:
    // A new folder "<prefix>XXXXXX" inside parent. Ok() is false when it cannot be made.
    CScratchFolder(const std::filesystem::path& parent, const std::string& prefix);
    ~CScratchFolder();
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    bool Ok() const { return !m_path.empty(); }
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

}  // namespace fotolume::config
