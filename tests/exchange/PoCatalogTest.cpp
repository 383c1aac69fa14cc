// PO catalogs through libgettextpo: what is written is valid for gettext's own checker and
// reads back unit for unit; broken catalogs are refused with their place.

#include "exchange/PoCatalog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace {

std::vector<TranslationUnit> SampleUnits() {
    std::vector<TranslationUnit> units(3);
    units[0] = {"CTSS:2000:1",
                {"Chair.iff:CTSS:2000:1", "Other.far/b.iff:CTSS:2000:1"},
                "Sit down\nslowly",
                "Assieds-toi\ndoucement",
                "What the menu shows\nsecond line",
                "",
                false};
    units[1] = {"STR#:128:0", {"Chair.iff:STR#:128:0"}, "\"Quoted\" \\ and \ttab", "", "", "",
                false};
    units[2] = {
        "Sub dir/My Chair.iff:TTAs:1:0:description",
        // Pieces that tools split at spaces and drop when repeated ("Sub").
        {"Sub dir/My Chair.iff:TTAs:1:0:description", "Sub dir/5%.iff:TTAs:1:0:description"},
        "\xC5\x81\xC3\xB3\xC5\xBCko \xE6\xA4\x85\xE5\xAD\x90",
        "\xC5\x82",
        "",
        "kept",
        true};
    return units;
}

TEST(PoCatalog, WritesWhatMsgfmtAcceptsAndReadsItBackUnitForUnit) {
    TempFolder dir;
    std::string error;
    const std::vector<TranslationUnit> units = SampleUnits();
    ASSERT_TRUE(WritePoCatalog(dir / "fr.po", {"fr", "en_US"}, units, error)) << error;
    if (std::string(TALLYGLASS_MSGFMT).empty()) {
        GTEST_SKIP() << "msgfmt not found";
    }
    const ProgramResult check =
        RunProgram({TALLYGLASS_MSGFMT, "--check", "-o", "/dev/null", dir / "fr.po"});
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_EQ(check.err, "");

    CatalogInfo info;
    std::vector<TranslationUnit> read;
    ASSERT_TRUE(ReadPoCatalog(dir / "fr.po", info, read, error)) << error;
    EXPECT_EQ(info.language, "fr");
    EXPECT_EQ(info.sourceLanguage, "en_US");
    ASSERT_EQ(read.size(), units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        SCOPED_TRACE(units[i].context);
        EXPECT_EQ(read[i].context, units[i].context);
        EXPECT_EQ(read[i].references, units[i].references);
        EXPECT_EQ(read[i].source, units[i].source);
        EXPECT_EQ(read[i].target, units[i].target);
        EXPECT_EQ(read[i].comment, units[i].comment);
        EXPECT_EQ(read[i].translatorComment, units[i].translatorComment);
        EXPECT_EQ(read[i].fuzzy, units[i].fuzzy);
    }
}

TEST(PoCatalog, RefusesBrokenCatalogsNamingThePlaceAndKeepsWhatItHad) {
    TempFolder dir;
    const struct {
        const char* name;
        std::string text;
        const char* error;  // a part of the message
    } rows[] = {
        {"unclosed.po", "msgid \"a\"\nmsgstr \"b\n", "unclosed.po:3"},
        {"keyword.po", "msgid \"a\"\nmsgfoo \"b\"\n", "keyword.po:2"},
        {"not_utf8.po",
         "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\nmsgid \"a\"\n"
         "msgstr \"\xFF\"\n",
         "not_utf8.po:5"},
    };
    for (const auto& row : rows) {
        WriteBytes(dir / row.name, {row.text.begin(), row.text.end()});
        CatalogInfo info{"kept", ""};
        std::vector<TranslationUnit> units(1);
        std::string error;
        EXPECT_FALSE(ReadPoCatalog(dir / row.name, info, units, error)) << row.name;
        EXPECT_NE(error.find(row.error), std::string::npos) << error;
        EXPECT_EQ(info.language, "kept");
        EXPECT_EQ(units.size(), 1u);
    }
    CatalogInfo info;
    std::vector<TranslationUnit> units;
    std::string error;
    EXPECT_FALSE(ReadPoCatalog(dir / "missing.po", info, units, error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(WritePoCatalog(dir / "no/such/folder.po", info, SampleUnits(), error));
    EXPECT_NE(error.find("folder.po"), std::string::npos) << error;
}

TEST(PoCatalog, ObsoleteMessagesAndTheHeaderAreNoUnits) {
    TempFolder dir;
    const std::string text =
        "msgid \"\"\nmsgstr \"Language: de\\n\"\n\n"
        "msgctxt \"STR#:1:0\"\nmsgid \"Chair\"\nmsgstr \"Stuhl\"\n\n"
        "#~ msgctxt \"STR#:1:1\"\n#~ msgid \"Old\"\n#~ msgstr \"Alt\"\n";
    WriteBytes(dir / "de.po", {text.begin(), text.end()});
    CatalogInfo info;
    std::vector<TranslationUnit> units;
    std::string error;
    ASSERT_TRUE(ReadPoCatalog(dir / "de.po", info, units, error)) << error;
    EXPECT_EQ(info.language, "de");
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].target, "Stuhl");
}

}  // namespace
