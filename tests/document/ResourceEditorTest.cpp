// The editing model: every edit a step of the history, steps that merge, undo and redo across
// resources and stores, and the bytes a resource is stored with once its steps are undone.

#include "document/ResourceEditor.h"
#include "document/TextSearch.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "framework/stream/MemFile.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "strings/StringSet.h"
#include "strings/TextResources.h"
#include "tests/support/IffBuilder.h"
#include "tests/support/IffBytes.h"
#include "tests/support/Utf8Payload.h"

namespace {

using Key = std::pair<ChunkType, uint16_t>;
using Bytes = std::vector<uint8_t>;

// A multilingual payload with a filler byte after its records, as some game files have: not the
// bytes its re-encoding gives.
Bytes FilledMultilingual() {
    Bytes out = {0xFD, 0xFF, 3, 0};
    for (const auto& [code, text] :
         std::vector<std::pair<uint8_t, std::string>>{{1, "Chair"}, {1, "Sit"}, {3, "Chaise"}}) {
        out.push_back(code);
        out.insert(out.end(), text.begin(), text.end());
        out.insert(out.end(), {0, 0});
    }
    out.push_back(0xA3);
    return out;
}

// The Basic layout: the count big-endian, then each text after its length byte.
Bytes BasicPayload(const std::vector<std::string>& texts) {
    Bytes out = {static_cast<uint8_t>(texts.size() >> 8), static_cast<uint8_t>(texts.size())};
    for (const std::string& text : texts) {
        out.push_back(static_cast<uint8_t>(text.size()));
        out.insert(out.end(), text.begin(), text.end());
    }
    return out;
}

class ResourceEditorTest : public testing::Test {
protected:
    void SetUp() override {
        Utf8Sets utf8(20);
        utf8[0] = {{"Lamp", "Gives light"}};
        utf8[2] = {{"Lampe", ""}};
        m_originals = {
            {{kTypeStrings, 1}, MakePlainPayload({"one", "two", "three"})},
            {{kTypeStrings, 2}, FilledMultilingual()},
            {{kTypeCatalogStrings, 2}, BuildUtf8Payload(utf8)},
            {{kTypePieMenuStrings, 1}, MakePlainPayload({"Sit", "Stand"})},
            {{kTypeStrings, 3}, BasicPayload({std::string(250, 'a')})},
        };
        IffBuilder builder;
        for (const auto& [key, payload] : m_originals) {
            builder.Chunk(key.first, key.second, payload, "r");
        }
        m_bytes = builder.Build();
        m_file = std::make_unique<CMemFile>(m_bytes.data(), m_bytes.size());
        ASSERT_NE(m_iff.Attach(*m_file), 0u);
        int error = 0;
        ASSERT_TRUE(m_iff.Open(&error, false));
    }

    Bytes Payload(const Key& key) {
        ChunkHandle handle = 0;
        EXPECT_TRUE(m_iff.FindChunk(handle, key.first, key.second));
        const CChunkRecord* record = CChunkStore::Instance().Resolve(handle);
        Bytes out(record->size);
        EXPECT_TRUE(m_iff.CopyPayload(handle, out.data()));
        return out;
    }

    // What every resource holds now: its layout, entries and every filled slot. (Not its bytes:
    // a UTF-8 resource stored and read again remembers how many pairs each language had.)
    std::map<Key, std::string> State() {
        std::map<Key, std::string> state;
        for (const auto& [key, payload] : m_originals) {
            EXPECT_TRUE(m_editor.Select(key.first, key.second).Ok());
            const CStringSet& strings = m_editor.Strings();
            std::string& out = state[key];
            out = std::to_string(static_cast<int>(strings.GetLayout())) + " " +
                  std::to_string(strings.GetCount()) + ";";
            for (size_t i = 0; i < strings.GetCount(); ++i) {
                for (size_t slot = 0; slot < kSlotCount; ++slot) {
                    const StringSlot value = strings.GetSlot(i, slot);
                    if (!value.IsEmpty()) {
                        out += std::to_string(i) + "/" + std::to_string(slot) + "=" +
                               std::string(value.text) + "|" + std::string(value.description) + ";";
                    }
                }
            }
        }
        return state;
    }

