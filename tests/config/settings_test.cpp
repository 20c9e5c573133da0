// The settings file: master and working copies, the start-up choice of file and language, the
// thumbnail rule at every connect, and the profile-style reads.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "config/folders.h"
#include "config/language.h"
#include "config/profile.h"
#include "config/settings.h"
#include "tests/config/support.h"

namespace fotolume::config {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteIni;

std::vector<std::string> MasterSettings(std::string_view vid = "zentaris", int thumbWidth = 96,
                                        int langIndex = 0) {
    return {"[info]",
            "JpgQuality=85",
            "Titlename=PhotoKey",
            "LangIndex=" + std::to_string(langIndex),
            "VID=" + std::string(vid),
            "CannotDelPicNum=",
            "FlashType=W25",
            "ThumbWidth=" + std::to_string(thumbWidth),
            "ThumbColumn=2"};
}

// A program folder with a master settings file and a language file listing German, English, Chinese.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_program);
        fs::create_directories(m_cache);
        WriteIni(m_program / "StartInfoUnicode.ini", MasterSettings());
        WriteIni(m_program / "LanguageUnicode.ini",
                 {"[Language]", "Lan_1=German", "Lan_2=English", "Lan_3=SimplifiedChinese", "[German]",
                  "LANGUAGE_MENU=Sprache", "SUBMENU_1=Deutsch", "SUBMENU_2=English", "SUBMENU_3=中文", "[English]",
                  "LANGUAGE_MENU=Language", "SUBMENU_1=Deutsch", "SUBMENU_2=English", "SUBMENU_3=中文",
                  "[SimplifiedChinese]", "LANGUAGE_MENU=语言", "SUBMENU_1=Deutsch", "SUBMENU_2=English",
                  "SUBMENU_3=中文"});
    }

    // What the full application does at start: returns the language it settles on.
    std::string Start() {
        CSettings settings(m_program, m_cache);
        settings.PrepareWorkingLanguageFile();
        CLanguage language(settings.WorkingLanguageFile());
        language.CountLanguages();
        const int index = settings.ChooseWorkingFile(language.Sections());
        EXPECT_GE(index, 0);
        EXPECT_LT(index, std::max(1, language.Count()));
        language.SetLangIndex(index);
        MenuBuildResult built = language.BuildMenu();
        language.ApplyLanguage(kLanguageCommandFirst + index, built.menu, settings.WorkingFile());
        return language.CurrentSection().value_or("<none>");
    }

    void ChooseLanguage(int index) {
        CSettings settings(m_program, m_cache);
        CLanguage language(settings.WorkingLanguageFile());
        language.CountLanguages();
        MenuBuildResult built = language.BuildMenu();
        ASSERT_TRUE(language.ApplyLanguage(kLanguageCommandFirst + index, built.menu, settings.WorkingFile()).applied);
    }

    CSettings Settings() const { return CSettings(m_program, m_cache); }
    fs::path Master() const { return m_program / "StartInfoUnicode.ini"; }
    fs::path Working() const { return m_cache / "StartInfoUnicode.ini"; }

    TempDir m_dir;
    fs::path m_program = m_dir / "bin";
    fs::path m_cache = m_dir / "cache" / "fotolume";
};

TEST_F(SettingsTest, FirstStartPicksEnglishAndAChoiceSurvivesARestart) {
    EXPECT_EQ(Start(), "English");
    ASSERT_TRUE(fs::exists(Working()));
    EXPECT_EQ(ReadSetting(Working(), "LangIndex", -1), 1);
    EXPECT_EQ(ReadSetting(Working(), "Language", ""), "English");
    EXPECT_EQ(ReadSetting(Working(), "Titlename", ""), "PhotoKey");

    ChooseLanguage(2);
    EXPECT_EQ(Start(), "SimplifiedChinese");
    EXPECT_EQ(Start(), "SimplifiedChinese");
    // The master is only ever read.
    EXPECT_EQ(ReadSetting(Master(), "LangIndex", -1), 0);
    EXPECT_EQ(ReadSetting(Master(), "Language", "<absent>"), "<absent>");
}

