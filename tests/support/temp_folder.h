// A private folder for one test, and whole-file byte helpers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fotolume::testsupport {

// A fresh folder under the system's temporary folder, removed with everything in it at the end, even
// files and folders a test made read-only.
class TempFolder {
public:
    // inMemory: under /dev/shm when it is writable, for tests that flush thousands of small files.
    explicit TempFolder(bool inMemory = false);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    const std::string& String() const { return m_string; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
    std::string m_string;
};

using Bytes = std::vector<std::uint8_t>;

// The whole file; empty when it cannot be read.
Bytes ReadBytes(const std::filesystem::path& file);
// Replaces the file; throws when it cannot be written.
void WriteBytes(const std::filesystem::path& file, const Bytes& bytes);

}  // namespace fotolume::testsupport