    std::map<Key, Bytes> m_originals;
    Bytes m_bytes;
    std::unique_ptr<CMemFile> m_file;
    CIffFile m_iff;
    CUndoStack m_stack;
    CResourceEditor m_editor{m_iff, m_stack};
};

TEST_F(ResourceEditorTest, KeystrokesInOneStringMergeAndOtherEditsAreStepsOfTheirOwn) {
    ASSERT_TRUE(m_editor.Select(kTypeStrings, 1).Ok());
    for (const char16_t* text : {u"o", u"on", u"one!"}) {
        ASSERT_TRUE(m_editor.SetString(0, 0, 0, text).Ok());
    }
    EXPECT_EQ(m_stack.GetCount(), 1u);
    EXPECT_EQ(m_stack.GetUndoText(), "Typing");
    ASSERT_TRUE(m_editor.SetString(1, 0, 0, u"TWO").Ok());   // another string
    ASSERT_TRUE(m_editor.SetString(3, 0, 0, u"four").Ok());  // an append
    ASSERT_TRUE(m_editor.SetString(3, 0, 0, u"four!").Ok());
    EXPECT_EQ(m_stack.GetCount(), 3u);
    ASSERT_TRUE(m_editor.SetLayout(true, false, false).Ok());
    EXPECT_EQ(m_stack.GetUndoText(), "Change Layout");
    EXPECT_EQ(m_stack.GetCount(), 4u);

    // Undone one by one: the layout, the append (the entry goes again), the other string, the
    // merged typing.
    ASSERT_TRUE(m_editor.Undo().Ok());
    EXPECT_FALSE(m_editor.Strings().m_bBasic);
    ASSERT_TRUE(m_editor.Undo().Ok());
    EXPECT_EQ(m_editor.Strings().GetCount(), 3u);
    ASSERT_TRUE(m_editor.Undo().Ok());
    ASSERT_TRUE(m_editor.Undo().Ok());
    EXPECT_EQ(m_editor.Strings().GetSlot(0, 0).text, "one");
    EXPECT_EQ(m_editor.Strings().GetSlot(1, 0).text, "two");
    EXPECT_FALSE(m_stack.CanUndo());
    EXPECT_TRUE(m_editor.Undo().Ok());  // nothing left: nothing happens
}

TEST_F(ResourceEditorTest, RulesOfTheLayoutAreRefusedWithAReasonAndPushNothing) {
    ASSERT_TRUE(m_editor.Select(kTypeStrings, 1).Ok());
    EXPECT_EQ(m_editor.SetString(0, 2, 0, u"x").status, EditStatus::badSlot);
    EXPECT_EQ(m_editor.SetString(0, 0, 1, u"x").status, EditStatus::noDescriptions);
    const EditResult beyond = m_editor.SetString(4, 0, 0, u"x");
    EXPECT_EQ(beyond.status, EditStatus::badEntry);
    EXPECT_EQ(beyond.reason, "entry 4 is out of range: the resource has 3 entries.");
    EXPECT_EQ(m_editor.CopyToAll({3}, 0).status, EditStatus::badEntry);
    EXPECT_EQ(m_editor.Select(kTypeStrings, 99).status, EditStatus::noSuchResource);
    EXPECT_FALSE(m_editor.IsLoaded());
    EXPECT_EQ(m_editor.SetString(0, 0, 0, u"x").status, EditStatus::noResource);

    // Leaving UTF-8 with a US English text windows-1252 cannot hold.
    ASSERT_TRUE(m_editor.Select(kTypeCatalogStrings, 2).Ok());
    ASSERT_TRUE(m_editor.SetString(0, 0, 0, u"\u65E5").Ok());
    const size_t steps = m_stack.GetCount();
    EXPECT_EQ(m_editor.SetLayout(false, false, true).status, EditStatus::layoutRefused);
    EXPECT_EQ(m_editor.LeaveUtf8().status, EditStatus::layoutRefused);
    EXPECT_EQ(m_stack.GetCount(), steps);
    EXPECT_EQ(m_editor.Strings().GetLayout(), StringLayout::utf8);
}

TEST_F(ResourceEditorTest, UndoInAnotherResourceSelectsItAndSaysWhere) {
    std::vector<EditPlace> shown;
    m_editor.SetShowHandler([&shown](const EditPlace& place) { shown.push_back(place); });
    ASSERT_TRUE(m_editor.Select(kTypeStrings, 2).Ok());
    ASSERT_TRUE(m_editor.SetString(1, 2, 0, u"Asseoir").Ok());
    ASSERT_TRUE(m_editor.Select(kTypePieMenuStrings, 1).Ok());  // stores #2 first
    EXPECT_NE(Payload({kTypeStrings, 2}), m_originals.at({kTypeStrings, 2}));

    ASSERT_TRUE(m_editor.Undo().Ok());
    EXPECT_EQ(m_editor.GetType(), kTypeStrings);
    EXPECT_EQ(m_editor.GetId(), 2);
    EXPECT_EQ(m_editor.Strings().GetSlot(1, 2).text, "");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].type, kTypeStrings);
    EXPECT_EQ(shown[0].id, 2);
    EXPECT_EQ(shown[0].entry, 1u);
    EXPECT_EQ(shown[0].slot, 2);
    // Stored with every step undone: the bytes it was read with, filler byte and all.
    ASSERT_TRUE(m_editor.Store().Ok());
    EXPECT_EQ(Payload({kTypeStrings, 2}), m_originals.at({kTypeStrings, 2}));
}

