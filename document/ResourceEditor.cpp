#include "document/ResourceEditor.h"

#include <algorithm>
#include <memory>
#include <tuple>

#include "document/TextSearch.h"
#include "framework/stream/MemFile.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "strings/Languages.h"
#include "strings/TextCodec.h"
#include "strings/TextResources.h"

namespace {

EditResult Refuse(EditStatus status, std::string reason) {
    return {status, std::move(reason)};
}

// What the editing panel allows for each layout: a language other than the first only with
// languages, a description only where the layout stores one. done, badSlot or noDescriptions.
EditStatus CheckSlotAndPart(const CStringSet& strings, int slot, int part) {
    if (slot < 0 || slot >= kSlotCount || part < 0 || part > 1 ||
        (slot != 0 && !strings.HasLanguages())) {
        return EditStatus::badSlot;
    }
    const StringLayout layout = strings.GetLayout();
    if (part == 1 && (layout == StringLayout::basic || layout == StringLayout::plain)) {
        return EditStatus::noDescriptions;
    }
    return EditStatus::done;
}

// The payload of a chunk, or nothing when it cannot be had.
bool PayloadOf(CIffFile& iff, ChunkHandle handle, std::vector<uint8_t>& out) {
    const CChunkRecord* record = CChunkStore::Instance().Resolve(handle);
    if (record == nullptr || !iff.EnsureLoaded(handle)) {
        return false;
    }
    out.resize(record->size);
    return record->size == 0 || iff.CopyPayload(handle, out.data());
}

// "#128: string #3", where an operation over many texts names the one it refused.
std::string PlaceOf(ChunkType type, uint16_t id, size_t entry) {
    return ResourceLabelPrefix(type, id) + "string #" + std::to_string(entry);
}

// A refusal of EncodeText that names the text it concerns: "… French text (#128: string #3)."
EditResult AtPlace(EditResult refusal, const std::string& place) {
    std::string& reason = refusal.reason;
    if (!reason.empty() && reason.back() == '.') {
        reason.pop_back();
    }
    reason += " (" + place + ").";
    return refusal;
}

}  // namespace

EditResult EncodeText(const CStringSet& strings, int slot, std::u16string_view text,
                      std::string& bytes) {
    std::string encoded;
    size_t bad = 0;
    if (!strings.GetSlotCodec(slot).EncodeDisplay(text, encoded, &bad)) {
        const std::string character = DescribeCharacter(text, bad);
        if ((bad < text.size() && text[bad] == 0) || character == "byte 0x00") {
            return Refuse(EditStatus::unencodable, kNoNul);
        }
        return Refuse(EditStatus::unencodable, "\u201C" + character +
                                                   "\u201D cannot be stored in " +
                                                   ReadableLanguageName(slot) + " text.");
    }
    if (strings.GetLayout() == StringLayout::basic &&
        encoded.size() > CStringSet::kMaxBasicLength) {
        return Refuse(EditStatus::tooLong, "A text of the Basic layout holds at most " +
                                               std::to_string(CStringSet::kMaxBasicLength) +
                                               " bytes; this one would have " +
                                               std::to_string(encoded.size()) + ".");
    }
    bytes = std::move(encoded);
    return {};
}

// A step of the editing model: the resources it changes, and where a view shows it.
class CEditorCommand : public CUndoCommand {
public:
    using CUndoCommand::CUndoCommand;
    [[nodiscard]] virtual bool Touches(const CResourceEditor::Key& key) const = 0;
    [[nodiscard]] virtual const CResourceEditor::Key& GetKey() const = 0;
    [[nodiscard]] virtual EditPlace GetPlace() const = 0;
};

// A step in one resource: it reaches that resource before it applies or takes back its change.
class CResourceCommand : public CEditorCommand {
public:
    CResourceCommand(CResourceEditor& editor, std::string text, size_t entry, int slot)
        : CEditorCommand(std::move(text)),
          m_editor(editor),
          m_key(editor.GetType(), editor.GetId()),
          m_nEntry(entry),
          m_nSlot(slot) {}

