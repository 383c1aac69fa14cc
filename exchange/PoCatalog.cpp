#include "exchange/PoCatalog.h"

#include <gettext-po.h>
#include <sys/mman.h>
#include <unicode/ucnv.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <tuple>

#include "framework/stream/File.h"
#include "framework/stream/FileException.h"
#include "framework/stream/SafeFile.h"

namespace {

constexpr const char* kGenerator = "Tallyglass";

// The whole content of the open file fd, from its start.
bool ReadAll(int fd, std::string& text) {
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        text.append(buffer, static_cast<size_t>(n));
        at += n;
    }
}

// What libgettextpo reported while one call ran. The library's handler is a pair of plain
// functions without a user pointer, so the record is per thread.
struct Problems {
    std::string first;  // the first error, with its place
    bool failed = false;
};
thread_local Problems* t_problems = nullptr;

// A fatal error must not return into the library, which would go on in a broken state; it is
// thrown through the library's frames (which hold no locks) to the call below.
struct FatalPoError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Describe(const char* filename, size_t line, const char* text) {
    std::string out;
    if (filename != nullptr) {
        out += filename;
        if (line != static_cast<size_t>(-1)) {
            out += ":" + std::to_string(line);
        }
        out += ": ";
    }
    out += text != nullptr ? text : "error";
    while (!out.empty() && out.back() == '\n') {
        out.pop_back();
    }
    return out;
}

void Record(int severity, const char* filename, size_t line, const char* text) {
    if (severity == PO_SEVERITY_WARNING || t_problems == nullptr) {
        return;
    }
    if (!t_problems->failed) {
        t_problems->first = Describe(filename, line, text);
    }
    t_problems->failed = true;
    if (severity == PO_SEVERITY_FATAL_ERROR) {
        throw FatalPoError(t_problems->first);
    }
}

void OnError(int severity, po_message_t, const char* filename, size_t line, size_t, int,
             const char* text) {
    Record(severity, filename, line, text);
}

void OnError2(int severity, po_message_t, const char* filename1, size_t line1, size_t, int,
              const char* text1, po_message_t, const char*, size_t, size_t, int, const char*) {
    Record(severity, filename1, line1, text1);
}

const po_xerror_handler kHandler = {OnError, OnError2};

// Sets t_problems for the lifetime of the guard.
class CProblemScope {
public:
    explicit CProblemScope(Problems& problems) { t_problems = &problems; }
    ~CProblemScope() { t_problems = nullptr; }
    CProblemScope(const CProblemScope&) = delete;
    CProblemScope& operator=(const CProblemScope&) = delete;
};

struct PoFileDeleter {
    void operator()(struct po_file* file) const { po_file_free(file); }
};
using PoFilePtr = std::unique_ptr<struct po_file, PoFileDeleter>;

struct PoIteratorDeleter {
    void operator()(struct po_message_iterator* iterator) const {
        po_message_iterator_free(iterator);
    }
};
using PoIteratorPtr = std::unique_ptr<struct po_message_iterator, PoIteratorDeleter>;

std::string Text(const char* text) {
    return text != nullptr ? text : "";
}

// The comments of a message: the library joins its lines into a new string, ours to free, but
// answers "" (a literal) when there are none.
std::string Comments(const char* joined) {
    std::string out = Text(joined);
    if (joined != nullptr && *joined != '\0') {
        std::free(const_cast<char*>(joined));
    }
    return out;
}

std::string HeaderField(const char* header, const char* field) {
    char* value = po_header_field(header, field);
    std::string out = Text(value);
    std::free(value);
    return out;
}

// The time now as PO headers write it: "2026-05-01 14:03+0000".
std::string Now() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M+0000", &utc);
    return text;
}

std::string Header(const CatalogInfo& info) {
    const std::string now = Now();
    std::string header =
        "Project-Id-Version: \n"
        "POT-Creation-Date: " +
        now +
        "\n"
        "PO-Revision-Date: " +
        now +
        "\n"
        "Last-Translator: \n"
        "Language-Team: \n"
        "MIME-Version: 1.0\n"
        "Content-Type: text/plain; charset=UTF-8\n"
        "Content-Transfer-Encoding: 8bit\n"
        "Language: " +
        info.language + "\n";
    if (!info.sourceLanguage.empty()) {
        header += "X-Source-Language: " + info.sourceLanguage + "\n";
    }
    header += std::string("X-Generator: ") + kGenerator + "\n";
    return header;
}