TEST_F(ResourceEditorTest, AStoreThatCannotSucceedKeepsTheSelectionAndTheCopy) {
    ASSERT_TRUE(m_editor.Select(kTypePieMenuStrings, 1).Ok());
    ASSERT_TRUE(m_editor.SetString(0, 0, 0, u"Sit down").Ok());
    ASSERT_TRUE(m_editor.Select(kTypeStrings, 1).Ok());
    for (uint32_t i = 3; i <= 0xFFFF; ++i) {
        ASSERT_TRUE(m_editor.SetString(static_cast<uint16_t>(i), 0, 0, u"e").Ok());
    }
    const EditResult away = m_editor.Select(kTypeCatalogStrings, 2);
    EXPECT_EQ(away.status, EditStatus::tooLarge);
    EXPECT_EQ(away.reason, CResourceEditor::kStoreTooLarge);
    EXPECT_EQ(m_editor.GetId(), 1);
    EXPECT_EQ(m_editor.GetType(), kTypeStrings);
    EXPECT_TRUE(m_editor.IsChanged());

    // One undo and it fits again: the selection can move, and the store keeps 65,535 entries.
    ASSERT_TRUE(m_editor.Undo().Ok());
    EXPECT_EQ(m_editor.Strings().GetCount(), 0xFFFFu);
    ASSERT_TRUE(m_editor.Select(kTypeCatalogStrings, 2).Ok());
    ASSERT_TRUE(m_editor.Select(kTypeStrings, 1).Ok());
    EXPECT_EQ(m_editor.Strings().GetCount(), 0xFFFFu);
}