    [[nodiscard]] bool Touches(const CResourceEditor::Key& key) const override {
        return key == m_key;
    }
    [[nodiscard]] const CResourceEditor::Key& GetKey() const override { return m_key; }
    [[nodiscard]] EditPlace GetPlace() const override {
        return {m_key.first, m_key.second, m_nEntry, m_nSlot};
    }

    void Redo() final {
        if (m_editor.Reach(m_key)) {
            Apply(m_editor.m_strings);
            m_editor.Touched();
        }
    }
    void Undo() final {
        if (m_editor.Reach(m_key)) {
            TakeBack(m_editor.m_strings);
            m_editor.Touched();
        }
    }

protected:
    virtual void Apply(CStringSet& strings) = 0;
    virtual void TakeBack(CStringSet& strings) = 0;

    CResourceEditor& m_editor;
    CResourceEditor::Key m_key;
    size_t m_nEntry;
    int m_nSlot;
};

namespace {

constexpr int kTypingId = 1;

// A text or description typed, pasted or set: the bytes before and after.
class CSetStringCommand : public CResourceCommand {
public:
    CSetStringCommand(CResourceEditor& editor, uint16_t entry, int slot, int part,
                      std::string before, std::string after, bool appends, bool addsString = false)
        : CResourceCommand(editor, addsString ? "Add String" : "Typing", entry, slot),
          m_nPart(part),
          m_strBefore(std::move(before)),
          m_strAfter(std::move(after)),
          m_bAppends(appends),
          m_bAdds(addsString) {}

    // "Add String" is a step of its own: typing into the new entry does not merge into it.
    [[nodiscard]] int GetId() const override { return m_bAdds ? -1 : kTypingId; }
    [[nodiscard]] bool MergeWith(const CUndoCommand& next) override {
        const auto& other = static_cast<const CSetStringCommand&>(next);
        if (other.m_key != m_key || other.m_nEntry != m_nEntry || other.m_nSlot != m_nSlot ||
            other.m_nPart != m_nPart || other.m_bAppends) {
            return false;
        }
        m_strAfter = other.m_strAfter;
        return true;
    }

protected:
    void Apply(CStringSet& strings) override {
        std::ignore = strings.SetString(static_cast<uint16_t>(m_nEntry),
                                        static_cast<uint16_t>(m_nSlot), m_nPart, m_strAfter);
    }
    void TakeBack(CStringSet& strings) override {
        if (m_bAppends && strings.GetCount() == m_nEntry + 1) {
            strings.RemoveLastEntry();
            return;
        }
        std::ignore = strings.SetString(static_cast<uint16_t>(m_nEntry),
                                        static_cast<uint16_t>(m_nSlot), m_nPart, m_strBefore);
    }

private:
    int m_nPart;
    std::string m_strBefore;
    std::string m_strAfter;
    bool m_bAppends;
    bool m_bAdds;
};

// A change of the whole working copy (layout, "Set for all"): the set before and after.
class CWholeSetCommand : public CResourceCommand {
public:
    CWholeSetCommand(CResourceEditor& editor, std::string text, size_t entry, int slot,
                     CStringSet before, CStringSet after)
        : CResourceCommand(editor, std::move(text), entry, slot),
          m_before(std::move(before)),
          m_after(std::move(after)) {}

protected:
    void Apply(CStringSet& strings) override { Put(strings, m_after); }
    void TakeBack(CStringSet& strings) override { Put(strings, m_before); }

private:
    static void Put(CStringSet& strings, const CStringSet& state) {
        const ChunkHandle handle = strings.m_hChunk;
        strings = state;
        strings.m_hChunk = handle;  // the chunk it was reached through now
    }

    CStringSet m_before;
    CStringSet m_after;
};

}  // namespace

// Replace All or an import: the sets before and after in every resource it changed, one step.
class CReplaceAllCommand : public CEditorCommand {
public:
    struct Change {
        CResourceEditor::Key key;
        CStringSet before;
        CStringSet after;
        size_t entry;
        int slot;
    };

