// A batch stopped at any point writes nothing: not the catalog of an export, not a file of an
// import kept for the end; run to its end, the same batch writes each file once.
#include "exchange/BatchExchange.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/FarBuilder.h"
#include "tests/support/IffBytes.h"
#include "tests/support/TempFolder.h"

namespace {

// Stops the batch at its stopAt-th call (progress or work), or never.
class StoppingReporter : public IBatchReporter {
public:
    explicit StoppingReporter(int stopAt) : m_stopAt(stopAt) {}
    void Problem(const std::string& sentence) override { problems.push_back(sentence); }
    bool Progress(size_t, size_t, const std::string&) override { return Working(); }
    bool Working() override { return m_calls++ != m_stopAt; }

    std::vector<std::string> problems;

private:
    int m_stopAt;
    int m_calls = 0;
};

class BatchExchangeTest : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(m_dir / "game/sub");
        FarBuilder far;
        far.entries.push_back({"objects\\a.iff", MakeChairsFile()});
        far.entries.push_back({"objects\\b.iff", MakeChairsFile()});
        WriteBytes(m_dir / "game/Objects.far", far.Build());
        WriteBytes(m_dir / "game/sub/c.iff", MakeChairsFile());
        m_before = {ReadBytes(m_dir / "game/Objects.far"), ReadBytes(m_dir / "game/sub/c.iff")};
    }
    [[nodiscard]] std::vector<std::vector<uint8_t>> Now() const {
        return {ReadBytes(m_dir / "game/Objects.far"), ReadBytes(m_dir / "game/sub/c.iff")};
    }

    TempFolder m_dir;
    std::vector<std::vector<uint8_t>> m_before;
};

TEST_F(BatchExchangeTest, AStoppedExportWritesNoCatalog) {
    BatchExportOptions options;
    options.single = true;
    options.output = m_dir / "game.fr.po";
    for (int stopAt = 0;; ++stopAt) {
        StoppingReporter reporter(stopAt);
        const BatchExportResult result = ExportFiles({m_dir / "game"}, options, reporter);
        if (!result.cancelled) {
            EXPECT_TRUE(result.ok);
            ASSERT_EQ(result.catalogs, std::vector<std::string>{options.output});
            // "Chair" and "Table" of the three files, each one unit with three places.
            EXPECT_EQ(result.units, 2u);
            break;
        }
        EXPECT_FALSE(std::filesystem::exists(options.output)) << "stopped at " << stopAt;
        EXPECT_TRUE(result.catalogs.empty());
    }
}

TEST_F(BatchExchangeTest, AStoppedImportWritesNothingAndAFinishedOneEachFileOnce) {
    std::vector<TranslationUnit> units(1);
    units[0].source = "Table";
    units[0].target = "Tableau";
    units[0].references = {"Objects.far/objects/a.iff:STR#:128:1",
                           "Objects.far/objects/b.iff:STR#:128:1", "sub/c.iff:STR#:128:1"};
    BatchImportOptions options;
    options.writeEach = false;
    for (int stopAt = 0;; ++stopAt) {
        StoppingReporter reporter(stopAt);
        CBatchImport batch(options, reporter);
        const bool ok = batch.Run({m_dir / "game"}, units);
        if (batch.Cancelled()) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(batch.PendingWrites(), 0u);
            EXPECT_EQ(Now(), m_before) << "stopped at " << stopAt;
            continue;
        }
        EXPECT_TRUE(ok) << testing::PrintToString(reporter.problems);
        EXPECT_EQ(Now(), m_before) << "nothing is written before Write";
        ASSERT_EQ(batch.PendingWrites(), 2u);
        EXPECT_TRUE(batch.Write());
        ASSERT_EQ(batch.Files().size(), 3u);
        for (const FileImport& file : batch.Files()) {
            EXPECT_EQ(file.plan.Count(UnitOutcome::applied), 1u) << file.name;
            EXPECT_EQ(file.mode, SummaryMode::written) << file.name;
        }
        EXPECT_NE(Now()[0], m_before[0]);
        EXPECT_NE(Now()[1], m_before[1]);
        break;
    }
}

}  // namespace