// Random edits, undos, redos, selections and stores against the states the history passed
// through; after undoing everything every chunk holds its original bytes.
TEST_F(ResourceEditorTest, RandomHistoriesAgreeWithTheStatesTheyPassedThrough) {
    std::mt19937 random(20261209);
    const std::vector<Key> keys = {
        {kTypeStrings, 1}, {kTypeStrings, 2}, {kTypeCatalogStrings, 2}, {kTypePieMenuStrings, 1}};
    const std::vector<std::u16string> texts = {u"", u"a", u"b", u"ab", u"\u00E9", u"long text"};
    std::vector<std::map<Key, std::string>> states = {State()};
    size_t index = 0;
    int undone = 0;
    int redone = 0;
    for (int op = 0; op < 1000; ++op) {
        const Key key = keys[random() % keys.size()];
        const int kind = static_cast<int>(random() % 10);
        if (kind <= 4) {
            ASSERT_TRUE(m_editor.Select(key.first, key.second).Ok());
            const CStringSet& strings = m_editor.Strings();
            const auto entry = static_cast<uint16_t>(random() % (strings.GetCount() + 1));
            const bool languages = strings.GetLayout() == StringLayout::multilingual ||
                                   strings.GetLayout() == StringLayout::utf8;
            const int slot = languages ? static_cast<int>(random() % 3) : 0;
            const bool descriptions = strings.GetLayout() != StringLayout::basic &&
                                      strings.GetLayout() != StringLayout::plain;
            const int part = descriptions ? static_cast<int>(random() % 2) : 0;
            const std::u16string& text = texts[random() % texts.size()];
            ASSERT_TRUE(m_editor.SetString(entry, slot, part, text).Ok());
            // A new step, or one merged into the step below.
            states.resize(index + 1);
            if (m_stack.GetIndex() > index) {
                ++index;
                states.push_back({});
            }
            states[index] = State();
        } else if (kind == 5) {
            ASSERT_TRUE(m_editor.Select(key.first, key.second).Ok());
            // One draw per statement: the order of arguments is the compiler's to choose.
            const bool basic = random() % 4 == 0;
            const bool languages = random() % 2 == 0;
            const bool descriptions = random() % 2 == 0;
            if (m_editor.SetLayout(basic, languages, descriptions).Ok()) {
                ASSERT_EQ(m_stack.GetIndex(), index + 1);
                states.resize(index + 1);
                states.push_back(State());
                ++index;
            }
        } else if (kind <= 7) {
            undone += m_stack.CanUndo() ? 1 : 0;
            ASSERT_TRUE(m_editor.Undo().Ok());
            index -= index > 0 ? 1 : 0;
            ASSERT_EQ(State(), states[index]) << "op " << op;
        } else if (kind == 8) {
            redone += m_stack.CanRedo() ? 1 : 0;
            ASSERT_TRUE(m_editor.Redo().Ok());
            index += index + 1 < states.size() ? 1 : 0;
            ASSERT_EQ(State(), states[index]) << "op " << op;
        } else {
            ASSERT_TRUE(m_editor.Store().Ok());
        }
        ASSERT_EQ(m_stack.GetIndex(), index);
    }
    EXPECT_GT(undone, 100);
    EXPECT_GT(redone, 20);
    EXPECT_GT(m_stack.GetCount(), 20u);
    while (m_stack.CanUndo()) {
        ASSERT_TRUE(m_editor.Undo().Ok());
    }
    ASSERT_TRUE(m_editor.Store().Ok());
    for (const auto& [key, payload] : m_originals) {
        EXPECT_EQ(Payload(key), payload) << ChunkTypeName(key.first) << " " << key.second;
    }
}

struct SearchRow {
    std::string name;
    SearchOptions options;
    std::u16string text;
    std::vector<std::pair<size_t, size_t>> matches;
};

TEST(TextSearchTest, LiteralRegexCaseAndWholeWords) {
    const std::vector<SearchRow> rows = {
        {"literal_case_folded",
         {u"chair", false, false, false},
         u"Chair, armchair",
         {{0, 5}, {10, 5}}},
        {"literal_match_case", {u"chair", true, false, false}, u"Chair, armchair", {{10, 5}}},
        {"whole_words", {u"chair", false, true, false}, u"Chair, armchair", {{0, 5}}},
        {"literal_dot_is_a_dot", {u"a.b", false, false, false}, u"axb a.b", {{4, 3}}},
        {"regex", {u"[0-9]+", false, false, true}, u"Comfort 6, fun 10", {{8, 1}, {15, 2}}},
        {"accented_case", {u"\u00E9t\u00E9", false, false, false}, u"\u00C9T\u00C9 x", {{0, 3}}},
        {"across_a_line_break", {u"a\nb", false, false, false}, u"a\nb", {{0, 3}}},
    };
    for (const SearchRow& row : rows) {
        CTextSearch search;
        std::string error;
        ASSERT_TRUE(search.Compile(row.options, error)) << row.name << ": " << error;
        EXPECT_EQ(search.Matches(row.text), row.matches) << row.name;
    }
    CTextSearch search;
    std::string error;
    EXPECT_FALSE(search.Compile({u"(", false, false, true}, error));
    EXPECT_NE(error.find("not valid"), std::string::npos);
    EXPECT_FALSE(search.Compile({u"", false, false, false}, error));

    // Replacements: literal text stays literal, a regex may use its groups.
    ASSERT_TRUE(search.Compile({u"$1", false, false, false}, error));
    size_t count = 0;
    EXPECT_EQ(search.ReplaceAll(u"costs $1", u"\\$2", count), u"costs \\$2");
    EXPECT_EQ(count, 1u);
    ASSERT_TRUE(search.Compile({u"(\\w+) (\\w+)", false, false, true}, error));
    for (const std::u16string_view replacement : {u"$2 $1", u"\\2 \\1"}) {
        EXPECT_EQ(search.ReplaceAll(u"rocking chair", replacement, count), u"chair rocking");
    }
    // An escaped backslash before a digit is a backslash and the digit.
    EXPECT_EQ(search.ReplaceAll(u"rocking chair", u"\\\\1", count), u"\\1");
}

