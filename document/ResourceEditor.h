#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "document/UndoStack.h"
#include "iff/ChunkTypes.h"
#include "strings/StringSet.h"

class CIffFile;
class CTextSearch;

// Where Find and Replace look: one language slot or all (-1), texts and/or descriptions.
struct SearchScope {
    int slot = -1;
    bool texts = true;
    bool descriptions = false;
};

// One match: the resource, the entry, the slot and part, and the match's place in the text as
// the edit shows it (UTF-16 code units, line breaks as one '\n').
struct SearchHit {
    ChunkType type = 0;
    uint16_t id = 0;
    size_t entry = 0;
    int slot = 0;
    int part = 0;
    size_t start = 0;
    size_t length = 0;
};

// Why an edit was not made; done when it was.
enum class EditStatus {
    done,
    noResource,      // nothing is selected
    noSuchResource,  // no chunk of that type and id, or its payload does not decode
    badEntry,        // an entry past the end (or past the one an append may add)
    badSlot,         // a slot out of range, or other than 0 without languages
    noDescriptions,  // a description in a layout that stores none
    layoutRefused,   // leaving the UTF-8 layout, a text its code page cannot hold
    unencodable,     // a character the code page of its slot cannot hold, or U+0000
    tooLong,         // a text of the Basic layout longer than 255 bytes
    tooLarge,        // a store of more records than a 16-bit count holds
    storeFailed,     // the chunk refused its new payload
    blocked,         // an undo or redo in another resource while this one cannot be stored
};

// The outcome of an editing operation: done, or why not, in words for the user.
struct EditResult {
    EditStatus status = EditStatus::done;
    std::string reason;

    [[nodiscard]] bool Ok() const { return status == EditStatus::done; }
};

// Why a text with U+0000 is refused: a NUL would end it inside the payload.
inline constexpr const char* kNoNul = "A text cannot hold U+0000.";

// The bytes a text is stored as in a slot of strings, or the one sentence that says why it
// cannot be stored there: a character the slot's code page cannot hold ("“ł” cannot be stored
// in French text."), U+0000, or more bytes than a text of the Basic layout holds. text is as an
// edit shows it: each line break one '\n' (a "\r\n" or lone '\r' counts as one too). bytes is
// left unchanged on refusal.
[[nodiscard]] EditResult EncodeText(const CStringSet& strings, int slot, std::u16string_view text,
                                    std::string& bytes);

// Whether an entry's text in slot awaits its translation from sourceSlot: the source holds a text
// and slot holds none, or the very same characters.
[[nodiscard]] bool AwaitsTranslation(const CStringSet& strings, size_t entry, int slot,
                                     int sourceSlot);

// One text (part 0) or description (part 1) to set in an existing entry, as an edit shows it.
struct TextChange {
    ChunkType type = 0;
    uint16_t id = 0;
    uint16_t entry = 0;
    int slot = 0;
    int part = 0;
    std::u16string text;
};

// A language that "Set for All" left as it was: its code page cannot hold a character of the
// copied text (UTF-8, or "byte 0xNN" for the escape of a byte).
struct CopySkip {
    int slot = 0;
    std::string character;
};

// "Not copied into Japanese, Korean: “è” cannot be stored." (one sentence per character);
// empty when nothing was skipped.
[[nodiscard]] std::string DescribeCopySkips(const std::vector<CopySkip>& skipped);

// Where an undone or redone step took place, so that a view can show it.
struct EditPlace {
    ChunkType type = 0;
    uint16_t id = 0;
    size_t entry = 0;  // the first entry the step touched
    int slot = 0;
};

// The editing model of a document: the working copy of the selected text resource and every
// edit of it, as a step on the document's undo stack. The view and the command line both edit
// through it, so the rules live here once. A changed working copy is stored into its chunk when
// another resource is selected and when the document saves; a resource whose steps are all
// undone is stored with the very bytes it was read with.
class CResourceEditor {
public:
    static constexpr const char* kStoreTooLarge =
        "The changes to this resource cannot be stored: a text resource holds at most 65,535 "
        "strings, counting each language separately. Turn off \"Use different languages\" or "
        "change fewer languages, then try again.";
    static constexpr const char* kStoreTooLargeUtf8 =
        "The changes to this resource cannot be stored: each language of a UTF-8 resource holds "
        "at most 65,535 strings.";
    static constexpr const char* kAddTooMany =
        "No string can be added: a text resource holds at most 65,535 strings.";

    // Edits the chunks of iff; steps go on stack. Both outlive the editor.
    CResourceEditor(CIffFile& iff, CUndoStack& stack);
    CResourceEditor(const CResourceEditor&) = delete;
    CResourceEditor& operator=(const CResourceEditor&) = delete;

    // Loads the resource into the working copy, storing a changed one first. On failure to
    // store, the selection stays; on failure to load, nothing is selected.
    EditResult Select(ChunkType type, uint16_t id);
    // The document's contents are going: no working copy, no remembered payloads (the stack is
    // the document's to clear).
    void Forget();