TEST_F(SettingsTest, ANewProductReleaseReplacesTheWorkingFile) {
    Start();
    ChooseLanguage(2);
    WriteSetting(Working(), "FirmwareVer", "V1.2");

    WriteIni(Master(), MasterSettings("zentaris2", 96, 0));
    EXPECT_EQ(Start(), "German");  // the master's LangIndex 0
    EXPECT_EQ(ReadSetting(Working(), "VID", ""), "zentaris2");
    EXPECT_EQ(ReadSetting(Working(), "FirmwareVer", "<absent>"), "<absent>");

    // ThumbWidth is no product key: it waits for the next connect and the choice stays.
    ChooseLanguage(1);
    WriteIni(Master(), MasterSettings("zentaris2", 128, 0));
    EXPECT_EQ(Start(), "English");
}

TEST_F(SettingsTest, AnUnusableLangIndexIsNeverUsedAsAnIndex) {
    Start();
    for (const int stored : {-1, -7, 3, 99}) {
        // The master carries a bad index too: after the refresh the first language is taken.
        WriteIni(Master(), MasterSettings("zentaris", 96, stored));
        WriteSetting(Working(), "LangIndex", std::to_string(stored));
        EXPECT_EQ(Start(), "German") << stored;
    }
    WriteIni(Master(), MasterSettings("zentaris", 96, 2));
    WriteSetting(Working(), "LangIndex", "12");
    EXPECT_EQ(Start(), "SimplifiedChinese");

    // With no languages at all there is no current section, and nothing is indexed.
    WriteIni(m_program / "LanguageUnicode.ini", {"[Language]", "Lan_2=English"});
    EXPECT_EQ(Start(), "<none>");
}

TEST_F(SettingsTest, ThumbnailSettingsFollowTheMasterAtEveryConnect) {
    Start();
    ChooseLanguage(2);
    const CSettings settings = Settings();
    ThumbSettings thumbs = settings.RefreshThumbSettings();
    EXPECT_FALSE(thumbs.replaced);
    EXPECT_EQ(thumbs.width, 96);
    EXPECT_EQ(thumbs.columns, 2);
    EXPECT_EQ(ReadSetting(Working(), "LangIndex", -1), 2);

    WriteIni(Master(), MasterSettings("zentaris", 120, 0));
    thumbs = settings.RefreshThumbSettings();
    EXPECT_TRUE(thumbs.replaced);
    EXPECT_EQ(thumbs.width, 120);
    EXPECT_EQ(ReadSetting(Working(), "LangIndex", -1), 0);  // the master's until chosen again
    EXPECT_FALSE(settings.RefreshThumbSettings().replaced);
}

TEST_F(SettingsTest, AMasterWithoutThumbColumnDoesNotResetTheLanguageAtEachConnect) {
    WriteIni(Master(), {"[info]", "ThumbWidth=96", "LangIndex=0"});
    Start();
    ChooseLanguage(2);
    const ThumbSettings thumbs = Settings().RefreshThumbSettings();
    EXPECT_FALSE(thumbs.replaced);
    EXPECT_EQ(thumbs.width, 96);
    EXPECT_EQ(thumbs.columns, 5);
    EXPECT_EQ(ReadSetting(Working(), "LangIndex", -1), 2);
}

TEST_F(SettingsTest, AMissingMasterGivesDefaultsAndKeepsTheWorkingFile) {
    fs::remove(Master());
    const CSettings settings = Settings();
    EXPECT_EQ(settings.ReadMaster("JpgQuality", kDefaultJpgQuality), 90);
    EXPECT_EQ(settings.ReadMaster("Titlename", kDefaultTitle), "Fotolume");
    EXPECT_EQ(Start(), "English");
    EXPECT_EQ(ReadSetting(Working(), "VID", "<absent>"), "<absent>");  // nothing was copied

    WriteIni(Working(), {"[info]", "LangIndex=2", "VID=other", "ThumbWidth=64"});
    EXPECT_EQ(Start(), "SimplifiedChinese");  // differs from the missing master, but nothing to copy
    EXPECT_EQ(ReadSetting(Working(), "VID", ""), "other");
    const ThumbSettings thumbs = settings.RefreshThumbSettings();
    EXPECT_FALSE(thumbs.replaced);
    EXPECT_EQ(thumbs.width, 64);
    EXPECT_EQ(thumbs.columns, 5);
}