TEST_F(ResourceEditorTest, FindGoesThroughEveryResourceInOrderAndRoundAgain) {
    CTextSearch search;
    std::string error;
    ASSERT_TRUE(search.Compile({u"t", false, false, false}, error));
    const std::vector<Key> order = {{kTypeStrings, 1}, {kTypeStrings, 2}, {kTypePieMenuStrings, 1}};
    SearchScope scope;
    SearchHit hit;
    ASSERT_TRUE(m_editor.Find(search, scope, order, nullptr, false, hit));
    EXPECT_EQ(hit.id, 1);
    EXPECT_EQ(hit.entry, 1u);  // "two"
    std::vector<std::tuple<uint16_t, size_t, size_t>> seen;
    SearchHit from = hit;
    for (int i = 0; i < 6; ++i) {
        seen.emplace_back(from.id, from.entry, from.start);
        ASSERT_TRUE(m_editor.Find(search, scope, order, &from, false, hit));
        from = hit;
    }
    // "two", "three" in STR# 1, "Sit" in STR# 2, "Sit" and "Stand" in TTAs 1, then round again.
    EXPECT_EQ(seen, (std::vector<std::tuple<uint16_t, size_t, size_t>>{
                        {1, 1, 0}, {1, 2, 0}, {2, 1, 2}, {1, 0, 2}, {1, 1, 1}, {1, 1, 0}}));
    // Backwards from "three" (where the loop stopped): "two".
    ASSERT_TRUE(m_editor.Find(search, scope, order, &from, true, hit));
    EXPECT_EQ(hit.type, kTypeStrings);
    EXPECT_EQ(hit.entry, 1u);
    ASSERT_TRUE(m_editor.Find(search, scope, order, &hit, true, hit));
    EXPECT_EQ(hit.type, kTypePieMenuStrings);  // round again, backwards
    EXPECT_EQ(hit.entry, 1u);
    // French only, and nothing there.
    scope.slot = 2;
    ASSERT_TRUE(m_editor.Find(search, scope, order, nullptr, false, hit));
    EXPECT_EQ(hit.id, 1);  // a layout without languages has only its slot 0 to search
    ASSERT_TRUE(search.Compile({u"zzz", false, false, false}, error));
    EXPECT_FALSE(m_editor.Find(search, SearchScope{}, order, nullptr, false, hit));
}