    CReplaceAllCommand(CResourceEditor& editor, std::vector<Change> changes,
                       std::string text = "Replace All")
        : CEditorCommand(std::move(text)), m_editor(editor), m_changes(std::move(changes)) {}

    [[nodiscard]] bool Touches(const CResourceEditor::Key& key) const override {
        for (const Change& change : m_changes) {
            if (change.key == key) {
                return true;
            }
        }
        return false;
    }
    [[nodiscard]] const CResourceEditor::Key& GetKey() const override {
        return m_changes.front().key;
    }
    [[nodiscard]] EditPlace GetPlace() const override {
        const Change& first = m_changes.front();
        return {first.key.first, first.key.second, first.entry, first.slot};
    }

    void Redo() override {
        m_editor.m_pApplying = this;
        // The first resource last, so that it is the one selected afterwards.
        for (auto change = m_changes.rbegin(); change != m_changes.rend(); ++change) {
            Put(change->key, change->after);
        }
        m_editor.m_pApplying = nullptr;
    }
    void Undo() override {
        for (auto change = m_changes.rbegin(); change != m_changes.rend(); ++change) {
            Put(change->key, change->before);
        }
    }

private:
    void Put(const CResourceEditor::Key& key, const CStringSet& state) {
        if (!m_editor.Reach(key)) {
            return;
        }
        const ChunkHandle handle = m_editor.m_strings.m_hChunk;
        m_editor.m_strings = state;
        m_editor.m_strings.m_hChunk = handle;
        m_editor.Touched();
    }

    CResourceEditor& m_editor;
    std::vector<Change> m_changes;
};

CResourceEditor::CResourceEditor(CIffFile& iff, CUndoStack& stack) : m_iff(iff), m_stack(stack) {}

EditResult CResourceEditor::CheckLoaded() const {
    if (!m_bLoaded) {
        return Refuse(EditStatus::noResource, "No text resource is selected.");
    }
    return {};
}

EditResult CResourceEditor::Select(ChunkType type, uint16_t id) {
    if (m_bLoaded && m_bChanged) {
        if (EditResult stored = Store(); !stored.Ok()) {
            return stored;
        }
    }
    m_bLoaded = false;
    m_bChanged = false;
    m_nType = type;
    m_nId = id;
    ChunkHandle handle = 0;
    if (!m_iff.FindChunk(handle, type, id) || !m_strings.Load(m_iff, handle)) {
        return Refuse(EditStatus::noSuchResource, ChunkTypeName(type) + " resource " +
                                                      std::to_string(id) +
                                                      " does not exist in the file or cannot "
                                                      "be read.");
    }
    m_bLoaded = true;
    return {};
}

void CResourceEditor::Forget() {
    m_bLoaded = false;
    m_bChanged = false;
    m_originals.clear();
}

EditResult CResourceEditor::SetString(uint16_t entry, int slot, int part,
                                      std::u16string_view text) {
    if (EditResult loaded = CheckLoaded(); !loaded.Ok()) {
        return loaded;
    }
    const size_t count = m_strings.GetCount();
    if (entry > count) {
        return Refuse(EditStatus::badEntry, "entry " + std::to_string(entry) +
                                                " is out of range: the resource has " +
                                                std::to_string(count) + " entries.");
    }
    switch (CheckSlotAndPart(m_strings, slot, part)) {
        case EditStatus::badSlot:
            if (slot < 0 || slot >= kSlotCount || part < 0 || part > 1) {
                return Refuse(EditStatus::badSlot,
                              "slot " + std::to_string(slot) + " is out of range.");
            }
            return Refuse(EditStatus::badSlot,
                          "the resource has no languages: only slot 0 (US English) can be set.");
        case EditStatus::noDescriptions:
            return Refuse(EditStatus::noDescriptions,
                          "the resource's layout stores no descriptions.");
        default:
            break;
    }
    std::string bytes;
    if (EditResult encoded = EncodeText(m_strings, slot, text, bytes); !encoded.Ok()) {
        return encoded;
    }
    std::string before;
    std::ignore = m_strings.GetString(entry, static_cast<uint16_t>(slot), part, before);
    RememberOriginal();
    m_stack.Push(std::make_unique<CSetStringCommand>(*this, entry, slot, part, std::move(before),
                                                     std::move(bytes), entry == count));
    return {};
}