// The charset a header's Content-Type names ("ISO-8859-1"); empty when none.
std::string CharsetOf(const std::string& contentType) {
    const size_t at = contentType.find("charset=");
    if (at == std::string::npos) {
        return {};
    }
    const size_t start = at + 8;
    const size_t end = contentType.find_first_of(" ;\n", start);
    return contentType.substr(start, end == std::string::npos ? end : end - start);
}

bool IsUtf8Name(std::string charset) {
    for (char& c : charset) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return charset.empty() || charset == "UTF-8" || charset == "UTF8" || charset == "ASCII" ||
           charset == "US-ASCII" || charset == "CHARSET";  // "CHARSET": a template's placeholder
}

// Converts text from charset to UTF-8; false when the charset is unknown or text is not in it.
bool ConvertToUtf8(const std::string& charset, std::string& text) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(charset.c_str(), &status);
    if (U_FAILURE(status)) {
        return false;
    }
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::u16string wide(text.size() * 2 + 1, u'\0');
    const int32_t length = ucnv_toUChars(converter, reinterpret_cast<UChar*>(wide.data()),
                                         static_cast<int32_t>(wide.size()), text.data(),
                                         static_cast<int32_t>(text.size()), &status);
    ucnv_close(converter);
    if (U_FAILURE(status)) {
        return false;
    }
    wide.resize(static_cast<size_t>(length));
    text = ToUtf8(wide);
    return true;
}

}  // namespace

// libgettextpo keeps some strings of every message it reads or is given (contexts, reference
// lists) past po_file_free, and formats the messages of syntax errors with vasprintf without
// freeing them; LeakSanitizer is told so, in programs built with it.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libgettextpo\nleak:vasprintf\n";
}
// Without a list of the suppressions used on stderr, which the command line's tests read.
extern "C" const char* __lsan_default_options();
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}

// The messages of the PO file at path (the header and obsolete ones are none), or -1 when it
// does not read without errors. Runs inside the caller's problem scope.
size_t CountMessages(const std::string& path) {
    Problems* const outer = t_problems;
    Problems problems;
    t_problems = &problems;
    size_t count = 0;
    try {
        const PoFilePtr file(po_file_read(path.c_str(), &kHandler));
        if (file != nullptr) {
            const PoIteratorPtr iterator(po_message_iterator(file.get(), nullptr));
            while (po_message_t message = po_next_message(iterator.get())) {
                const char* msgid = po_message_msgid(message);
                if (!po_message_is_obsolete(message) &&
                    !(msgid[0] == '\0' && po_message_msgctxt(message) == nullptr)) {
                    ++count;
                }
            }
        } else {
            problems.failed = true;
        }
    } catch (const FatalPoError&) {
        problems.failed = true;
    }
    t_problems = outer;
    return problems.failed ? static_cast<size_t>(-1) : count;
}