TEST_F(ResourceEditorTest, ReplaceAllIsOneStepOrNothingAtAll) {
    CTextSearch search;
    std::string error;
    ASSERT_TRUE(search.Compile({u"Sit", true, false, false}, error));
    const std::vector<Key> order = {{kTypeStrings, 2}, {kTypePieMenuStrings, 1}};
    size_t count = 0;
    // "ł" fits neither windows-1252 slot: nothing is replaced.
    const EditResult refused = m_editor.ReplaceAll(search, u"\u0142", SearchScope{}, order, count);
    EXPECT_EQ(refused.status, EditStatus::unencodable);
    EXPECT_EQ(refused.reason,
              "Nothing was replaced. \u201C\u0142\u201D cannot be stored in "
              "US English text (#2: string #1).");
    EXPECT_EQ(m_stack.GetCount(), 0u);

    ASSERT_TRUE(m_editor.ReplaceAll(search, u"Sit down", SearchScope{}, order, count).Ok());
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(m_stack.GetCount(), 1u);
    EXPECT_EQ(m_stack.GetUndoText(), "Replace All");
    ASSERT_TRUE(m_editor.Select(kTypeStrings, 2).Ok());
    EXPECT_EQ(m_editor.Strings().GetSlot(1, 0).text, "Sit down");
    ASSERT_TRUE(m_editor.Select(kTypePieMenuStrings, 1).Ok());
    EXPECT_EQ(m_editor.Strings().GetSlot(0, 0).text, "Sit down");

    // One undo takes back both; stored, they are the bytes they were read with.
    ASSERT_TRUE(m_editor.Undo().Ok());
    ASSERT_TRUE(m_editor.Select(kTypeStrings, 1).Ok());
    for (const Key& key : order) {
        EXPECT_EQ(Payload(key), m_originals.at(key)) << key.second;
    }
}

TEST_F(ResourceEditorTest, ApplyChangesIsOneStepOverResourcesOrRefusedWhole) {
    const std::vector<TextChange> bad[] = {
        {{kTypeStrings, 2, 0, 2, 0, u"Fauteuil"}, {kTypeStrings, 2, 9, 2, 0, u"x"}},  // no entry
        {{kTypeStrings, 2, 0, 2, 0, u"Fauteuil"},
         {kTypeStrings, 1, 0, 2, 0, u"x"}},  // no languages
        {{kTypeStrings, 1, 0, 0, 1, u"x"}},  // no descriptions
        {{kTypeStrings, 7, 0, 0, 0, u"x"}},  // no resource
    };
    for (const auto& changes : bad) {
        EXPECT_FALSE(m_editor.ApplyChanges(changes, "Import Translation").Ok());
        EXPECT_EQ(m_stack.GetCount(), 0u);
    }
    // Texts equal to what they hold change nothing and push nothing.
    ASSERT_TRUE(m_editor.ApplyChanges({{kTypeStrings, 2, 0, 2, 0, u"Chaise"}}, "Import").Ok());
    EXPECT_EQ(m_stack.GetCount(), 0u);

    const auto before = State();
    ASSERT_TRUE(m_editor.Select(kTypeStrings, 1).Ok());
    ASSERT_TRUE(m_editor
                    .ApplyChanges({{kTypeStrings, 2, 1, 2, 0, u"Assieds-toi"},
                                   {kTypeCatalogStrings, 2, 0, 2, 1, u"Donne de la lumi\u00E8re"},
                                   {kTypeStrings, 2, 0, 2, 0, u"Chaise"}},
                                  "Import Translation")
                    .Ok());
    EXPECT_EQ(m_stack.GetCount(), 1u);
    EXPECT_EQ(m_stack.GetUndoText(), "Import Translation");
    EXPECT_EQ(m_editor.GetId(), 2u);  // the first resource it changed is selected
    EXPECT_EQ(m_editor.Strings().GetSlot(1, 2).text, "Assieds-toi");
    ASSERT_TRUE(m_editor.Select(kTypeCatalogStrings, 2).Ok());
    EXPECT_EQ(m_editor.Strings().GetSlot(0, 2).description, "Donne de la lumi\xC3\xA8re");
    ASSERT_TRUE(m_editor.Undo().Ok());
    EXPECT_EQ(State(), before);
    ASSERT_TRUE(m_editor.Select(kTypeStrings, 1).Ok());
    for (const Key& key : {Key{kTypeStrings, 2}, Key{kTypeCatalogStrings, 2}}) {
        EXPECT_EQ(Payload(key), m_originals.at(key)) << key.second;
    }
}

