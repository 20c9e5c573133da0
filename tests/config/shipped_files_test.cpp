// The files made by the build for shipping: their form, every key in every language, real translations.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/compact_language.h"
#include "config/ini_file.h"
#include "config/language.h"
#include "config/settings.h"
#include "config/text_keys.h"
#include "config/utf.h"
#include "tests/config/support.h"

namespace fotolume::config {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::ReadBytes;
using test::ValueOrAbsent;

const fs::path kShipped = FOTOLUME_SHIPPED_DIR;

// UTF-16 LE with the mark, CR LF after every line, and no CR anywhere else.
void ExpectUtf16Lines(const fs::path& file) {
    SCOPED_TRACE(file.string());
    const Bytes bytes = ReadBytes(file);
    ASSERT_GE(bytes.size(), 6u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    ASSERT_EQ(bytes.size() % 2, 0u);
    std::u16string text;
    for (std::size_t i = 2; i < bytes.size(); i += 2) {
        text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    EXPECT_TRUE(text.ends_with(u"\r\n"));
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == u'\n') << "stray CR at unit " << i;
        }
    }
}

// The English texts of the code, in the form a one-line value can hold.
std::string OneLine(std::string_view english) {
    std::string text(english);
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    return text;
}

// Every key present and non-empty in section; the English section says what the code says.
void ExpectComplete(const fs::path& file, const std::string& section, std::span<const TextKey> keys,
                    bool english) {
    SCOPED_TRACE(file.filename().string() + " [" + section + "]");
    int sameAsEnglish = 0;
    for (const TextKey& key : keys) {
        const std::string value = ValueOrAbsent(file, section, key.key);
        EXPECT_NE(value, "<absent>") << key.key;
        EXPECT_FALSE(value.empty()) << key.key;
        if (english) {
            EXPECT_EQ(value, OneLine(key.english)) << key.key;
        } else if (value == OneLine(key.english)) {
            ++sameAsEnglish;
        }
    }
    // A translation may keep a few words ("OK", "+", the product name), not the bulk of the texts.
    EXPECT_LT(sameAsEnglish, static_cast<int>(keys.size()) / 8);
}

TEST(ShippedFiles, AreUtf16WithCrLfLines) {
    ExpectUtf16Lines(kShipped / "StartInfoUnicode.ini");
    ExpectUtf16Lines(kShipped / "LanguageUnicode.ini");
    ExpectUtf16Lines(kShipped / "Language.ini");
}

TEST(ShippedFiles, SettingsCarryEveryKey) {
    const fs::path file = kShipped / "StartInfoUnicode.ini";
    const std::pair<const char*, const char*> expected[] = {
        {"JpgQuality", "90"}, {"Titlename", "Fotolume"}, {"ProgressCtrl", "ON"}, {"CorpLink", ""},
        {"FirmwareVer", ""},  {"LangIndex", "0"},        {"Language", "English"}, {"VID", "zentaris"},
        {"CannotDelPicNum", ""}, {"CannotSavePicNum", ""}, {"FlashType", ""},  {"ThumbWidth", "96"},
        {"ThumbColumn", "2"}, {"CopyRightTips", ""}};
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(ValueOrAbsent(file, "info", key), value) << key;
    }
}

TEST(ShippedFiles, FullApplicationLanguagesAreComplete) {
    const fs::path file = kShipped / "LanguageUnicode.ini";
    CLanguage language(file);
    ASSERT_EQ(language.CountLanguages(), 3);
    EXPECT_EQ(language.Sections()[0], "English");
    EXPECT_NE(language.Sections()[2].find("Chinese"), std::string::npos);

    for (int i = 0; i < language.Count(); ++i) {
        const std::string& section = language.Sections()[static_cast<std::size_t>(i)];
        ExpectComplete(file, section, FullApplicationTexts(), i == 0);
        language.SetLangIndex(i);
        const MenuBuildResult built = language.BuildMenu();
        EXPECT_TRUE(built.message.empty()) << section << ": " << built.message;
        EXPECT_EQ(built.menu.items.size(), 3u) << section;
    }
    // The "Chinese" in the section name picks the Chinese fixed texts of the save dialog.
    language.SetLangIndex(2);
    EXPECT_EQ(language.LookupText("IDC_BUTTON_SAVE", ""), "保存");
}

TEST(ShippedFiles, CompactLanguagesAreComplete) {
    const fs::path file = kShipped / "Language.ini";
    const CCompactLanguage texts(file);
    EXPECT_EQ(texts.SectionName(), "English");
    for (const char* section : {"English", "German", "SimplifiedChinese"}) {
        ExpectComplete(file, section, CompactApplicationTexts(), std::string(section) == "English");
    }
}

TEST(TextKeys, ListsHaveNoDuplicatesAndEveryKeyHasAText) {
    for (const auto list : {FullApplicationTexts(), CompactApplicationTexts()}) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_FALSE(list[i].english.empty()) << list[i].key;
            for (std::size_t j = i + 1; j < list.size(); ++j) {
                EXPECT_NE(list[i].key, list[j].key);
            }
        }
    }
    EXPECT_EQ(EnglishText(FullApplicationTexts(), "IDC_BUTTON_SAVE"), "Save");
    EXPECT_EQ(EnglishText(CompactApplicationTexts(), "CANCLE_BUTTON"), "Canle");
    EXPECT_EQ(EnglishText(FullApplicationTexts(), "NO_SUCH_KEY"), "");
}

}  // namespace
}  // namespace fotolume::config