EditResult CResourceEditor::AddString(int slot) {
    if (EditResult loaded = CheckLoaded(); !loaded.Ok()) {
        return loaded;
    }
    const size_t count = m_strings.GetCount();
    if (count >= CStringSet::kMaxRecords) {
        return Refuse(EditStatus::tooLarge, kAddTooMany);
    }
    if (CheckSlotAndPart(m_strings, slot, 0) != EditStatus::done) {
        slot = 0;
    }
    RememberOriginal();
    m_stack.Push(std::make_unique<CSetStringCommand>(*this, static_cast<uint16_t>(count), slot, 0,
                                                     std::string(), std::string(), true, true));
    return {};
}

EditResult CResourceEditor::SetLayout(bool basic, bool languages, bool descriptions) {
    if (EditResult loaded = CheckLoaded(); !loaded.Ok()) {
        return loaded;
    }
    CStringSet after = m_strings;
    LayoutSwitchError error;
    if (!after.SetLayoutFlags(basic, languages, descriptions, &error)) {
        return Refuse(EditStatus::layoutRefused, DescribeLayoutSwitchError(error));
    }
    RememberOriginal();
    m_stack.Push(std::make_unique<CWholeSetCommand>(*this, "Change Layout", 0, 0, m_strings,
                                                    std::move(after)));
    return {};
}

EditResult CResourceEditor::LeaveUtf8() {
    if (EditResult loaded = CheckLoaded(); !loaded.Ok()) {
        return loaded;
    }
    if (!m_strings.m_bUtf8) {
        return {};
    }
    CStringSet after = m_strings;
    LayoutSwitchError error;
    if (!after.LeaveUtf8(&error)) {
        return Refuse(EditStatus::layoutRefused, DescribeLayoutSwitchError(error));
    }
    RememberOriginal();
    m_stack.Push(std::make_unique<CWholeSetCommand>(*this, "Change Layout", 0, 0, m_strings,
                                                    std::move(after)));
    return {};
}

EditResult CResourceEditor::CopyToAll(std::vector<uint16_t> entries, int slot,
                                      std::vector<CopySkip>* skipped) {
    if (skipped != nullptr) {
        skipped->clear();
    }
    if (EditResult loaded = CheckLoaded(); !loaded.Ok()) {
        return loaded;
    }
    if (slot < 0 || slot >= kSlotCount) {
        return Refuse(EditStatus::badSlot, "slot " + std::to_string(slot) + " is out of range.");
    }
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    for (const uint16_t entry : entries) {
        if (entry >= m_strings.GetCount()) {
            return Refuse(EditStatus::badEntry,
                          "entry " + std::to_string(entry) + " is out of range: the resource has " +
                              std::to_string(m_strings.GetCount()) + " entries.");
        }
    }
    const CTextCodec& from = m_strings.GetSlotCodec(slot);
    // The source texts once, as text: entry by entry, text then description.
    std::vector<std::u16string> decoded;
    decoded.reserve(entries.size() * 2);
    for (const uint16_t entry : entries) {
        const StringSlot source = m_strings.GetSlot(entry, static_cast<size_t>(slot));
        decoded.push_back(from.Decode(source.text));
        decoded.push_back(from.Decode(source.description));
    }
    CStringSet after = m_strings;
    bool changed = false;
    std::vector<std::string> encoded(decoded.size());
    for (int to = 0; to < kSlotCount; ++to) {
        if (to == slot) {
            continue;
        }
        const CTextCodec& codec = m_strings.GetSlotCodec(to);
        // Every text of the language is converted before any is set, so a language that cannot
        // hold one keeps all it had.
        bool fits = true;
        for (size_t i = 0; i < entries.size() && fits; ++i) {
            if (to == kSlotWithoutName &&
                m_strings.GetSlot(entries[i], kSlotWithoutName).IsEmpty()) {
                continue;
            }
            for (size_t part = 0; part < 2 && fits; ++part) {
                const std::u16string& text = decoded[i * 2 + part];
                size_t bad = 0;
                encoded[i * 2 + part].clear();
                if (!codec.Encode(text, encoded[i * 2 + part], &bad)) {
                    fits = false;
                    if (skipped != nullptr) {
                        skipped->push_back({to, DescribeCharacter(text, bad)});
                    }
                }
            }
        }
        if (!fits) {
            continue;
        }
        for (size_t i = 0; i < entries.size(); ++i) {
            const StringSlot old = m_strings.GetSlot(entries[i], static_cast<size_t>(to));
            if (to == kSlotWithoutName && old.IsEmpty()) {
                continue;
            }
            for (int part = 0; part < 2; ++part) {
                std::string& value = encoded[i * 2 + static_cast<size_t>(part)];
                if ((part == 0 ? old.text : old.description) != value) {
                    std::ignore = after.SetString(entries[i], static_cast<uint16_t>(to), part,
                                                  std::move(value));
                    changed = true;
                }
            }
        }
    }
    if (!changed) {
        return {};
    }
    RememberOriginal();
    m_stack.Push(std::make_unique<CWholeSetCommand>(*this, "Set for All",
                                                    entries.empty() ? 0 : entries.front(), slot,
                                                    m_strings, std::move(after)));
    return {};
}