bool WritePoCatalog(const std::string& path, const CatalogInfo& info,
                    const std::vector<TranslationUnit>& units, std::string& error) {
    Problems problems;
    const CProblemScope scope(problems);
    try {
        const PoFilePtr file(po_file_create());
        {
            const PoIteratorPtr iterator(po_message_iterator(file.get(), nullptr));
            po_message_t header = po_message_create();
            po_message_set_msgid(header, "");
            po_message_set_msgstr(header, Header(info).c_str());
            po_message_insert(iterator.get(), header);
            for (const TranslationUnit& unit : units) {
                po_message_t message = po_message_create();
                // A shared unit has no key at all: msgctxt "" would be a key of its own to
                // every tool that matches units.
                if (!unit.context.empty()) {
                    po_message_set_msgctxt(message, unit.context.c_str());
                }
                po_message_set_msgid(message, unit.source.c_str());
                po_message_set_msgstr(message, unit.target.c_str());
                if (!unit.comment.empty()) {
                    po_message_set_extracted_comments(message, unit.comment.c_str());
                }
                if (!unit.translatorComment.empty()) {
                    po_message_set_comments(message, unit.translatorComment.c_str());
                }
                for (const std::string& reference : unit.references) {
                    // No line: the reference is a key, which the library would otherwise split.
                    po_message_add_filepos(message, EncodeReference(reference).c_str(),
                                           static_cast<size_t>(-1));
                }
                po_message_set_fuzzy(message, unit.fuzzy ? 1 : 0);
                po_message_insert(iterator.get(), message);
            }
        }
        // The library writes to a path of its own opening and does not report every write
        // error: it writes into memory, and the bytes reach the path through the safe path.
        const int memory = ::memfd_create("catalog", MFD_CLOEXEC);
        const std::unique_ptr<const int, void (*)(const int*)> closer(
            &memory, [](const int* fd) { std::ignore = *fd >= 0 && ::close(*fd) == 0; });
        if (memory < 0) {
            problems.failed = true;
            problems.first = path + ": " + std::strerror(errno);
        } else {
            const std::string memoryPath = "/proc/self/fd/" + std::to_string(memory);
            if (po_file_write(file.get(), memoryPath.c_str(), &kHandler) == nullptr &&
                !problems.failed) {
                problems.failed = true;
                problems.first = path + ": " + std::strerror(errno);
            }
            std::string text;
            if (!problems.failed && !ReadAll(memory, text)) {
                problems.failed = true;
                problems.first = path + ": " + std::strerror(errno);
            }
            // Nor does it report a write that fell short: what it wrote must read back whole.
            if (!problems.failed && CountMessages(memoryPath) != units.size()) {
                problems.failed = true;
                problems.first = path + ": the catalog could not be written whole.";
            }
            if (!problems.failed) {
                WriteFileSafely(path, text.data(), text.size());
            }
        }
    } catch (const FatalPoError&) {
        // problems holds the message
    } catch (const CFileException& e) {
        problems.failed = true;
        problems.first = e.GetErrorMessage();
    }
    if (problems.failed) {
        error = problems.first.empty() ? path + ": cannot be written" : problems.first;
        return false;
    }
    return true;
}

namespace {

// The fields of one message that hold a NUL.
struct NulFields {
    bool context = false;
    bool source = false;
    bool target = false;
};

// Whether a line's strings hold a NUL: a raw byte, or an octal or hexadecimal escape of 0.
bool HoldsNul(std::string_view line) {
    if (line.find('\0') != std::string_view::npos) {
        return true;
    }
    const auto digit = [](char c, int base) {
        return base == 8 ? c >= '0' && c <= '7' : std::isxdigit(static_cast<unsigned char>(c));
    };
    for (size_t i = 0; i + 1 < line.size(); ++i) {
        if (line[i] != '\\') {
            continue;
        }
        const bool hex = line[i + 1] == 'x';
        const int base = hex ? 16 : 8;
        size_t k = i + (hex ? 2 : 1);
        const size_t first = k;
        bool zero = true;
        while (k < line.size() && digit(line[k], base) && (hex || k - first < 3)) {
            zero = zero && line[k] == '0';
            ++k;
        }
        if (k > first && zero) {
            return true;
        }
        i = k > first ? k - 1 : i + 1;  // past the escape
    }
    return false;
}

// The messages whose strings hold a NUL, by their place in the file (the header and obsolete
// messages counted, as the library iterates them). The library ends its strings at a NUL and
// would hand back a text cut short, so the file is scanned for them first.
std::map<size_t, NulFields> FindNuls(const std::string& path) {
    std::map<size_t, NulFields> found;
    std::string text;
    try {
        const std::vector<uint8_t> bytes = ReadWholeFile(path);
        text.assign(bytes.begin(), bytes.end());
    } catch (const CFileException&) {
        return found;  // the library says why it cannot read the file
    }
    if (!HoldsNul(text)) {
        return found;
    }
    size_t count = 0;    // msgid lines seen
    size_t current = 0;  // the message the field belongs to
    bool NulFields::*field = nullptr;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (line.substr(0, 2) == "#~") {
            line.remove_prefix(2);
        } else if (!line.empty() && line[0] == '#') {
            continue;
        }
        while (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
            line.remove_prefix(1);
        }
        const auto starts = [&line](std::string_view word) {
            return line.substr(0, word.size()) == word;
        };
        if (starts("msgctxt")) {
            current = count;
            field = &NulFields::context;
        } else if (starts("msgid_plural")) {
            field = nullptr;
        } else if (starts("msgid")) {
            current = count++;
            field = &NulFields::source;
        } else if (starts("msgstr[0]") || (starts("msgstr") && !starts("msgstr["))) {
            field = &NulFields::target;
        } else if (starts("msgstr")) {
            field = nullptr;
        } else if (!starts("\"")) {
            continue;
        }
        if (field != nullptr && HoldsNul(line)) {
            found[current].*field = true;
        }
    }
    return found;
}

}  // namespace