    // Sets the text (part 0) or description (part 1) of an entry in a slot, as an edit shows it;
    // entry == count appends one. Consecutive changes of the same string merge into one step
    // ("Typing"). A text EncodeText refuses changes nothing and the result says why.
    EditResult SetString(uint16_t entry, int slot, int part, std::u16string_view text);
    // Appends an empty entry (one step, "Add String"), shown in slot (0 when the layout has no
    // languages). Entries are never removed one by one: other resources refer to them by index.
    EditResult AddString(int slot = 0);
    // Sets the three layout flags as the check boxes do (one step, "Change Layout"); leaving the
    // UTF-8 layout converts every text or is refused naming the first that does not fit.
    EditResult SetLayout(bool basic, bool languages, bool descriptions);
    // Converts a UTF-8 resource to the multilingual layout (the command line's "multilingual").
    EditResult LeaveUtf8();
    // Copies the text and description of the entries in slot into every other slot as text
    // ("Set for All"): decoded from the slot's code page, encoded into each other's. A language
    // whose code page cannot hold a character of them keeps what it had and is listed in
    // *skipped (in slot order). The slot without a name changes only in entries where it holds
    // something already. No step when nothing changes.
    EditResult CopyToAll(std::vector<uint16_t> entries, int slot,
                         std::vector<CopySkip>* skipped = nullptr);
    // Stores a changed working copy into its chunk (in memory). Fails, with the copy kept,
    // when it holds more records than fit or the chunk refuses it.
    EditResult Store();

    using Key = std::pair<ChunkType, uint16_t>;

    // The next match after from (the first one when from is null), or before it when backwards,
    // through the resources in order and round again; false when there is none.
    [[nodiscard]] bool Find(const CTextSearch& search, const SearchScope& scope,
                            const std::vector<Key>& order, const SearchHit* from, bool backwards,
                            SearchHit& hit);
    // The next entry after from (before it when backwards; from.second an entry of from.first,
    // or -1 for before the first) whose text in slot AwaitsTranslation, through the resources
    // in order that have languages, and round again; false when there is none.
    [[nodiscard]] bool FindUntranslated(const std::vector<Key>& order, const Key& fromKey,
                                        long fromEntry, int slot, int sourceSlot, bool backwards,
                                        Key& key, size_t& entry);
    // Replaces every match in the resources in order as one step ("Replace All"); count receives
    // the number of replacements. When a replaced text cannot be stored (EncodeText), nothing is
    // replaced and the reason names the first such place.
    EditResult ReplaceAll(const CTextSearch& search, std::u16string_view replacement,
                          const SearchScope& scope, const std::vector<Key>& order, size_t& count);

    // Sets every change, in any number of resources, as one step named text (an import of a
    // translation). Each must name an existing entry, and a slot and part its resource's layout
    // holds, and be a text EncodeText accepts; otherwise nothing changes and the reason names
    // the first that does not, and where. Changes that leave every text as it was push no step.
    EditResult ApplyChanges(const std::vector<TextChange>& changes, const std::string& text);

    // The content of a resource as the editor holds it: the working copy when it is the one
    // selected, else a copy loaded from its chunk into holder. Null when it cannot be read.
    [[nodiscard]] const CStringSet* Content(const Key& key, CStringSet& holder);

    // Undo or redo one step of the stack, selecting its resource first.
    EditResult Undo();
    EditResult Redo();

    [[nodiscard]] const CStringSet& Strings() const { return m_strings; }
    [[nodiscard]] bool IsLoaded() const { return m_bLoaded; }
    // The working copy differs from its chunk (as far as the editor knows).
    [[nodiscard]] bool IsChanged() const { return m_bChanged; }
    [[nodiscard]] ChunkType GetType() const { return m_nType; }
    [[nodiscard]] uint16_t GetId() const { return m_nId; }

    // Called after an undo or redo, and after ApplyChanges, with where it happened.
    void SetShowHandler(std::function<void(const EditPlace&)> handler) {
        m_showHandler = std::move(handler);
    }

private:
    friend class CResourceCommand;
    friend class CReplaceAllCommand;

    // The matches of one resource, in entry, slot, part and position order.
    [[nodiscard]] std::vector<SearchHit> HitsOf(const Key& key, const CStringSet& strings,
                                                const CTextSearch& search,
                                                const SearchScope& scope) const;

    // Selects key unless it is the working copy already; false when it cannot.
    bool Reach(const Key& key);
    EditResult Step(bool undo);
    // The working copy after a command changed it.
    void Touched() { m_bChanged = true; }
    // Before the first step in the working copy's resource: its payload as read, and where on
    // the stack its steps begin.
    void RememberOriginal();
    [[nodiscard]] EditResult CheckLoaded() const;

    CIffFile& m_iff;
    CUndoStack& m_stack;
    CStringSet m_strings;
    bool m_bLoaded = false;
    bool m_bChanged = false;
    ChunkType m_nType = 0;
    uint16_t m_nId = 0;
    // For each resource edited: the payload it was read with, and the stack index below its
    // first step. While the stack is at or below that index, none of its steps is applied.
    struct Original {
        std::vector<uint8_t> payload;
        size_t firstStep = 0;
    };
    std::map<Key, Original> m_originals;
    // A step being applied that stores resources on the way (Replace All reaches each in turn):
    // it is not on the stack's done side yet, but its resources are changed.
    const class CEditorCommand* m_pApplying = nullptr;
    std::function<void(const EditPlace&)> m_showHandler;
};
