#include "cli/EditOperations.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "cli/Commands.h"
#include "cli/DocSession.h"
#include "exchange/Locales.h"
#include "strings/Languages.h"
#include "strings/TextCodec.h"
#include "strings/TextResources.h"

namespace {

// Opens the file and loads the resource into the session's working copy.
bool OpenResource(CDocSession& session, const EditTarget& target) {
    if (!session.Open(target.file, target.output.empty())) {
        return false;
    }
    session.SetForce(target.force);
    if (const EditResult selected = session.Editor().Select(target.type, target.id);
        !selected.Ok()) {
        PrintError(selected.reason);
        return false;
    }
    return true;
}

// The editing model's answer: nothing when done, the reason on stderr otherwise.
bool Done(const EditResult& result) {
    if (!result.Ok()) {
        PrintError(result.reason);
    }
    return result.Ok();
}

// Stores the working copy and saves the document; 0 on success.
int Finish(CDocSession& session, const EditTarget& target) {
    return session.Save(target.output) ? 0 : 1;
}

// The text to set, as the editing model takes it: UTF-8 as given, or raw bytes as the slot's
// code page shows them (which the model stores as the very same bytes).
bool ToText(const std::string& value, bool isBytes, const CTextCodec& codec, const char* what,
            std::u16string& text) {
    if (isBytes) {
        text = CTextCodec::ToDisplay(codec.Decode(value));
        return true;
    }
    std::optional<std::u16string> decoded = FromUtf8(value);
    if (!decoded) {
        PrintError(std::string("the ") + what + " is not UTF-8.");
        return false;
    }
    text = std::move(*decoded);
    return true;
}

}  // namespace

std::optional<int> ParseSlot(const std::string& text) {
    if (!text.empty() && text.size() <= 2 &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const int slot = std::stoi(text);
        return slot < kSlotCount ? std::optional<int>(slot) : std::nullopt;
    }
    // A name ("French"), else a locale code as translation tools write it ("fr", "zh_CN").
    int slot = SlotOfLanguageName(text);
    if (slot < 0) {
        slot = SlotOfLocale(text);
    }
    return slot >= 0 ? std::optional<int>(slot) : std::nullopt;
}

std::string SlotName(int slot) {
    if (const char* name = LanguageName(slot)) {
        return name;
    }
    return "slot " + std::to_string(slot);
}

std::optional<std::string> ParseHexBytes(const std::string& text) {
    std::string bytes;
    int high = -1;
    for (const char c : text) {
        if (c == ' ') {
            if (high >= 0) {
                return std::nullopt;
            }
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (high < 0) {
            high = digit;
        } else {
            bytes += static_cast<char>(high * 16 + digit);
            high = -1;
        }
    }
    if (high >= 0) {
        return std::nullopt;
    }
    return bytes;
}

int RunSet(const SetRequest& request) {
    CDocSession session;
    if (!OpenResource(session, request.target)) {
        return 1;
    }
    CResourceEditor& editor = session.Editor();
    const CStringSet& strings = editor.Strings();
    if (request.entry < 0 || request.entry > 0xFFFF) {
        PrintError("entry " + std::to_string(request.entry) + " is out of range.");
        return 1;
    }
    const CTextCodec& codec = strings.GetSlotCodec(request.slot);
    std::u16string text;
    std::u16string description;
    if (request.text && !ToText(*request.text, request.textIsBytes, codec, "text", text)) {
        return 1;
    }
    if (request.description && !ToText(*request.description, request.descriptionIsBytes, codec,
                                       "description", description)) {
        return 1;
    }
    const auto index = static_cast<uint16_t>(request.entry);
    // Appending takes the first change; the second then finds the new entry.
    if (request.text && !Done(editor.SetString(index, request.slot, 0, text))) {
        return 1;
    }
    if (request.description && !Done(editor.SetString(index, request.slot, 1, description))) {
        return 1;
    }
    return Finish(session, request.target);
}

int RunLayout(const EditTarget& target, StringLayout layout) {
    CDocSession session;
    if (!OpenResource(session, target)) {
        return 1;
    }
    CResourceEditor& editor = session.Editor();
    const CStringSet& strings = editor.Strings();
    // The flags as the editor's check boxes leave them for each layout.
    bool basic = strings.m_bBasic;
    bool languages = strings.m_bLanguages;
    bool descriptions = strings.m_bDescriptions;
    switch (layout) {
        case StringLayout::basic:
            basic = true;
            break;
        case StringLayout::plain:
            basic = false;
            descriptions = false;
            break;
        case StringLayout::described:
            basic = false;
            languages = false;
            descriptions = true;
            break;
        case StringLayout::multilingual:
        case StringLayout::utf8:
            basic = false;
            languages = true;
            descriptions = true;
            break;
    }
    // Asked for by name, the multilingual layout is the legacy one, also for a UTF-8 resource.
    if (layout == StringLayout::multilingual && !Done(editor.LeaveUtf8())) {
        return 1;
    }
    if (!Done(editor.SetLayout(basic, languages, descriptions))) {
        return 1;
    }
    return Finish(session, target);
}

int RunCopyToAll(const EditTarget& target, std::vector<int> entries, int slot) {
    CDocSession session;
    if (!OpenResource(session, target)) {
        return 1;
    }
    CResourceEditor& editor = session.Editor();
    if (!editor.Strings().HasLanguages()) {
        PrintError("the resource has no languages to copy into.");
        return 1;
    }
    std::vector<uint16_t> indexes;
    for (const int entry : entries) {
        if (entry < 0 || entry > 0xFFFF) {
            PrintError("entry " + std::to_string(entry) + " is out of range.");
            return 1;
        }
        indexes.push_back(static_cast<uint16_t>(entry));
    }
    std::vector<CopySkip> skipped;
    if (!Done(editor.CopyToAll(std::move(indexes), slot, &skipped))) {
        return 1;
    }
    // Not a failure: the other languages are copied, and the user learns which were not.
    if (!skipped.empty()) {
        PrintError(DescribeCopySkips(skipped));
    }
    return Finish(session, target);
}
