// Tools > Translation Memories and the Suggestions panel, driven with scripted dialogs: a memory
// built from a folder joins the list kept in the profile, a cancelled build writes nothing, and a
// suggestion goes into the selected string as one step of the history.
#include "tests/app/AppFixture.h"

#include "app/Resource.h"
#include "app/TranslationMemories.h"
#include "document/TallyglassDoc.h"
#include "framework/doc/Profile.h"
#include "tests/support/IffBytes.h"
#include "view/SuggestionsPanel.h"
#include "view/TallyglassView.h"

#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTableWidget>
#include <QTimer>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kFrench = 2;

// STR# 128, multilingual: a block of English texts, then a block of French ones where given.
std::vector<uint8_t> MultilingualFile(
    const std::vector<std::pair<std::string, std::string>>& rows) {
    size_t count = 0;
    std::vector<uint8_t> records;
    for (const auto& [code, french] : {std::pair<uint8_t, bool>{1, false}, {3, true}}) {
        for (const auto& row : rows) {
            const std::string& text = french ? row.second : row.first;
            if (text.empty()) {
                continue;
            }
            records.push_back(code);
            records.insert(records.end(), text.begin(), text.end());
            records.insert(records.end(), {0, 0});
            ++count;
        }
    }
    std::vector<uint8_t> payload = {0xFD, 0xFF, static_cast<uint8_t>(count), 0};
    payload.insert(payload.end(), records.begin(), records.end());
    return MakeIffFile({MakeChunk("STR#", 128, payload, "names")});
}

class TranslationMemoriesTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        std::filesystem::create_directories(Path("game"));
        WriteFile("game/table.iff", MultilingualFile({{"Table", "Tableau"}, {"Chair", "Chaise"}}));
        m_strFile = WriteFile("chair.iff", MultilingualFile({{"Chair", ""}, {"Tables", ""}}));
        ASSERT_TRUE(Start({m_strFile}));
        m_runModal = [this](QDialog& dialog) {
            if (auto* memories = dynamic_cast<CMemoriesDialog*>(&dialog)) {
                if (m_build)
                    m_build(*memories);
                m_dialogPaths = memories->GetPaths();
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
    // Builds game.tmx from the folder through the dialog.
    void BuildFromFolder() {
        m_dialogs.Answer(Path("game"));
        m_dialogs.Answer(Path("game.tmx"));
        m_build = [](CMemoriesDialog& dialog) { dialog.OnBuild(false); };
        Command(ID_TOOLS_TRANSLATION_MEMORIES);
    }

    std::string m_strFile;
    std::vector<std::string> m_dialogPaths;  // the list as the dialog last showed it
    std::function<void(CMemoriesDialog&)> m_build;
};

TEST_F(TranslationMemoriesTest, ABuiltMemoryIsKeptInTheProfileAndItsSuggestionsAreUsed) {
    CTranslationMemories* memories = m_pApp->GetMemories();
    ASSERT_NE(memories, nullptr);
    EXPECT_FALSE(memories->GetDock()->isVisibleTo(m_pApp->GetMainFrame()));
    BuildFromFolder();
    ASSERT_EQ(m_dialogs.requests.size(), 2u);
    EXPECT_EQ(m_dialogs.requests[0].kind, FileDialogRequest::folder);
    EXPECT_EQ(m_dialogs.requests[1].proposedName, "game.tmx");
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text, "game.tmx: 2 units from 1 files.");
    EXPECT_EQ(m_pProfile->GetString(CTranslationMemories::kSection, "File1"), Path("game.tmx"));
    EXPECT_TRUE(memories->GetDock()->isVisibleTo(m_pApp->GetMainFrame()));

    // "Tables" in French: "Table" is a fuzzy suggestion; "Chair" has an exact one.
    CTallyglassView* view = m_pApp->GetView();
    view->GetLanguageBox()->setCurrentIndex(kFrench);
    view->SelectRows({1});
    CSuggestionsPanel* panel = memories->GetPanel();
    ASSERT_EQ(panel->Table()->rowCount(), 1);
    EXPECT_EQ(panel->Table()->item(0, 0)->text(), QStringLiteral("83%  Ctrl+1"));
    view->SelectRows({0});
    ASSERT_GE(panel->Table()->rowCount(), 1);
    EXPECT_EQ(panel->Table()->item(0, 0)->text(), QStringLiteral("exact  Ctrl+1"));
    EXPECT_EQ(panel->TranslationAt(0), QStringLiteral("Chaise"));

    panel->Choose(0);
    EXPECT_EQ(French(0), "Chaise");
    EXPECT_EQ(view->GetTextEdit()->toPlainText(), QStringLiteral("Chaise"));
    EXPECT_EQ(m_pApp->GetDocument()->m_undo.GetUndoText(), "Use Suggestion");
    Command(ID_EDIT_UNDO);
    EXPECT_EQ(French(0), "");

    // Next start: the memory comes back from the profile.
    Stop();
    ASSERT_TRUE(Start({m_strFile}));
    EXPECT_EQ(m_pApp->GetMemories()->GetPaths(), std::vector<std::string>{Path("game.tmx")});
    // With the suggestions shown the window still fits an 800 x 600 screen.
    EXPECT_TRUE(m_pApp->GetMemories()->GetDock()->isVisibleTo(m_pApp->GetMainFrame()));
    EXPECT_LE(m_pApp->GetMainFrame()->minimumHeight(), 600);
}

TEST_F(TranslationMemoriesTest, ACancelledBuildWritesNothing) {
    m_dialogs.Answer(Path("game"));
    m_dialogs.Answer(Path("game.tmx"));
    m_build = [](CMemoriesDialog& dialog) {
        // The progress dialog is cancelled as soon as it asks the event loop.
        QTimer::singleShot(0, &dialog, [&dialog] {
            if (auto* progress = dialog.findChild<QProgressDialog*>())
                progress->cancel();
        });
        dialog.OnBuild(false);
    };
    Command(ID_TOOLS_TRANSLATION_MEMORIES);
    EXPECT_FALSE(std::filesystem::exists(Path("game.tmx")));
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text, "The build was cancelled; nothing was written.");
    EXPECT_TRUE(m_dialogPaths.empty());
}

}  // namespace
