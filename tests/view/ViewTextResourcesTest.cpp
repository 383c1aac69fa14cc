// Catalog and pie-menu resources beside STR#, and the UTF-8 layout, in the editor.

#include "tests/support/IffPayloads.h"
#include "tests/support/Utf8Payload.h"
#include "tests/view/ViewFixture.h"

namespace {

using View = CTallyglassView;

// Three chunks of three types with the same id, listed in another order than they are shown.
std::vector<TestChunk> SameIdOfEveryType() {
    return {MakeChunk("TTAs", 7, MakePlainPayload({"Sit"}), "Pie"),
            MakeChunk("CTSS", 7, BuildUtf8Payload({{{"Chair", "Sits one"}}}), "Catalog"),
            MakeChunk("STR#", 7, MakePlainPayload({"strings"}), "Names"),
            MakeChunk("CTSS", 2, MakePlainPayload({"Lamp"}), "Lamp")};
}

TEST_F(ViewTest, EveryTextTypeIsListedStringsFirstThenCatalogThenPieMenus) {
    Open(SameIdOfEveryType());
    QListWidget* list = m_view.GetResourceList();
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("#7: Names"));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("CTSS #2: Lamp"));
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("CTSS #7: Catalog"));
    EXPECT_EQ(list->item(3)->text(), QStringLiteral("TTAs #7: Pie"));
    EXPECT_EQ(View::FormatResourceLabel(9, "x", kTypePieMenuStrings), QStringLiteral("TTAs #9: x"));

    // Each entry loads its own chunk, though three share the id.
    const std::vector<std::pair<ChunkType, QString>> expected = {
        {kTypeStrings, QStringLiteral("strings")},
        {kTypeCatalogStrings, QStringLiteral("Lamp")},
        {kTypeCatalogStrings, QStringLiteral("Chair")},
        {kTypePieMenuStrings, QStringLiteral("Sit")}};
    for (int row = 0; row < list->count(); ++row) {
        SelectResource(row);
        ASSERT_TRUE(m_view.IsLoaded()) << row;
        EXPECT_EQ(m_view.Strings().m_nType, expected[static_cast<size_t>(row)].first) << row;
        EXPECT_EQ(Cell(0, 1), expected[static_cast<size_t>(row)].second) << row;
    }
}

TEST_F(ViewTest, AnEditOfOneTypeIsSavedIntoThatChunkOnly) {
    Open(SameIdOfEveryType());
    const Payloads before = ReadPayloads(m_strPath);
    SelectResource(3);  // TTAs #7
    SelectRows({0});
    m_view.GetTextEdit()->setPlainText(QStringLiteral("Sit down"));
    SelectResource(2);  // the store on selection change goes to the TTAs chunk
    SelectRows({0});
    m_view.GetTextEdit()->setPlainText(QStringLiteral("Armchair \u00E9"));
    ASSERT_TRUE(m_doc.OnSaveDocument(m_strPath));

    Payloads after = ReadPayloads(m_strPath);
    EXPECT_EQ(after.at({kTypePieMenuStrings, 7}), MakePlainPayload({"Sit down"}));
    // The UTF-8 resource keeps its layout and stores the text as UTF-8.
    EXPECT_EQ(after.at({kTypeCatalogStrings, 7}),
              BuildUtf8Payload({{{"Armchair \xC3\xA9", "Sits one"}}}));
    after.erase({kTypePieMenuStrings, 7});
    after.erase({kTypeCatalogStrings, 7});
    Payloads unchanged = before;
    unchanged.erase({kTypePieMenuStrings, 7});
    unchanged.erase({kTypeCatalogStrings, 7});
    EXPECT_EQ(after, unchanged);
}

TEST_F(ViewTest, Utf8ResourceShowsEveryLanguageAndTakesAnyCharacter) {
    Utf8Sets sets(20);
    sets[0] = {{"Chair", ""}};
    sets[14] = {{"\xE6\xA4\x85\xE5\xAD\x90", "\xE2\x80\x9C\xE6\xA4\x85\xE2\x80\x9D"}};
    Open({MakeChunk("STR#", 1, BuildUtf8Payload(sets), "u")});
    EXPECT_TRUE(m_view.GetLanguageBox()->isEnabled());
    EXPECT_TRUE(m_view.GetUseLanguagesBox()->isChecked());
    EXPECT_TRUE(m_view.GetUseDescriptionsBox()->isChecked());
    ChooseLanguage(9);  // Japanese
    EXPECT_EQ(Cell(0, 1), QStringLiteral("\u6905\u5B50"));
    EXPECT_EQ(Cell(0, 2), QStringLiteral("\u201C\u6905\u201D"));

    // Polish text that windows-1250 could not hold is stored as it is typed.
    ChooseLanguage(10);
    SelectRows({0});
    m_view.GetTextEdit()->setPlainText(QStringLiteral("\u0142\u00F3d\u017A \u65E5"));
    EXPECT_EQ(m_view.GetStatusLabel()->text(), QString());
    EXPECT_EQ(Stored(0, 10),
              "\xC5\x82\xC3\xB3"
              "d\xC5\xBA \xE6\x97\xA5");
}

// Leaving UTF-8 for a layout without languages keeps only the US English texts: those must fit
// windows-1252, the others (whatever they hold) are dropped after the question, which names the
// code page the texts move to.
TEST_F(ViewTest, LeavingUtf8NeedsOnlyTheKeptTextsToFitAndAsksFirst) {
    Utf8Sets sets(20);
    sets[0] = {{"caf\xC3\xA9 \xE6\x97\xA5", ""}};  // US English text windows-1252 cannot hold
    sets[2] = {{"\xE6\x97\xA5", ""}};              // French: dropped, so no obstacle
    Open({MakeChunk("STR#", 1, BuildUtf8Payload(sets), "u")});

    m_messages.Answer({IDOK});
    m_view.GetUseLanguagesBox()->click();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text,
              "The layout stays UTF-8: \xE2\x80\x9C\xE6\x97\xA5\xE2\x80\x9D in the text of "
              "string #0 cannot be stored in US English text.");
    EXPECT_TRUE(m_view.GetUseLanguagesBox()->isChecked());
    EXPECT_EQ(m_view.Strings().GetLayout(), StringLayout::utf8);
    EXPECT_FALSE(m_view.IsChanged());
    EXPECT_FALSE(m_doc.IsModified());

    // Once the English text fits, the switch asks, defaulting to No, and No changes nothing.
    SelectRows({0});
    m_view.GetTextEdit()->setPlainText(QStringLiteral("caf\u00E9"));
    const std::string question =
        "The US English texts will be stored in windows-1252 instead of UTF-8. This keeps only "
        "the US English texts: 1 other language of 1 string will be removed when the resource "
        "is stored. Continue?";
    m_messages.Answer({IDNO});
    m_view.GetBasicModeBox()->click();
    ASSERT_EQ(m_messages.shown.size(), 2u);
    EXPECT_EQ(m_messages.shown[1].text, question);
    EXPECT_EQ(m_messages.shown[1].type, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
    EXPECT_EQ(m_view.Strings().GetLayout(), StringLayout::utf8);
    m_messages.Answer({IDYES});
    m_view.GetBasicModeBox()->click();
    EXPECT_EQ(m_view.Strings().GetLayout(), StringLayout::basic);
    EXPECT_EQ(Stored(0, 0), "caf\xE9");
    ASSERT_TRUE(m_doc.OnSaveDocument(m_strPath));
    EXPECT_EQ(ReadPayloads(m_strPath).at({kTypeStrings, 1}), BasicPayload({"caf\xE9"}));
}

}  // namespace
