// Files inside FAR archives in the editor: the entry chooser, and an entry opened, titled,
// remembered, edited and saved back into its archive.
#include "tests/app/AppFixture.h"

#include "app/FarEntryDialog.h"
#include "app/Resource.h"
#include "document/TallyglassDoc.h"
#include "far/FarArchive.h"
#include "iff/ChunkTypes.h"
#include "tests/support/FarBuilder.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

class FarArchiveAppTest : public AppFixture {
protected:
    std::string WriteArchive() {
        FarBuilder far;
        far.shortNames = true;
        far.entries = {{"objects\\Chair.iff", ReadFile(WriteIffFile("chair.iff"))},
                       {"notes.txt", {'h', 'i'}},
                       {"objects\\Table.iff", ReadFile(WriteIffFile("table.iff"))}};
        original = far.Build();
        return WriteFile("Objects.far", original);
    }
    std::vector<uint8_t> original;
};

TEST_F(FarArchiveAppTest, TheChooserListsTheIffFilesAndFiltersThem) {
    WriteArchive();
    CFarArchive archive;
    ASSERT_EQ(archive.Load(original), CFarArchive::Status::ok);
    const std::vector<size_t> iff = CTallyglassDoc::FindIffEntries(archive);
    ASSERT_EQ(iff, (std::vector<size_t>{0, 2}));
    CFarEntryDialog dialog(archive, QStringLiteral("Objects.far"), iff);
    QListWidget* list = dialog.EntryList();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("objects\\Chair.iff"));
    EXPECT_EQ(dialog.SelectedEntry(), 0u);
    QPushButton* ok = dialog.Buttons()->button(QDialogButtonBox::Ok);

    dialog.FilterEdit()->setText(QStringLiteral("TABLE"));
    EXPECT_TRUE(list->item(0)->isHidden());
    EXPECT_FALSE(list->item(1)->isHidden());
    EXPECT_EQ(dialog.SelectedEntry(), 2u);
    EXPECT_TRUE(ok->isEnabled());

    dialog.FilterEdit()->setText(QStringLiteral("sofa"));
    EXPECT_EQ(dialog.SelectedEntry(), std::nullopt);
    EXPECT_FALSE(ok->isEnabled());
}

TEST_F(FarArchiveAppTest, AnEntryOpensTitledSavesIntoTheArchiveAndStaysInTheRecentFiles) {
    const std::string archivePath = WriteArchive();
    ASSERT_TRUE(Start());
    CTallyglassDoc* doc = m_pApp->GetDocument();
    int asked = 0;
    doc->SetEntryChooser(
        [&asked](const CFarArchive&, const std::string&, const std::vector<size_t>& iff) {
            ++asked;
            return std::optional<size_t>(iff.front());
        });
    OpenViaDialog(archivePath);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Title(), QStringLiteral("Chair.iff (Objects.far) - Tallyglass"));
    ASSERT_GE(m_pApp->GetRecentFiles().GetSize(), 1);
    EXPECT_EQ(m_pApp->GetRecentFiles().GetEntry(0), archivePath + ":objects\\Chair.iff");

    ASSERT_TRUE(doc->m_editor.Select(kTypeStrings, 128).Ok());
    ASSERT_TRUE(doc->m_editor.SetString(0, 0, 0, u"Howdy").Ok());
    Command(ID_FILE_SAVE);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(m_messages.shown.empty());
    EXPECT_TRUE(m_dialogs.requests.size() == 1u) << "Save asked for a name";
    CFarArchive saved;
    ASSERT_EQ(saved.Load(ReadFile(archivePath)), CFarArchive::Status::ok);
    EXPECT_EQ(saved.GetVariant(), CFarArchive::Variant::v1b);
    ASSERT_EQ(saved.GetEntries().size(), 3u);
    CFarArchive before;
    ASSERT_EQ(before.Load(original), CFarArchive::Status::ok);
    for (size_t i = 1; i < 3; ++i) {
        const auto a = saved.EntryBytes(i);
        const auto b = before.EntryBytes(i);
        EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << i;
    }

    // The recent entry opens the same entry again, without the chooser.
    Stop();
    ASSERT_TRUE(Start({archivePath + ":objects\\Chair.iff"}));
    EXPECT_EQ(Title(), QStringLiteral("Chair.iff (Objects.far) - Tallyglass"));
    doc = m_pApp->GetDocument();
    ASSERT_TRUE(doc->m_editor.Select(kTypeStrings, 128).Ok());
    std::string text;
    ASSERT_TRUE(doc->m_editor.Strings().GetString(0, 0, 0, text));
    EXPECT_EQ(text, "Howdy");
}

}  // namespace
