// The full application's language file: counting, lookup with defaults, the menu model, applying.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/language.h"
#include "config/settings.h"
#include "tests/config/support.h"

namespace fotolume::config {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteIni;

class LanguageTest : public ::testing::Test {
protected:
    fs::path Languages() const { return m_dir / "LanguageUnicode.ini"; }
    fs::path Settings() const { return m_dir / "StartInfoUnicode.ini"; }

    TempDir m_dir;
};

TEST_F(LanguageTest, LookupUsesTheCurrentSectionOrTheDefault) {
    WriteIni(Languages(), {"[Language]", "Lan_1=English", "Lan_2=German", "[English]", "IDC_BUTTON_SAVE=Save it",
                           "Long=" + std::string(300, 'y'), "[German]", "IDC_BUTTON_SAVE=Speichern",
                           "IDC_BUTTON_DELECT="});
    CLanguage language(Languages());
    // Before counting there is no current section.
    EXPECT_EQ(language.LookupText("IDC_BUTTON_SAVE", "Save"), "Save");
    ASSERT_EQ(language.CountLanguages(), 2);
    EXPECT_EQ(language.LookupText("IDC_BUTTON_SAVE", "Save"), "Save it");
    EXPECT_EQ(language.LookupText("Long", "").size(), 254u);
    language.SetLangIndex(1);
    EXPECT_EQ(language.LookupText("IDC_BUTTON_SAVE", "Save"), "Speichern");
    EXPECT_EQ(language.LookupText("IDC_BUTTON_DELECT", "Delete"), "");  // present but empty
    EXPECT_EQ(language.LookupText("IDC_BUTTON_SAVEALL", "SaveAll"), "SaveAll");

    // The list shrinks on a recount: the stored index now names nothing.
    WriteIni(Languages(), {"[Language]", "Lan_1=English", "[English]", "IDC_BUTTON_SAVE=Save it"});
    language.CountLanguages();
    EXPECT_FALSE(language.CurrentSection().has_value());
    EXPECT_EQ(language.LookupText("IDC_BUTTON_SAVE", "Save"), "Save");
    language.SetLangIndex(-3);
    EXPECT_EQ(language.LookupText("IDC_BUTTON_SAVE", "Save"), "Save");

    fs::remove(Languages());
    language.SetLangIndex(0);
    EXPECT_EQ(language.LookupText("IDC_BUTTON_SAVE", "Save"), "Save");
}

TEST_F(LanguageTest, CountingStopsAtTheFirstMissingOrEmptyEntry) {
    CLanguage language(Languages());
    WriteIni(Languages(), {"[Language]", "Lan_1=English", "Lan_2=German", "Lan_3=Chinese", "Lan_5=French"});
    EXPECT_EQ(language.CountLanguages(), 3);
    EXPECT_EQ(language.Sections(), (std::vector<std::string>{"English", "German", "Chinese"}));

    WriteIni(Languages(), {"[Language]", "Lan_1=English", "Lan_2=", "Lan_3=Chinese"});
    EXPECT_EQ(language.CountLanguages(), 1);

    std::vector<std::string> lines = {"[Language]"};
    for (int i = 1; i <= 12; ++i) {
        lines.push_back("Lan_" + std::to_string(i) + "=L" + std::to_string(i));
    }
    WriteIni(Languages(), lines);
    EXPECT_EQ(language.CountLanguages(), 10);

    fs::remove(Languages());
    EXPECT_EQ(language.CountLanguages(), 0);
    EXPECT_TRUE(language.Sections().empty());
}

TEST_F(LanguageTest, MenuHasOneItemPerLanguage) {
    WriteIni(Languages(), {"[Language]", "Lan_1=English", "Lan_2=German", "[English]", "LANGUAGE_MENU=Language",
                           "SUBMENU_1=English", "SUBMENU_2=Deutsch", "[German]", "SUBMENU_1=Englisch"});
    CLanguage language(Languages());
    language.CountLanguages();
    MenuBuildResult built = language.BuildMenu();
    EXPECT_TRUE(built.message.empty());
    EXPECT_TRUE(built.menu.hasPopup);
    EXPECT_EQ(built.menu.popupText, "Language");
    ASSERT_EQ(built.menu.items.size(), 2u);
    EXPECT_EQ(built.menu.items[0].id, 9002);
    EXPECT_EQ(built.menu.items[1].id, 9003);
    EXPECT_EQ(built.menu.items[1].text, "Deutsch");

    // German lacks LANGUAGE_MENU: the menu stays empty.
    language.SetLangIndex(1);
    built = language.BuildMenu();
    EXPECT_FALSE(built.menu.hasPopup);
    EXPECT_TRUE(built.menu.items.empty());
    EXPECT_EQ(built.message, "Item LANGUAGE_MENU is not exist in LanguageUnicode.ini file!");

    WriteIni(Languages(), {"[Language]", "Lan_1=English", "Lan_2=German", "Lan_3=Chinese", "[English]",
                           "LANGUAGE_MENU=Language", "SUBMENU_1=English", "SUBMENU_3=Chinese"});
    language.CountLanguages();
    language.SetLangIndex(0);
    built = language.BuildMenu();
    EXPECT_EQ(built.message, "Item SUBMENU_2 is not exist in LanguageUnicode.ini file!");
    EXPECT_EQ(built.menu.items.size(), 1u);
}

TEST_F(LanguageTest, ApplyingTheSecondLanguageRetextsTheMenuAndRemembersIt) {
    WriteIni(Languages(), {"[Language]", "Lan_1=English", "Lan_2=Deutsch (Schweiz)", "[English]",
                           "LANGUAGE_MENU=Language", "SUBMENU_1=English", "SUBMENU_2=German",
                           "[Deutsch (Schweiz)]", "LANGUAGE_MENU=Sprache", "SUBMENU_1=Englisch",
                           "SUBMENU_2=Deutsch"});
    WriteIni(Settings(), {"[info]", "VID=zentaris", "LangIndex=0", "ThumbWidth=96"});
    CLanguage language(Languages());
    language.CountLanguages();
    MenuBuildResult built = language.BuildMenu();
    ASSERT_TRUE(language.ApplyLanguage(9002, built.menu, Settings()).applied);
    EXPECT_TRUE(built.menu.items[0].checked);

    const ApplyResult result = language.ApplyLanguage(9003, built.menu, Settings());
    EXPECT_TRUE(result.applied);
    EXPECT_TRUE(result.message.empty());
    EXPECT_EQ(language.LangIndex(), 1);
    EXPECT_EQ(built.menu.popupText, "Sprache");
    EXPECT_FALSE(built.menu.items[0].checked);
    EXPECT_TRUE(built.menu.items[1].checked);
    EXPECT_EQ(built.menu.items[0].text, "Englisch");
    EXPECT_EQ(ReadSetting(Settings(), "LangIndex", -1), 1);
    EXPECT_EQ(ReadSetting(Settings(), "Language", ""), "Deutsch (Schweiz)");
    EXPECT_EQ(ReadSetting(Settings(), "ThumbWidth", 0), 96);
    EXPECT_EQ(language.AboutMenuText("PhotoKey"), "About PhotoKey(&A)...");
}

TEST_F(LanguageTest, AMissingSubmenuKeyStopsRetextingTheItems) {
    WriteIni(Languages(), {"[Language]", "Lan_1=English", "Lan_2=German", "Lan_3=Chinese", "[English]",
                           "LANGUAGE_MENU=Language", "SUBMENU_1=English", "SUBMENU_2=German", "SUBMENU_3=Chinese",
                           "[German]", "LANGUAGE_MENU=Sprache", "SUBMENU_1=Englisch", "SUBMENU_3=Chinesisch"});
    CLanguage language(Languages());
    language.CountLanguages();
    MenuBuildResult built = language.BuildMenu();
    language.ApplyLanguage(9002, built.menu, Settings());

    const ApplyResult result = language.ApplyLanguage(9003, built.menu, Settings());
    EXPECT_TRUE(result.applied);
    EXPECT_EQ(result.message, "Item SUBMENU_2 is not exist in the LanguageUnicode.ini file.");
    EXPECT_EQ(built.menu.items[0].text, "Englisch");
    EXPECT_EQ(built.menu.items[1].text, "German");
    EXPECT_EQ(built.menu.items[2].text, "Chinese");
    EXPECT_EQ(ReadSetting(Settings(), "LangIndex", -1), 1);
}

TEST_F(LanguageTest, IdsOutsideTheListChangeNothing) {
    WriteIni(Languages(), {"[Language]", "Lan_1=English", "[English]", "LANGUAGE_MENU=Language", "SUBMENU_1=English"});
    CLanguage language(Languages());
    language.CountLanguages();
    MenuBuildResult built = language.BuildMenu();
    for (const int id : {9001, 9003, 9102, 9103, 16}) {
        EXPECT_FALSE(language.ApplyLanguage(id, built.menu, Settings()).applied) << id;
    }
    EXPECT_EQ(language.LangIndex(), 0);
    EXPECT_FALSE(fs::exists(Settings()));
}

}  // namespace
}  // namespace fotolume::config
