#include "config/folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#ifndef FOTOLUME_INSTALL_DATADIR
#define FOTOLUME_INSTALL_DATADIR "/usr/local/share"
#endif

namespace fotolume::config {

namespace fs = std::filesystem;

namespace {

fs::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry {};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

}  // namespace

fs::path ExecutableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return {};
    }
    return exe.parent_path();
}

fs::path InstalledDataFolder(std::string_view shareName) {
    return fs::path(FOTOLUME_INSTALL_DATADIR) / shareName;
}

fs::path FindProgramFolder(const fs::path& exeFolder, std::string_view marker, std::string_view shareName) {
    std::error_code ec;
    if (!exeFolder.empty() && fs::is_regular_file(exeFolder / marker, ec)) {
        return exeFolder;
    }
    // An installed program finds its files relative to itself, so a package built for /usr or a
    // copy installed under another prefix reads its own files, not those of the prefix it was built for.
    if (!exeFolder.empty()) {
        const fs::path beside = exeFolder.parent_path() / "share" / shareName;
        if (fs::is_regular_file(beside / marker, ec)) {
            return beside;
        }
    }
    return InstalledDataFolder(shareName);
}

fs::path FotolumeProgramFolder() {
    return FindProgramFolder(ExecutableFolder(), kSettingsFileName, "fotolume");
}

fs::path CompactResourceFolder() {
    return FindProgramFolder(ExecutableFolder(), kCompactLanguageFileName, "macfotolume");
}

fs::path PrivateCacheFolder(std::string_view appName, std::string* error) {
    fs::path base;
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && cache[0] == '/') {
        base = cache;
    } else {
        const fs::path home = HomeFolder();
        if (home.empty()) {
            SetError(error, "cannot find the home folder");
            return {};
        }
        base = home / ".cache";
    }
    std::error_code ec;
    fs::create_directories(base, ec);
    if (ec) {
        SetError(error, "cannot create " + base.string() + ": " + ec.message());
        return {};
    }
    const fs::path folder = base / appName;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        SetError(error, "cannot create " + folder.string() + ": " + std::strerror(errno));
        return {};
    }
    // The folder holds the user's settings and picture cache: it must be a real folder of this user
    // that nobody else can read.
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        SetError(error, folder.string() + " is not a private folder of this user");
        return {};
    }
    if ((st.st_mode & 07777) != 0700 && ::chmod(folder.c_str(), 0700) != 0) {
        SetError(error, "cannot make " + folder.string() + " private: " + std::strerror(errno));
        return {};
    }
    return folder;
}

}  // namespace fotolume::config
