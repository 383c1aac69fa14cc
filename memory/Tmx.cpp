#include "memory/Tmx.h"

#include <fcntl.h>
#include <libxml/xmlreader.h>
#include <libxml/xmlwriter.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "framework/stream/FileException.h"
#include "framework/stream/SafeFile.h"
#include "memory/TranslationMemory.h"

namespace {

constexpr const char* kCreationTool = "Tallyglass";

std::string_view Text(const xmlChar* text) {
    return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text))
                           : std::string_view();
}

// An attribute's value; empty when it is missing.
std::string Attribute(xmlTextReaderPtr reader, const char* name) {
    xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
    std::string out(Text(value));
    xmlFree(value);
    return out;
}

bool SameLocale(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](char c) {
            return c == '-' ? '_' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        };
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

// Elements of a segment whose content is the original's markup, not text.
bool IsMarkup(std::string_view name) {
    return name == "ph" || name == "bpt" || name == "ept" || name == "it" || name == "ut";
}

// Walks the reader's nodes and collects the units.
class CTmxParser {
public:
    CTmxParser(xmlTextReaderPtr reader, std::string name, CTranslationMemory& memory)
        : m_reader(reader), m_strName(std::move(name)), m_memory(memory) {
        xmlTextReaderSetStructuredErrorHandler(
            reader,
            [](void* context, auto error) {
                auto* self = static_cast<CTmxParser*>(context);
                if (self->m_strParserError.empty() && error != nullptr &&
                    error->message != nullptr) {
                    std::string message = error->message;
                    message = message.substr(0, message.find('\n'));
                    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
                        message.pop_back();
                    }
                    self->m_strParserError = "line " + std::to_string(error->line) + ": " + message;
                }
            },
            this);
    }

    bool Run(std::string& error, TmxReadStats& stats) {
        int status = 0;
        while ((status = xmlTextReaderRead(m_reader)) == 1) {
            if (!Visit()) {
                error = m_strName + ": line " +
                        std::to_string(xmlTextReaderGetParserLineNumber(m_reader)) + ": " +
                        m_strFault;
                return false;
            }
        }
        if (status < 0 || !m_strParserError.empty()) {
            error = m_strName + ": " +
                    (m_strParserError.empty() ? std::string("not a well-formed XML document")
                                              : m_strParserError);
            return false;
        }
        if (!m_bRoot) {
            error = m_strName + ": not a TMX document (no <tmx> element).";
            return false;
        }
        stats = m_stats;
        return true;
    }

