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

// The bytes to store for one part: raw bytes as given, or UTF-8 converted with the codec.
bool ToBytes(const std::string& value, bool isBytes, const CTextCodec& codec, const char* what,
             std::string& bytes) {
    if (isBytes) {
        if (value.find('\0') != std::string::npos) {
            PrintError(std::string("the ") + what + " cannot hold a NUL byte.");
            return false;
        }
        bytes = value;
        return true;
    }
    size_t bad = 0;
    const std::string stored = ToStoredLineBreaks(value);
    if (!codec.EncodeUtf8(stored, bytes, &bad)) {
        // Name the character itself: its UTF-8 sequence starting at the offending byte.
        bad = std::min(bad, stored.size());
        size_t end = std::min(bad + 1, stored.size());
        while (end < stored.size() && (static_cast<unsigned char>(stored[end]) & 0xC0) == 0x80) {
            ++end;
        }
        PrintError(std::string("the ") + what + " has a character that " + codec.Name() +
                   " cannot hold: \"" + stored.substr(bad, end - bad) + "\".");
        return false;
    }
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

std::string ToStoredLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else if (text[i] == '\n') {
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

int RunSet(const SetRequest& request) {
    CDocSession session;
    if (!OpenResource(session, request.target)) {
        return 1;
    }
    CResourceEditor& editor = session.Editor();
    const CStringSet& strings = editor.Strings();
    const StringLayout layout = strings.GetLayout();
    if (request.entry < 0 || request.entry > 0xFFFF) {
        PrintError("entry " + std::to_string(request.entry) + " is out of range.");
        return 1;
    }
    const CTextCodec& codec = strings.GetSlotCodec(request.slot);
    std::string text;
    std::string description;
    if (request.text && !ToBytes(*request.text, request.textIsBytes, codec, "text", text)) {
        return 1;
    }
    if (request.description && !ToBytes(*request.description, request.descriptionIsBytes, codec,
                                        "description", description)) {
        return 1;
    }
    // The editor's panel would cut such a text when it is stored; the command line says so.
    if (layout == StringLayout::basic && text.size() > 255) {
        PrintError("a text of the basic layout holds at most 255 bytes; this one has " +
                   std::to_string(text.size()) + ".");
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