// Every way a text reaches the model is refused by the same rule with the same sentence, and
// changes nothing: typing (a paste is the same call), Replace All and an import.
TEST_F(ResourceEditorTest, TextsThatCannotBeStoredAreRefusedWithOneSentenceWhereverTheyComeFrom) {
    CTextSearch search;
    std::string error;
    ASSERT_TRUE(search.Compile({u"a", true, false, false}, error));
    const std::u16string nul(u"before\0after", 12);
    struct Row {
        const char* name;
        Key select;
        std::function<EditResult(CResourceEditor&)> edit;
        EditStatus status;
        std::string reason;
    };
    const std::vector<Row> rows = {
        {"typed into French",
         {kTypeStrings, 2},
         [](CResourceEditor& e) { return e.SetString(0, 2, 0, u"Sto\u0142"); },
         EditStatus::unencodable,
         "\u201C\u0142\u201D cannot be stored in French text."},
        {"typed without languages",
         {kTypeStrings, 1},
         [](CResourceEditor& e) { return e.SetString(0, 0, 0, u"\u0416"); },
         EditStatus::unencodable,
         "\u201C\u0416\u201D cannot be stored in US English text."},
        {"NUL in a code page",
         {kTypeStrings, 2},
         [&](CResourceEditor& e) { return e.SetString(0, 2, 1, nul); },
         EditStatus::unencodable,
         "A text cannot hold U+0000."},
        {"NUL in UTF-8",
         {kTypeCatalogStrings, 2},
         [&](CResourceEditor& e) { return e.SetString(0, 2, 0, nul); },
         EditStatus::unencodable,
         "A text cannot hold U+0000."},
        {"Basic past 255",
         {kTypeStrings, 3},
         [](CResourceEditor& e) { return e.SetString(0, 0, 0, std::u16string(256, u'a')); },
         EditStatus::tooLong,
         "A text of the Basic layout holds at most 255 bytes; this one would have 256."},
        // A line break is stored as two bytes.
        {"Basic line break",
         {kTypeStrings, 3},
         [](CResourceEditor& e) { return e.SetString(0, 0, 0, std::u16string(254, u'a') + u"\n"); },
         EditStatus::tooLong,
         "A text of the Basic layout holds at most 255 bytes; this one would have 256."},
        {"Replace All past 255",
         {kTypeStrings, 1},
         [&](CResourceEditor& e) {
             size_t count = 0;
             return e.ReplaceAll(search, u"bb", SearchScope{}, {{kTypeStrings, 3}}, count);
         },
         EditStatus::tooLong,
         "Nothing was replaced. A text of the Basic layout holds at most 255 bytes; this one "
         "would have 500 (#3: string #0)."},
        {"import into French",
         {kTypeStrings, 1},
         [](CResourceEditor& e) {
             return e.ApplyChanges({{kTypeStrings, 2, 1, 2, 0, u"Assieds-toi"},
                                    {kTypeStrings, 2, 0, 2, 0, u"\u0142"}},
                                   "Import");
         },
         EditStatus::unencodable,
         "\u201C\u0142\u201D cannot be stored in French text (#2: string #0)."},
        {"import with NUL",
         {kTypeStrings, 1},
         [&](CResourceEditor& e) {
             return e.ApplyChanges({{kTypeStrings, 2, 0, 2, 0, nul}}, "Import");
         },
         EditStatus::unencodable,
         "A text cannot hold U+0000 (#2: string #0)."},
    };
    const auto before = State();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(m_editor.Select(row.select.first, row.select.second).Ok());
        const EditResult result = row.edit(m_editor);
        EXPECT_EQ(result.status, row.status);
        EXPECT_EQ(result.reason, row.reason);
        EXPECT_EQ(m_stack.GetCount(), 0u);
    }
    EXPECT_EQ(State(), before);
    // The limit itself is a text that fits.
    ASSERT_TRUE(m_editor.Select(kTypeStrings, 3).Ok());
    ASSERT_TRUE(m_editor.SetString(0, 0, 0, std::u16string(255, u'a')).Ok());
    ASSERT_TRUE(m_editor.Store().Ok());
    EXPECT_EQ(Payload({kTypeStrings, 3}), BasicPayload({std::string(255, 'a')}));
}

}  // namespace