private:
    bool Fail(std::string fault) {
        m_strFault = std::move(fault);
        return false;
    }

    bool Visit() {
        const int type = xmlTextReaderNodeType(m_reader);
        const std::string_view name = Text(xmlTextReaderConstLocalName(m_reader));
        switch (type) {
            case XML_READER_TYPE_ENTITY_REFERENCE:
            case XML_READER_TYPE_ENTITY:
                return Fail("the entity reference &" + std::string(name) +
                            "; is refused: a translation memory needs none.");
            case XML_READER_TYPE_ELEMENT:
                if (!Open(name)) {
                    return false;
                }
                return xmlTextReaderIsEmptyElement(m_reader) == 1 ? Close(name) : true;
            case XML_READER_TYPE_END_ELEMENT:
                return Close(name);
            case XML_READER_TYPE_TEXT:
            case XML_READER_TYPE_CDATA:
            case XML_READER_TYPE_WHITESPACE:
            case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
                return Characters();
            default:
                return true;
        }
    }

    bool Open(std::string_view name) {
        const int depth = xmlTextReaderDepth(m_reader);
        if (!m_bRoot) {
            if (name != "tmx") {
                return Fail("not a TMX document: the root element is <" + std::string(name) + ">.");
            }
            m_bRoot = true;
            return true;
        }
        if (m_nMarkupDepth >= 0) {
            return true;
        }
        if (m_bInSeg) {
            if (IsMarkup(name)) {
                m_nMarkupDepth = depth;
            }
            return true;
        }
        if (name == "header" && !m_bHeader && m_stats.units == 0 && !m_bInTu) {
            m_bHeader = true;  // the first header only: units read so far keep their source
            const std::string source = Attribute(m_reader, "srclang");
            if (!source.empty() && source != "*all*") {
                m_memory.SetSourceLocale(source);
            }
        } else if (name == "tu") {
            m_bInTu = true;
            m_segments.clear();
            m_strPlace.clear();
            m_nCount = 1;
        } else if (name == "prop" && m_bInTu && m_segments.empty()) {
            m_strProp = Attribute(m_reader, "type");
            m_strText.clear();
            m_bInProp = true;
        } else if (name == "tuv" && m_bInTu) {
            m_strLang = Attribute(m_reader, "xml:lang");
            if (m_strLang.empty()) {
                m_strLang = Attribute(m_reader, "lang");  // TMX 1.1
            }
            m_bInTuv = true;
        } else if (name == "seg" && m_bInTuv) {
            m_bInSeg = true;
            m_strText.clear();
        }
        return true;
    }

    bool Characters() {
        if (!(m_bInSeg || m_bInProp) || m_nMarkupDepth >= 0) {
            return true;
        }
        const std::string_view value = Text(xmlTextReaderConstValue(m_reader));
        if (value.size() > kMaxTmxSegment - std::min(kMaxTmxSegment, m_strText.size())) {
            return Fail("a segment longer than " + std::to_string(kMaxTmxSegment >> 20) +
                        " MiB is refused.");
        }
        m_strText += value;
        return true;
    }

    bool Close(std::string_view name) {
        if (m_nMarkupDepth >= 0) {
            if (xmlTextReaderDepth(m_reader) == m_nMarkupDepth && IsMarkup(name)) {
                m_nMarkupDepth = -1;
            }
            return true;
        }
        if (m_bInSeg) {
            if (name == "seg") {
                m_bInSeg = false;
                m_segments.push_back({m_strLang, std::move(m_strText)});
                m_strText.clear();
            }
            return true;
        }
        if (name == "prop" && m_bInProp) {
            m_bInProp = false;
            if (m_strProp == "x-count") {
                m_nCount = ParseCount(m_strText);
            } else if (m_strProp == "x-place") {
                m_strPlace = m_strText;
            }
        } else if (name == "tuv") {
            m_bInTuv = false;
        } else if (name == "tu" && m_bInTu) {
            m_bInTu = false;
            AddUnit();
        }
        return true;
    }

    static uint32_t ParseCount(const std::string& text) {
        uint64_t value = 0;
        for (const char c : text) {
            if (c < '0' || c > '9') {
                return 1;
            }
            value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(c - '0'), UINT32_MAX);
        }
        return value == 0 ? 1 : static_cast<uint32_t>(value);
    }

    void AddUnit() {
        ++m_stats.units;
        const std::string& sourceLocale = m_memory.GetSourceLocale();
        const Segment* source = nullptr;
        for (const Segment& segment : m_segments) {
            if (SameLocale(segment.lang, sourceLocale)) {
                source = &segment;
                break;
            }
        }
        std::vector<MemoryTranslation> translations;
        for (const Segment& segment : m_segments) {
            if (&segment == source || segment.text.empty() || segment.lang.empty() ||
                SameLocale(segment.lang, sourceLocale)) {
                continue;
            }
            const uint16_t locale = m_memory.AddLocale(segment.lang);
            bool known = false;
            for (const MemoryTranslation& translation : translations) {
                known = known || translation.locale == locale;
            }
            if (!known) {
                translations.push_back({locale, segment.text});
            }
        }
        if (source == nullptr ||
            !m_memory.Add(source->text, std::move(translations), m_strPlace, m_nCount)) {
            ++m_stats.skipped;
        }
    }

    struct Segment {
        std::string lang;
        std::string text;
    };

    xmlTextReaderPtr m_reader;
    std::string m_strName;
    CTranslationMemory& m_memory;
    TmxReadStats m_stats;
    std::string m_strParserError;
    std::string m_strFault;
    bool m_bRoot = false;
    bool m_bHeader = false;
    bool m_bInTu = false;
    bool m_bInTuv = false;
    bool m_bInSeg = false;
    bool m_bInProp = false;
    int m_nMarkupDepth = -1;  // the depth of the markup element being skipped
    std::string m_strLang;
    std::string m_strProp;
    std::string m_strText;
    std::string m_strPlace;
    uint32_t m_nCount = 1;
    std::vector<Segment> m_segments;
};

// Without DTD loading, entity substitution or the network; the parser's own limits on the size
// of a text node and on entity amplification stay on (no XML_PARSE_HUGE).
constexpr int kReadOptions = XML_PARSE_NONET | XML_PARSE_NOCDATA;

