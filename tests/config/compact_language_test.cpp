// The compact application's Language.ini: one section named by language_1, read anew every time.
#include <gtest/gtest.h>

#include <string>

#include "config/compact_language.h"
#include "tests/config/support.h"

namespace fotolume::config {
namespace {

using test::WriteIni;
using CompactLanguage = test::IniFileTest;

TEST_F(CompactLanguage, ReadsTheSectionNamedByLanguage1) {
    CCompactLanguage texts(file);
    EXPECT_EQ(texts.LookupText("Add", "Add"), "Add");
    EXPECT_EQ(texts.SectionName(), "English");

    WriteIni(file, {"[language]", "language_1=German", "[English]", "Add=Add it", "[German]", "Add=Hinzufügen"});
    EXPECT_EQ(texts.LookupText("Add", "Add"), "Hinzufügen");
    EXPECT_EQ(texts.LookupText("Delete", "Delete"), "Delete");

    // Every lookup reads the file again.
    WriteIni(file, {"[language]", "language_1=English", "[English]", "Add=Add it"});
    EXPECT_EQ(texts.LookupText("Add", "Add"), "Add it");

    // Without language_1 the section is "English", except for the quit question's lookup.
    WriteIni(file, {"[English]", "EXIT_APPLICATION_TIPS=Quit?", "[]", "EXIT_APPLICATION_TIPS=Leave?"});
    EXPECT_EQ(texts.LookupText("EXIT_APPLICATION_TIPS", "Really want to quit?"), "Quit?");
    EXPECT_EQ(texts.LookupText("EXIT_APPLICATION_TIPS", "Really want to quit?", ""), "Leave?");
}

TEST_F(CompactLanguage, TextsAreCutTo511BytesOnACharacterBoundary) {
    std::string chinese;
    for (int i = 0; i < 200; ++i) {
        chinese += "图";  // three bytes each
    }
    WriteIni(file, {"[language]", "language_1=Chinese", "[Chinese]", "NO_PIC_TIPS=" + chinese});
    const std::string text = CCompactLanguage(file).LookupText("NO_PIC_TIPS", "No Pictures");
    EXPECT_EQ(text.size(), 510u);
    EXPECT_EQ(text, chinese.substr(0, 510));
}

}  // namespace
}  // namespace fotolume::config