std::string DescribeCopySkips(const std::vector<CopySkip>& skipped) {
    std::vector<std::pair<std::string, std::string>> sentences;  // character, languages
    for (const CopySkip& skip : skipped) {
        auto it = std::find_if(sentences.begin(), sentences.end(), [&](const auto& sentence) {
            return sentence.first == skip.character;
        });
        if (it == sentences.end()) {
            sentences.emplace_back(skip.character, ReadableLanguageName(skip.slot));
        } else {
            it->second += ", " + ReadableLanguageName(skip.slot);
        }
    }
    std::string text;
    for (const auto& [character, languages] : sentences) {
        text += (text.empty() ? "" : " ") + std::string("Not copied into ") + languages +
                ": \u201C" + character + "\u201D cannot be stored.";
    }
    return text;
}

EditResult CResourceEditor::Store() {
    if (!m_bLoaded || !m_bChanged) {
        return {};
    }
    std::vector<uint8_t> encoded;
    if (!m_strings.Encode(encoded)) {
        return Refuse(EditStatus::tooLarge, m_strings.GetLayout() == StringLayout::utf8
                                                ? kStoreTooLargeUtf8
                                                : kStoreTooLarge);
    }
    // Every step in this resource undone: its own bytes, not their re-encoding, so that it comes
    // back exactly as it was read.
    const std::vector<uint8_t>* bytes = &encoded;
    const Key key(m_nType, m_nId);
    if (const auto original = m_originals.find(key); original != m_originals.end()) {
        bool applied = false;
        for (size_t i = original->second.firstStep; i < m_stack.GetIndex() && !applied; ++i) {
            const auto* step = dynamic_cast<const CEditorCommand*>(m_stack.GetCommand(i));
            applied = step != nullptr && step->Touches(key);
        }
        applied = applied || (m_pApplying != nullptr && m_pApplying->Touches(key));
        if (!applied) {
            bytes = &original->second.payload;
        }
    }
    CMemFile stream(bytes->data(), bytes->size());
    if (!m_iff.ReplaceChunkData(m_nType, m_nId, stream)) {
        return Refuse(EditStatus::storeFailed, "The changes to this resource could not be stored.");
    }
    m_bChanged = false;
    return {};
}

void CResourceEditor::RememberOriginal() {
    const Key key(m_nType, m_nId);
    if (m_originals.count(key) != 0) {
        return;
    }
    Original original;
    original.firstStep = m_stack.GetIndex();
    if (PayloadOf(m_iff, m_strings.m_hChunk, original.payload)) {
        m_originals.emplace(key, std::move(original));
    }
}