TEST_F(SettingsTest, ACopyOfAReadOnlyMasterCanBeWritten) {
    fs::permissions(Master(), fs::perms::owner_read | fs::perms::group_read);
    fs::permissions(m_program / "LanguageUnicode.ini", fs::perms::owner_read);
    Start();
    const CSettings settings = Settings();
    EXPECT_NE(fs::status(settings.WorkingFile()).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_NE(fs::status(settings.WorkingLanguageFile()).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_TRUE(settings.Write("Language", "German"));
    EXPECT_EQ(settings.ReadWorking("Language", ""), "German");
}

TEST(ProfileRead, IntegersParseLikeTheProfileReader) {
    const std::pair<const char*, int> texts[] = {
        {"42", 42}, {"-1", -1}, {"+7", 7}, {"  96px", 96}, {"0x10", 0}, {"ON", 0}, {"-", 0},
        {"99999999999999999999", 2147483647}, {"-99999999999999999999", -2147483647 - 1}};
    for (const auto& [text, value] : texts) EXPECT_EQ(ParseProfileInt(text), value) << text;

    TempDir dir;
    const auto file = dir / "s.ini";
    WriteIni(file, {"[info]", "Empty=", "Word=abc", "Number=12"});
    EXPECT_EQ(ReadSetting(file, "Missing", 5), 5);
    EXPECT_EQ(ReadSetting(file, "Empty", 5), 5);
    EXPECT_EQ(ReadSetting(file, "Word", 5), 0);
    EXPECT_EQ(ReadSetting(file, "Number", 5), 12);
}

TEST(ProfileRead, TextsAreCutTo254Characters) {
    TempDir dir;
    const auto file = dir / "s.ini";
    const std::string chinese(300, 'x');
    // 253 characters and a surrogate pair: the pair does not fit and is not split.
    const std::string pair = std::string(253, 'a') + "📷";
    WriteIni(file, {"[info]", "Long=" + chinese, "Pair=" + pair, "Empty="});
    EXPECT_EQ(ReadSetting(file, "Long", ""), std::string(254, 'x'));
    EXPECT_EQ(ReadSetting(file, "Pair", ""), std::string(253, 'a'));
    EXPECT_EQ(ReadSetting(file, "Empty", "def"), "");
    EXPECT_EQ(ReadSetting(file, "Missing", "def"), "def");
}

TEST(Folders, PrivateCacheFolderIsCreatedForThisUserOnly) {
    TempDir dir;
    const char* saved = std::getenv("XDG_CACHE_HOME");
    const std::string savedValue = saved != nullptr ? saved : "";
    ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);

    std::string error;
    const fs::path folder = PrivateCacheFolder("fotolume", &error);
    EXPECT_EQ(folder, dir / "cache" / "fotolume") << error;
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);

    fs::permissions(folder, fs::perms::all);
    EXPECT_EQ(PrivateCacheFolder("fotolume"), folder);
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);

    // A link planted in its place is refused, not followed.
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / "cache" / "planted");
    EXPECT_TRUE(PrivateCacheFolder("planted", &error).empty());
    EXPECT_FALSE(error.empty());

    if (saved != nullptr) {
        ::setenv("XDG_CACHE_HOME", savedValue.c_str(), 1);
    } else {
        ::unsetenv("XDG_CACHE_HOME");
    }
}

TEST(Folders, ProgramFolderIsTheBuildTreeWhenTheFilesAreThere) {
    TempDir dir;
    EXPECT_EQ(FindProgramFolder(dir.Path(), kSettingsFileName, "fotolume"), InstalledDataFolder("fotolume"));
    WriteIni(dir / "StartInfoUnicode.ini", {"[info]"});
    EXPECT_EQ(FindProgramFolder(dir.Path(), kSettingsFileName, "fotolume"), dir.Path());
    EXPECT_EQ(InstalledDataFolder("macfotolume").filename(), "macfotolume");
    EXPECT_FALSE(ExecutableFolder().empty());
}

TEST(Folders, InstalledProgramReadsTheShareFolderBesideItsPrefix) {
    // prefix/bin/Fotolume reads prefix/share/fotolume, wherever the prefix was moved to.
    TempDir dir;
    fs::create_directories(dir / "bin");
    fs::create_directories(dir / "share" / "fotolume");
    EXPECT_EQ(FindProgramFolder(dir / "bin", kSettingsFileName, "fotolume"), InstalledDataFolder("fotolume"))
        << "an empty share folder is not taken";
    WriteIni(dir / "share" / "fotolume" / "StartInfoUnicode.ini", {"[info]"});
    EXPECT_EQ(FindProgramFolder(dir / "bin", kSettingsFileName, "fotolume"), dir / "share" / "fotolume");
    EXPECT_EQ(FindProgramFolder(dir / "bin", kSettingsFileName, "macfotolume"), InstalledDataFolder("macfotolume"));
}

}  // namespace
}  // namespace fotolume::config