bool ReadPoCatalog(const std::string& path, CatalogInfo& info, std::vector<TranslationUnit>& units,
                   std::string& error) {
    // The library opens the file with fopen and returns nothing on failure, errno set.
    if (FILE* probe = std::fopen(path.c_str(), "r")) {
        std::fclose(probe);
    } else {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    Problems problems;
    const CProblemScope scope(problems);
    CatalogInfo readInfo;
    std::vector<TranslationUnit> read;
    std::string charset;
    try {
        const PoFilePtr file(po_file_read(path.c_str(), &kHandler));
        if (file == nullptr) {
            if (!problems.failed) {
                problems.failed = true;
                problems.first = path + ": " + std::strerror(errno);
            }
        } else if (!problems.failed) {
            // The header comes as a copy of its own, which is ours to free.
            if (const char* header = po_file_domain_header(file.get(), nullptr)) {
                readInfo.language = HeaderField(header, "Language");
                charset = CharsetOf(HeaderField(header, "Content-Type"));
                readInfo.sourceLanguage = HeaderField(header, "X-Source-Language");
                std::free(const_cast<char*>(header));
            }
            const std::map<size_t, NulFields> nuls = FindNuls(path);
            const PoIteratorPtr iterator(po_message_iterator(file.get(), nullptr));
            for (size_t index = 0; po_message_t message = po_next_message(iterator.get());
                 ++index) {
                const std::string msgid = Text(po_message_msgid(message));
                if (po_message_is_obsolete(message) ||
                    (msgid.empty() && po_message_msgctxt(message) == nullptr)) {
                    continue;
                }
                TranslationUnit unit;
                unit.context = Text(po_message_msgctxt(message));
                unit.source = msgid;
                unit.target = Text(po_message_msgstr(message));
                unit.comment = Comments(po_message_extracted_comments(message));
                unit.translatorComment = Comments(po_message_comments(message));
                unit.fuzzy = po_message_is_fuzzy(message) != 0;
                // What the library cut at a NUL keeps one, so that the unit is refused for it
                // instead of applied short.
                if (const auto nul = nuls.find(index); nul != nuls.end()) {
                    for (const auto& [held, text] : {std::pair{nul->second.context, &unit.context},
                                                     std::pair{nul->second.source, &unit.source},
                                                     std::pair{nul->second.target, &unit.target}}) {
                        if (held) {
                            text->push_back('\0');
                        }
                    }
                }
                // The library reads a trailing ":digits" of a reference as a line number,
                // which goes back on.
                for (int i = 0; po_filepos_t pos = po_message_filepos(message, i); ++i) {
                    std::string reference = Text(po_filepos_file(pos));
                    if (const size_t line = po_filepos_start_line(pos);
                        line != static_cast<size_t>(-1)) {
                        reference += ":" + std::to_string(line);
                    }
                    unit.references.push_back(std::move(reference));
                }
                // Catalogs of earlier versions hold file names with spaces, which the library
                // splits.
                unit.references = RejoinReferences(unit.references);
                // Comments come back with the newline the library ends each line with.
                for (std::string* comment : {&unit.comment, &unit.translatorComment}) {
                    if (!comment->empty() && comment->back() == '\n') {
                        comment->pop_back();
                    }
                }
                read.push_back(std::move(unit));
            }
        }
    } catch (const FatalPoError&) {
        // problems holds the message
    }
    if (problems.failed) {
        error = problems.first;
        return false;
    }
    // Texts come back in the charset the header names; catalogs are UTF-8 from here on.
    if (!IsUtf8Name(charset)) {
        for (TranslationUnit& unit : read) {
            for (std::string* text : {&unit.context, &unit.source, &unit.target, &unit.comment,
                                      &unit.translatorComment}) {
                if (!ConvertToUtf8(charset, *text)) {
                    error = path + ": not in the charset its header names (" + charset + ")";
                    return false;
                }
            }
        }
    }
    info = std::move(readInfo);
    units = std::move(read);
    return true;
}