const CStringSet* CResourceEditor::Content(const Key& key, CStringSet& holder) {
    if (m_bLoaded && key == Key(m_nType, m_nId)) {
        return &m_strings;
    }
    ChunkHandle handle = 0;
    if (!m_iff.FindChunk(handle, key.first, key.second) || !holder.Load(m_iff, handle)) {
        return nullptr;
    }
    return &holder;
}

std::vector<SearchHit> CResourceEditor::HitsOf(const Key& key, const CStringSet& strings,
                                               const CTextSearch& search,
                                               const SearchScope& scope) const {
    std::vector<SearchHit> hits;
    const bool languages = strings.HasLanguages();
    for (size_t entry = 0; entry < strings.GetCount(); ++entry) {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if ((!languages && slot != 0) || (scope.slot >= 0 && languages && slot != scope.slot)) {
                continue;
            }
            const StringSlot value = strings.GetSlot(entry, static_cast<size_t>(slot));
            for (int part = 0; part < 2; ++part) {
                if ((part == 0 && !scope.texts) || (part == 1 && !scope.descriptions)) {
                    continue;
                }
                const std::string_view bytes = part == 0 ? value.text : value.description;
                if (bytes.empty()) {
                    continue;
                }
                const std::u16string display =
                    CTextCodec::ToDisplay(strings.GetSlotCodec(slot).Decode(bytes));
                for (const auto& [start, length] : search.Matches(display)) {
                    hits.push_back({key.first, key.second, entry, slot, part, start, length});
                }
            }
        }
    }
    return hits;
}

bool CResourceEditor::Find(const CTextSearch& search, const SearchScope& scope,
                           const std::vector<Key>& order, const SearchHit* from, bool backwards,
                           SearchHit& hit) {
    if (order.empty() || !search.IsCompiled()) {
        return false;
    }
    const auto place = [](const SearchHit& h) {
        return std::make_tuple(h.entry, h.slot, h.part, h.start);
    };
    size_t first = 0;
    if (from != nullptr) {
        const auto found = std::find(order.begin(), order.end(), Key(from->type, from->id));
        first = found != order.end() ? static_cast<size_t>(found - order.begin()) : 0;
    }
    // Every resource once from the one of from, then that one again for what lies before from.
    for (size_t step = 0; step <= order.size(); ++step) {
        const size_t at = backwards ? (first + order.size() * 2 - step) % order.size()
                                    : (first + step) % order.size();
        CStringSet holder;
        const CStringSet* strings = Content(order[at], holder);
        if (strings == nullptr) {
            continue;
        }
        std::vector<SearchHit> hits = HitsOf(order[at], *strings, search, scope);
        if (backwards) {
            std::reverse(hits.begin(), hits.end());
        }
        for (const SearchHit& candidate : hits) {
            if (from != nullptr && step == 0 &&
                (backwards ? place(candidate) >= place(*from) : place(candidate) <= place(*from))) {
                continue;  // not past from yet
            }
            if (from != nullptr && step == order.size() &&
                (backwards ? place(candidate) < place(*from) : place(candidate) > place(*from))) {
                continue;  // round again: only what lies before from
            }
            hit = candidate;
            return true;
        }
        if (from == nullptr && step + 1 == order.size()) {
            break;  // every resource seen once
        }
    }
    return false;
}

bool AwaitsTranslation(const CStringSet& strings, size_t entry, int slot, int sourceSlot) {
    const std::string_view source = strings.GetSlot(entry, static_cast<size_t>(sourceSlot)).text;
    const std::string_view text = strings.GetSlot(entry, static_cast<size_t>(slot)).text;
    if (source.empty()) {
        return false;
    }
    // The same characters, whatever bytes each language's code page gives them.
    return text.empty() || strings.GetSlotCodec(slot).Decode(text) ==
                               strings.GetSlotCodec(sourceSlot).Decode(source);
}

