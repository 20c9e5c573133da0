#include "tests/support/temp_folder.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fotolume::testsupport {

namespace fs = std::filesystem;

TempFolder::TempFolder(bool inMemory) {
    std::error_code ec;
    const bool shm = inMemory && fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0;
    std::string pattern = ((shm ? fs::path("/dev/shm") : fs::temp_directory_path()) / "fotolume-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a scratch folder");
    m_path = pattern;
    m_string = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(m_path, ec)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(m_path, ec);
}

Bytes ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace fotolume::testsupport
