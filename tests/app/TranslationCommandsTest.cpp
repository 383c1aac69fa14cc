// File > Export Translation and Import Translation, driven with scripted dialogs: the catalog
// written, the summary asked about before anything changes, one undo step, and a refusal that
// changes nothing.
#include "tests/app/AppFixture.h"

#include "app/Resource.h"
#include "app/TranslationCommands.h"
#include "document/TallyglassDoc.h"
#include "exchange/PoCatalog.h"
#include "far/FarArchive.h"
#include "framework/doc/MessageBoxService.h"
#include "tests/support/FarBuilder.h"
#include "tests/support/IffBytes.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

#include <QComboBox>
#include <QDialog>

#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kFrench = 2;

class TranslationCommandsTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        m_strFile = WriteFile("chair.iff", MakeChairsFile());
        ASSERT_TRUE(Start({m_strFile}));
        // Every dialog is accepted with French as the translation.
        m_runModal = [this](QDialog& dialog) {
            if (auto* translation = dynamic_cast<CTranslationDialog*>(&dialog)) {
                translation->m_pTarget->setCurrentIndex(kFrench);
                translation->m_pScope->setCurrentIndex(m_nScope);
                ++m_nDialogs;
                dialog.accept();
            }
        };
    }
    [[nodiscard]] std::string French(size_t entry) const {
        CStringSet holder;
        const CStringSet* strings =
            m_pApp->GetDocument()->m_editor.Content({kTypeStrings, 128}, holder);
        return strings != nullptr ? std::string(strings->GetSlot(entry, kFrench).text) : "?";
    }
    void WriteTranslation(const std::string& path, const std::string& second) {
        std::vector<TranslationUnit> units(2);
        units[0] = {"STR#:128:0", {"chair.iff:STR#:128:0"}, "Chair", "Chaise", "", "", false};
        units[1] = {"STR#:128:1", {"chair.iff:STR#:128:1"}, "Table", second, "", "", false};
        std::string error;
        ASSERT_TRUE(WritePoCatalog(path, {"fr", "en_US"}, units, error)) << error;
    }

    std::string m_strFile;
    int m_nDialogs = 0;
    int m_nScope = 0;  // the open file
};

TEST_F(TranslationCommandsTest, ExportWritesTheCatalogOfTheChosenLanguage) {
    const std::string po = Path("chair.fr.po");
    m_dialogs.Answer(po);
    Command(ID_FILE_EXPORT_TRANSLATION);
    EXPECT_EQ(m_nDialogs, 1);
    ASSERT_EQ(m_dialogs.requests.size(), 1u);
    EXPECT_EQ(m_dialogs.requests[0].proposedName, "chair.iff.fr.po");
    CatalogInfo info;
    std::vector<TranslationUnit> units;
    std::string error;
    ASSERT_TRUE(ReadPoCatalog(po, info, units, error)) << error;
    EXPECT_EQ(info.language, "fr");
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].target, "Chaise");
    EXPECT_EQ(units[1].target, "");
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(TranslationCommandsTest, ImportShowsTheSummaryAndAppliesOneUndoableStep) {
    const std::string po = Path("in.po");
    WriteTranslation(po, "Tableau");
    // Declined first: nothing changes.
    m_dialogs.Answer(po);
    m_messages.Answer({IDNO});
    Command(ID_FILE_IMPORT_TRANSLATION);
    ASSERT_NE(m_messages.Last(), nullptr);
    EXPECT_EQ(m_messages.Last()->text.rfind("1 applied, 1 unchanged, 0 untranslated", 0), 0u)
        << m_messages.Last()->text;
    EXPECT_EQ(m_messages.Last()->type & MB_DEFMASK, MB_DEFBUTTON2);
    EXPECT_EQ(French(1), "");
    EXPECT_FALSE(m_pApp->GetDocument()->IsModified());

    m_dialogs.Answer(po);
    m_messages.Answer({IDYES});
    Command(ID_FILE_IMPORT_TRANSLATION);
    EXPECT_EQ(French(1), "Tableau");
    EXPECT_TRUE(m_pApp->GetDocument()->IsModified());
    EXPECT_EQ(m_pApp->GetDocument()->m_undo.GetUndoText(), "Import Translation");
    Command(ID_EDIT_UNDO);
    EXPECT_EQ(French(1), "");
    EXPECT_FALSE(m_pApp->GetDocument()->IsModified());
}

TEST_F(TranslationCommandsTest, ARefusedImportIsShownAndChangesNothing) {
    const std::string po = Path("in.po");
    WriteTranslation(po, "Sto\xC5\x82");
    m_dialogs.Answer(po);
    Command(ID_FILE_IMPORT_TRANSLATION);
    ASSERT_NE(m_messages.Last(), nullptr);
    EXPECT_NE(m_messages.Last()->text.find("refused; nothing was changed"), std::string::npos);
    EXPECT_NE(m_messages.Last()->text.find("\xE2\x80\x9C\xC5\x82\xE2\x80\x9D cannot be stored in "
                                           "French text"),
              std::string::npos)
        << m_messages.Last()->text;
    EXPECT_EQ(m_messages.Last()->type & MB_BUTTONMASK, MB_OK);
    EXPECT_EQ(French(1), "");
    EXPECT_FALSE(m_pApp->GetDocument()->IsModified());
}