bool CResourceEditor::FindUntranslated(const std::vector<Key>& order, const Key& fromKey,
                                       long fromEntry, int slot, int sourceSlot, bool backwards,
                                       Key& key, size_t& entry) {
    if (order.empty() || slot == sourceSlot || slot < 0 || slot >= kSlotCount || sourceSlot < 0 ||
        sourceSlot >= kSlotCount) {
        return false;
    }
    const auto found = std::find(order.begin(), order.end(), fromKey);
    const size_t first = found != order.end() ? static_cast<size_t>(found - order.begin()) : 0;
    // Every resource once from the one of from, then that one again for what lies before from.
    for (size_t step = 0; step <= order.size(); ++step) {
        const size_t at = backwards ? (first + order.size() * 2 - step) % order.size()
                                    : (first + step) % order.size();
        CStringSet holder;
        const CStringSet* strings = Content(order[at], holder);
        if (strings == nullptr || !strings->HasLanguages()) {
            continue;
        }
        const long count = static_cast<long>(strings->GetCount());
        long begin = 0;
        long end = count;  // the entries [begin, end) this step looks at
        if (found != order.end() && step == 0) {
            if (backwards) {
                end = std::min(fromEntry, count);
            } else {
                begin = fromEntry + 1;
            }
        } else if (found != order.end() && step == order.size()) {
            if (backwards) {
                begin = std::max(fromEntry, 0L);
            } else {
                end = std::min(fromEntry + 1, count);
            }
        }
        for (long i = 0; i < end - begin; ++i) {
            const long candidate = backwards ? end - 1 - i : begin + i;
            if (AwaitsTranslation(*strings, static_cast<size_t>(candidate), slot, sourceSlot)) {
                key = order[at];
                entry = static_cast<size_t>(candidate);
                return true;
            }
        }
    }
    return false;
}

EditResult CResourceEditor::ReplaceAll(const CTextSearch& search, std::u16string_view replacement,
                                       const SearchScope& scope, const std::vector<Key>& order,
                                       size_t& count) {
    count = 0;
    std::vector<CReplaceAllCommand::Change> changes;
    for (const Key& key : order) {
        CStringSet holder;
        const CStringSet* strings = Content(key, holder);
        if (strings == nullptr) {
            continue;
        }
        const std::vector<SearchHit> hits = HitsOf(key, *strings, search, scope);
        if (hits.empty()) {
            continue;
        }
        CStringSet after = *strings;
        size_t replacedHere = 0;
        for (size_t i = 0; i < hits.size(); ++i) {
            const SearchHit& hit = hits[i];
            if (i > 0 && hits[i - 1].entry == hit.entry && hits[i - 1].slot == hit.slot &&
                hits[i - 1].part == hit.part) {
                continue;  // one replacement per text: ReplaceAll took all its matches
            }
            const StringSlot value = strings->GetSlot(hit.entry, static_cast<size_t>(hit.slot));
            const CTextCodec& codec = strings->GetSlotCodec(hit.slot);
            const std::u16string display =
                CTextCodec::ToDisplay(codec.Decode(hit.part == 0 ? value.text : value.description));
            size_t replaced = 0;
            const std::u16string changed = search.ReplaceAll(display, replacement, replaced);
            std::string bytes;
            if (EditResult encoded = EncodeText(*strings, hit.slot, changed, bytes);
                !encoded.Ok()) {
                encoded.reason = "Nothing was replaced. " + encoded.reason;
                return AtPlace(std::move(encoded), PlaceOf(key.first, key.second, hit.entry));
            }
            std::ignore = after.SetString(static_cast<uint16_t>(hit.entry),
                                          static_cast<uint16_t>(hit.slot), hit.part, bytes);
            replacedHere += replaced;
        }
        count += replacedHere;
        changes.push_back({key, *strings, std::move(after), hits.front().entry, hits.front().slot});
    }
    if (changes.empty()) {
        return {};
    }
    // The bytes each resource was read with, for a store once everything is undone.
    for (const CReplaceAllCommand::Change& change : changes) {
        if (Reach(change.key)) {
            RememberOriginal();
        }
    }
    m_stack.Push(std::make_unique<CReplaceAllCommand>(*this, std::move(changes)));
    return {};
}