bool Parse(xmlTextReaderPtr reader, const std::string& name, CTranslationMemory& memory,
           std::string& error, TmxReadStats* stats) {
    if (reader == nullptr) {
        error = name + ": the XML reader cannot be created.";
        return false;
    }
    TmxReadStats local;
    bool ok = false;
    {
        CTmxParser parser(reader, name, memory);
        ok = parser.Run(error, local);
    }
    xmlFreeTextReader(reader);
    if (ok && stats != nullptr) {
        *stats = local;
    }
    return ok;
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool ReadTmxFile(const std::string& path, CTranslationMemory& memory, std::string& error,
                 TmxReadStats* stats) {
    xmlInitParser();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    // Read through our own callbacks: a file name handed to libxml2 would be opened with its
    // decompressors, and a small gzip file could stand for gigabytes.
    auto* context = new int(fd);
    xmlTextReaderPtr reader = xmlReaderForIO(
        [](void* ctx, char* buffer, int length) -> int {
            const ssize_t n = ::read(*static_cast<int*>(ctx), buffer, static_cast<size_t>(length));
            return n < 0 ? -1 : static_cast<int>(n);
        },
        [](void* ctx) -> int {
            auto* descriptor = static_cast<int*>(ctx);
            const int result = ::close(*descriptor);
            delete descriptor;
            return result;
        },
        context, nullptr, nullptr, kReadOptions);
    if (reader == nullptr) {
        // On failure the reader has closed the input already.
        error = path + ": the XML reader cannot be created.";
        return false;
    }
    return Parse(reader, FileNameOf(path), memory, error, stats);
}

bool ReadTmxBytes(const uint8_t* data, size_t size, const std::string& name,
                  CTranslationMemory& memory, std::string& error, TmxReadStats* stats) {
    xmlInitParser();
    if (size > static_cast<size_t>(INT32_MAX)) {
        error = name + ": too large to read.";
        return false;
    }
    return Parse(xmlReaderForMemory(reinterpret_cast<const char*>(data), static_cast<int>(size),
                                    nullptr, nullptr, kReadOptions),
                 name, memory, error, stats);
}

std::optional<std::string> TmxText(const CTranslationMemory& memory) {
    xmlInitParser();
    std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), xmlBufferFree);
    xmlTextWriterPtr writer = buffer ? xmlNewTextWriterMemory(buffer.get(), 0) : nullptr;
    if (writer == nullptr) {
        return std::nullopt;
    }
    // The writer fails only when memory runs out; the first failure fails the whole text.
    bool ok = true;
    const auto must = [&ok](int result) { ok = ok && result >= 0; };
    const auto x = [](const char* text) { return reinterpret_cast<const xmlChar*>(text); };
    const auto element = [&](const char* name, const std::string& text) {
        must(xmlTextWriterWriteElement(writer, x(name), x(text.c_str())));
    };
    must(xmlTextWriterSetIndent(writer, 1));
    must(xmlTextWriterSetIndentString(writer, x("  ")));
    must(xmlTextWriterStartDocument(writer, nullptr, "UTF-8", nullptr));
    must(xmlTextWriterStartElement(writer, x("tmx")));
    must(xmlTextWriterWriteAttribute(writer, x("version"), x("1.4")));
    must(xmlTextWriterStartElement(writer, x("header")));
    must(xmlTextWriterWriteAttribute(writer, x("creationtool"), x(kCreationTool)));
    must(xmlTextWriterWriteAttribute(writer, x("creationtoolversion"), x("1.0")));
    must(xmlTextWriterWriteAttribute(writer, x("datatype"), x("plaintext")));
    must(xmlTextWriterWriteAttribute(writer, x("segtype"), x("block")));
    must(xmlTextWriterWriteAttribute(writer, x("adminlang"), x("en")));
    must(xmlTextWriterWriteAttribute(writer, x("srclang"), x(memory.GetSourceLocale().c_str())));
    must(xmlTextWriterWriteAttribute(writer, x("o-tmf"), x(kCreationTool)));
    must(xmlTextWriterEndElement(writer));
    must(xmlTextWriterStartElement(writer, x("body")));
    const auto tuv = [&](const std::string& lang, const std::string& text) {
        must(xmlTextWriterStartElement(writer, x("tuv")));
        must(xmlTextWriterWriteAttribute(writer, x("xml:lang"), x(lang.c_str())));
        element("seg", text);
        must(xmlTextWriterEndElement(writer));
    };
    const std::vector<std::string>& locales = memory.GetLocales();
    for (const MemoryUnit& unit : memory.GetUnits()) {
        must(xmlTextWriterStartElement(writer, x("tu")));
        const auto prop = [&](const char* type, const std::string& value) {
            must(xmlTextWriterStartElement(writer, x("prop")));
            must(xmlTextWriterWriteAttribute(writer, x("type"), x(type)));
            must(xmlTextWriterWriteString(writer, x(value.c_str())));
            must(xmlTextWriterEndElement(writer));
        };
        prop("x-count", std::to_string(unit.count));
        if (!unit.place.empty()) {
            prop("x-place", unit.place);
        }
        tuv(memory.GetSourceLocale(), unit.source);
        for (const MemoryTranslation& translation : unit.translations) {
            tuv(locales[translation.locale], translation.text);
        }
        must(xmlTextWriterEndElement(writer));
    }
    must(xmlTextWriterEndDocument(writer));
    xmlFreeTextWriter(writer);
    if (!ok) {
        return std::nullopt;
    }
    return std::string{reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                       static_cast<size_t>(xmlBufferLength(buffer.get()))};
}

bool WriteTmxFile(const std::string& path, const CTranslationMemory& memory, std::string& error) {
    const std::optional<std::string> text = TmxText(memory);
    if (!text) {
        error = path + ": there is not enough memory to write the translation memory.";
        return false;
    }
    try {
        CSafeFile file(path);
        file.Write(text->data(), text->size());
        file.Commit();
        return true;
    } catch (const CFileException& e) {
        error = e.GetErrorMessage();
        return false;
    }
}
