// Where the shipped files and the per-user working copies live.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace fotolume::config {

inline constexpr std::string_view kSettingsFileName = "StartInfoUnicode.ini";
inline constexpr std::string_view kLanguageFileName = "LanguageUnicode.ini";
inline constexpr std::string_view kCompactLanguageFileName = "Language.ini";

// The folder of the running executable, or empty when it cannot be found.
std::filesystem::path ExecutableFolder();

// The folder installed data of a program lives in: <prefix>/share/<shareName>.
std::filesystem::path InstalledDataFolder(std::string_view shareName);

// The folder holding a program's master files: exeFolder when marker lies there (a build tree), else
// exeFolder/../share/shareName when marker lies there (an installed copy), else the installed data folder.
std::filesystem::path FindProgramFolder(const std::filesystem::path& exeFolder, std::string_view marker,
                                        std::string_view shareName);

// Fotolume's program folder (marker StartInfoUnicode.ini, share folder "fotolume").
std::filesystem::path FotolumeProgramFolder();

// MacFotolume's read-only resource folder (marker Language.ini, share folder "macfotolume").
std::filesystem::path CompactResourceFolder();

// The private per-user folder $XDG_CACHE_HOME/<appName> (default ~/.cache/<appName>), created with
// mode 0700 and set to 0700 when it exists. Empty, with error set, when it cannot be made private:
// it is not a folder of ours, or it cannot be created.
std::filesystem::path PrivateCacheFolder(std::string_view appName, std::string* error = nullptr);

}  // namespace fotolume::config