// A catalog of two files whose resources share their keys, exported with the command line's
// --single: the editor applies to the open file exactly what the command line applies to it.
TEST_F(TranslationCommandsTest, ASingleCatalogOfManyFilesImportsAsTheCommandLineImportsIt) {
    namespace fs = std::filesystem;
    fs::create_directories(Path("game"));
    const std::string chair = WriteFile("game/chair.iff", MakeChairsFile());
    WriteFile("game/lamp.iff", MakeChairsFile({{1, "Lamp"}, {1, "Table"}, {3, "Lampe"}}));
    const std::string po = Path("all.po");
    const ProgramResult exported = RunProgram(
        {TALLYGLASS_CLI, "export", Path("game"), "--lang", "French", "--single", "-o", po});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    CatalogInfo info;
    std::vector<TranslationUnit> units;
    std::string error;
    ASSERT_TRUE(ReadPoCatalog(po, info, units, error)) << error;
    // "Chair" and "Lamp" share a key and are keyed by their files; "Table" is one unit for both.
    ASSERT_EQ(units.size(), 3u);
    for (TranslationUnit& unit : units)
        unit.target = "T-" + unit.source;
    ASSERT_TRUE(WritePoCatalog(po, info, units, error)) << error;

    fs::copy(Path("game"), Path("cli"));
    const ProgramResult imported =
        RunProgram({TALLYGLASS_CLI, "import", Path("cli"), "--from", po});
    ASSERT_EQ(imported.exitCode, 0) << imported.out << imported.err;

    OpenViaDialog(chair);
    m_dialogs.Answer(po);
    m_messages.Answer({IDYES});
    Command(ID_FILE_IMPORT_TRANSLATION);
    EXPECT_EQ(French(0), "T-Chair");
    EXPECT_EQ(French(1), "T-Table");
    m_messages.Clear();
    Command(ID_FILE_SAVE);
    EXPECT_TRUE(m_messages.shown.empty());
    EXPECT_TRUE(ReadFile(chair) == ReadFile(Path("cli/chair.iff")))
        << "the editor saved other bytes than the command line";
}

TEST_F(TranslationCommandsTest, AnArchiveIsExportedAndImportedAsAWholeAfterASafeQuestion) {
    FarBuilder far;
    far.entries.push_back({"objects\\a.iff", MakeChairsFile()});
    far.entries.push_back({"objects\\b.iff", MakeChairsFile()});
    const std::string archive = WriteFile("Objects.far", far.Build());
    const std::vector<uint8_t> before = ReadBytes(archive);
    m_nScope = static_cast<int>(CTranslationDialog::Scope::archive);

    const std::string po = Path("objects.fr.po");
    m_dialogs.Answer(archive);
    m_dialogs.Answer(po);
    Command(ID_FILE_EXPORT_TRANSLATION);
    ASSERT_EQ(m_dialogs.requests.size(), 2u);
    EXPECT_EQ(m_dialogs.requests[1].proposedName, "Objects.far.fr.po");
    CatalogInfo info;
    std::vector<TranslationUnit> units;
    std::string error;
    ASSERT_TRUE(ReadPoCatalog(po, info, units, error)) << error;
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[1].references,
              (std::vector<std::string>{"Objects.far/objects/a.iff:STR#:128:1",
                                        "Objects.far/objects/b.iff:STR#:128:1"}));

    units[1].target = "Tableau";
    ASSERT_TRUE(WritePoCatalog(po, info, units, error)) << error;
    // Declined (the default): the archive keeps its bytes.
    m_dialogs.Answer(po);
    m_dialogs.Answer(archive);
    m_messages.Answer({IDNO});
    Command(ID_FILE_IMPORT_TRANSLATION);
    ASSERT_NE(m_messages.Last(), nullptr);
    EXPECT_NE(m_messages.Last()->text.find("Write these translations into 1 file?"),
              std::string::npos)
        << m_messages.Last()->text;
    EXPECT_EQ(m_messages.Last()->type & MB_DEFMASK, MB_DEFBUTTON2);
    EXPECT_EQ(ReadBytes(archive), before);

    m_dialogs.Answer(po);
    m_dialogs.Answer(archive);
    m_messages.Answer({IDYES});
    Command(ID_FILE_IMPORT_TRANSLATION);
    CFarArchive written;
    ASSERT_EQ(written.Load(ReadBytes(archive)), CFarArchive::Status::ok);
    ASSERT_EQ(written.GetEntries().size(), 2u);
    for (size_t entry = 0; entry < 2; ++entry) {
        const std::span<const uint8_t> bytes = written.EntryBytes(entry);
        const std::string text(bytes.begin(), bytes.end());
        EXPECT_NE(text.find("Tableau"), std::string::npos) << entry;
    }
    // The open file was not part of it.
    EXPECT_FALSE(m_pApp->GetDocument()->IsModified());
}

}  // namespace