EditResult CResourceEditor::ApplyChanges(const std::vector<TextChange>& changes,
                                         const std::string& text) {
    std::vector<CReplaceAllCommand::Change> sets;
    std::vector<bool> changed;    // beside sets: some text of it differs now
    std::map<Key, size_t> index;  // key -> its place in sets
    for (const TextChange& change : changes) {
        const Key key(change.type, change.id);
        auto found = index.find(key);
        if (found == index.end()) {
            CStringSet holder;
            const CStringSet* strings = Content(key, holder);
            if (strings == nullptr) {
                return Refuse(EditStatus::noSuchResource,
                              ChunkTypeName(key.first) + " resource " + std::to_string(key.second) +
                                  " does not exist in the file or cannot be read.");
            }
            found = index.emplace(key, sets.size()).first;
            sets.push_back({key, *strings, *strings, change.entry, change.slot});
            changed.push_back(false);
        }
        CStringSet& after = sets[found->second].after;
        const std::string where = PlaceOf(key.first, key.second, change.entry);
        if (change.entry >= after.GetCount()) {
            return Refuse(EditStatus::badEntry, where + " does not exist.");
        }
        if (const EditStatus status = CheckSlotAndPart(after, change.slot, change.part);
            status != EditStatus::done) {
            return Refuse(status,
                          where + (status == EditStatus::badSlot
                                       ? ": the resource has no such language."
                                       : ": the resource's layout stores no descriptions."));
        }
        std::string bytes;
        if (EditResult encoded = EncodeText(after, change.slot, change.text, bytes);
            !encoded.Ok()) {
            return AtPlace(std::move(encoded), where);
        }
        std::string current;
        std::ignore =
            after.GetString(change.entry, static_cast<uint16_t>(change.slot), change.part, current);
        if (current != bytes) {
            std::ignore = after.SetString(change.entry, static_cast<uint16_t>(change.slot),
                                          change.part, std::move(bytes));
            changed[found->second] = true;
        }
    }
    // A resource whose every text stays as it was is no part of the step.
    std::vector<CReplaceAllCommand::Change> kept;
    for (size_t i = 0; i < sets.size(); ++i) {
        if (changed[i]) {
            kept.push_back(std::move(sets[i]));
        }
    }
    sets = std::move(kept);
    if (sets.empty()) {
        return {};
    }
    for (const CReplaceAllCommand::Change& set : sets) {
        if (Reach(set.key)) {
            RememberOriginal();
        }
    }
    auto command = std::make_unique<CReplaceAllCommand>(*this, std::move(sets), text);
    const EditPlace place = command->GetPlace();
    m_stack.Push(std::move(command));
    // The caller is not the view, which must show the resource the step has selected.
    if (m_showHandler) {
        m_showHandler(place);
    }
    return {};
}

bool CResourceEditor::Reach(const Key& key) {
    if (m_bLoaded && key == Key(m_nType, m_nId)) {
        return true;
    }
    return Select(key.first, key.second).Ok();
}

EditResult CResourceEditor::Step(bool undo) {
    if (undo ? !m_stack.CanUndo() : !m_stack.CanRedo()) {
        return {};
    }
    const auto* command = dynamic_cast<const CEditorCommand*>(
        m_stack.GetCommand(undo ? m_stack.GetIndex() - 1 : m_stack.GetIndex()));
    if (command != nullptr && !Reach(command->GetKey())) {
        // The resource shown cannot be stored (or the step's resource is gone): the step stays.
        return Refuse(EditStatus::blocked, "This step cannot be " +
                                               std::string(undo ? "undone" : "redone") +
                                               " now: the resource shown cannot be stored.");
    }
    if (undo) {
        m_stack.Undo();
    } else {
        m_stack.Redo();
    }
    if (command != nullptr && m_showHandler) {
        m_showHandler(command->GetPlace());
    }
    return {};
}

EditResult CResourceEditor::Undo() {
    return Step(true);
}

EditResult CResourceEditor::Redo() {
    return Step(false);
}
