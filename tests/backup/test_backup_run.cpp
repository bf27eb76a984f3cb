// The backup run started without a dialog, as zaltool starts it: what it does
// with an archive already there.
#include "BackupRun.h"
#include "DataKind.h"
#include "FakeScale.h"
#include "RecordedReport.h"
#include "ScratchFolder.h"
#include "SendRun.h"

#include <gtest/gtest.h>

using namespace zalohy;
using namespace zalohy::test;

namespace {

TEST(BackupRunAlone, existingArchive_refusedUntouched_orReplacedOnlyWhenTheFirstKindCame) {
    ScratchFolder dir("zalohy-backup-run-", true);
    FakeScale scale;
    scale.seed("127.0.0.2");
    writeFile(dir / "a.zal", "old");
    KindSet kinds{};
    kinds[kFormats] = kinds[kPlu] = true;
    RecordedReport report;

    const RunResult refused = BackupRun({"127.0.0.2", dir / "a.zal", kinds}, report).run();
    EXPECT_FALSE(refused.kinds[kFormats].tried);
    EXPECT_TRUE(report.said.empty() && scale.calls.empty());

    scale.failingAddresses.insert("127.0.0.2");
    const BackupRequest replace{"127.0.0.2", dir / "a.zal", kinds, BackupRequest::Existing::Replace};
    const RunResult dead = BackupRun(replace, report).run();
    EXPECT_NE(dead.failedStatus(), 0);
    EXPECT_EQ(readFile(dir / "a.zal"), "old");

    scale.failingAddresses.clear();
    EXPECT_TRUE(BackupRun(replace, report).run().complete);
    EXPECT_EQ(heldKinds(dir / "a.zal", nullptr), kinds);
}

}  // namespace
