// The settings file StartInfoUnicode.ini: the master beside the program (only read) and the working
// copy in the private per-user folder (the user's choices between runs).
//
// Start-up order for the full application:
//   CSettings settings(FotolumeProgramFolder(), PrivateCacheFolder("fotolume"));
//   read JpgQuality, Titlename, ProgressCtrl, CorpLink with ReadMaster;
//   settings.PrepareWorkingLanguageFile();
//   read FirmwareVer with ReadWorking (the copy left by an earlier run, if any);
//   CLanguage language(settings.WorkingLanguageFile()); language.CountLanguages();
//   language.SetLangIndex(settings.ChooseWorkingFile(language.Sections()));
//   read VID with ReadWorking.
// At every connect: RefreshThumbSettings().
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fotolume::config {

inline constexpr std::string_view kSettingsSection = "info";

// Defaults of the keys of section "info".
inline constexpr int kDefaultJpgQuality = 90;
inline constexpr std::string_view kDefaultTitle = "Fotolume";
inline constexpr std::string_view kDefaultProgressCtrl = "ON";
inline constexpr std::string_view kDefaultVid = "zentaris";
inline constexpr int kDefaultMasterThumbColumn = 0;
inline constexpr int kDefaultWorkingThumbColumn = 5;

// Integer and text reads of section "info" of a settings file, with defaults.
int ReadSetting(const std::filesystem::path& file, std::string_view key, int def);
std::string ReadSetting(const std::filesystem::path& file, std::string_view key, std::string_view def);
inline std::string ReadSetting(const std::filesystem::path& file, std::string_view key, const char* def) {
    return ReadSetting(file, key, std::string_view(def));
}

// Sets key in section "info", creating the file, section or key when missing.
bool WriteSetting(const std::filesystem::path& file, std::string_view key, std::string_view value);

struct ThumbSettings {
    int width = 0;
    int columns = kDefaultWorkingThumbColumn;
    bool replaced = false;  // the working file was replaced by the master
};

class CSettings {
public:
    CSettings(std::filesystem::path programFolder, std::filesystem::path tempFolder);

    const std::filesystem::path& ProgramFolder() const { return m_programFolder; }
    const std::filesystem::path& TempFolder() const { return m_tempFolder; }
    std::filesystem::path MasterFile() const;
    // Always the copy in the private folder; the master is never written.
    std::filesystem::path WorkingFile() const;
    std::filesystem::path MasterLanguageFile() const;
    std::filesystem::path WorkingLanguageFile() const;

    int ReadMaster(std::string_view key, int def) const { return ReadSetting(MasterFile(), key, def); }
    std::string ReadMaster(std::string_view key, std::string_view def) const {
        return ReadSetting(MasterFile(), key, def);
    }
    std::string ReadMaster(std::string_view key, const char* def) const {
        return ReadSetting(MasterFile(), key, def);
    }
    int ReadWorking(std::string_view key, int def) const { return ReadSetting(WorkingFile(), key, def); }
    std::string ReadWorking(std::string_view key, std::string_view def) const {
        return ReadSetting(WorkingFile(), key, def);
    }
    std::string ReadWorking(std::string_view key, const char* def) const {
        return ReadSetting(WorkingFile(), key, def);
    }
    bool Write(std::string_view key, std::string_view value) const {
        return WriteSetting(WorkingFile(), key, value);
    }

    // Copies the master language file over the working copy (which stays as it is when there is no
    // master) and leaves both working files writable.
    void PrepareWorkingLanguageFile() const;

    // Chooses the working settings file and returns the language index, always inside languages
    // (0 when the list is empty). With a working copy from an earlier run it is kept unless the master
    // differs in VID, CannotDelPicNum, CannotSavePicNum or FlashType or its LangIndex is unusable;
    // then the master replaces it. Without one, the master is copied and the first language whose
    // name contains "English" is taken.
    int ChooseWorkingFile(const std::vector<std::string>& languages) const;

    // Thumbnail geometry, run at every connect: when master and working copy disagree on ThumbWidth or
    // ThumbColumn the master replaces the working copy; the values come from the working copy.
    ThumbSettings RefreshThumbSettings() const;

private:
    bool CopyMasterOverWorking() const;

    std::filesystem::path m_programFolder;
    std::filesystem::path m_tempFolder;
};

}  // namespace fotolume::config
