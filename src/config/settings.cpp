#include "config/settings.h"

#include <array>
#include <utility>

#include "config/file_ops.h"
#include "config/folders.h"
#include "config/ini_file.h"
#include "config/ini_writer.h"
#include "config/profile.h"
#include "config/unicode_file.h"

namespace fotolume::config {

namespace fs = std::filesystem;

namespace {

// Keys whose change in the master marks a new product release.
constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kProductKeys = {{
    {"VID", kDefaultVid},
    {"CannotDelPicNum", ""},
    {"CannotSavePicNum", ""},
    {"FlashType", ""},
}};

}  // namespace

int ReadSetting(const fs::path& file, std::string_view key, int def) {
    return ReadProfileInt(file, kSettingsSection, key, def);
}

std::string ReadSetting(const fs::path& file, std::string_view key, std::string_view def) {
    return ReadProfileString(file, kSettingsSection, key, def);
}

bool WriteSetting(const fs::path& file, std::string_view key, std::string_view value) {
    return WriteIniString(file, kSettingsSection, key, value) == kIniOk;
}

CSettings::CSettings(fs::path programFolder, fs::path tempFolder)
    : m_programFolder(std::move(programFolder)), m_tempFolder(std::move(tempFolder)) {}

fs::path CSettings::MasterFile() const { return m_programFolder / kSettingsFileName; }
fs::path CSettings::WorkingFile() const { return m_tempFolder / kSettingsFileName; }
fs::path CSettings::MasterLanguageFile() const { return m_programFolder / kLanguageFileName; }
fs::path CSettings::WorkingLanguageFile() const { return m_tempFolder / kLanguageFileName; }

bool CSettings::CopyMasterOverWorking() const {
    // A missing master leaves the working copy as it is.
    return CopyFileWritable(MasterFile(), WorkingFile());
}

void CSettings::PrepareWorkingLanguageFile() const {
    CopyFileWritable(MasterLanguageFile(), WorkingLanguageFile());
    MakeWritable(WorkingLanguageFile());
    MakeWritable(WorkingFile());
}

int CSettings::ChooseWorkingFile(const std::vector<std::string>& languages) const {
    const int count = static_cast<int>(languages.size());
    std::error_code ec;
    if (fs::exists(WorkingFile(), ec)) {
        bool refresh = false;
        for (const auto& [key, def] : kProductKeys) {
            if (ReadMaster(key, def) != ReadWorking(key, def)) {
                refresh = true;
                break;
            }
        }
        int langIndex = ReadWorking("LangIndex", -1);
        // Any negative index is as unusable as the -1 of a file never written by a language choice.
        if (langIndex < 0 || count == 0 || langIndex >= count || refresh) {
            CopyMasterOverWorking();
            langIndex = ReadWorking("LangIndex", 0);
        }
        // The master may carry an index outside this language list as well.
        if (langIndex < 0 || langIndex >= count) {
            langIndex = 0;
        }
        return langIndex;
    }

    CopyMasterOverWorking();
    for (int i = 0; i < count; ++i) {
        if (languages[static_cast<std::size_t>(i)].find("English") != std::string::npos) {
            return i;
        }
    }
    return 0;
}

ThumbSettings CSettings::RefreshThumbSettings() const {
    // Both files are compared with the same defaults: a master without ThumbColumn must not replace
    // the working copy (and with it the user's language choice) at every connect.
    const bool differs =
        ReadMaster("ThumbWidth", 0) != ReadWorking("ThumbWidth", 0) ||
        ReadMaster("ThumbColumn", kDefaultMasterThumbColumn) != ReadWorking("ThumbColumn", kDefaultMasterThumbColumn);
    ThumbSettings result;
    if (differs) {
        result.replaced = CopyMasterOverWorking();
    }
    result.width = ReadWorking("ThumbWidth", 0);
    result.columns = ReadWorking("ThumbColumn", kDefaultWorkingThumbColumn);
    return result;
}

}  // namespace fotolume::config
