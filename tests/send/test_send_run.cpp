// The send run to one scale of a list, started without a dialog as a job of
// zaltool send-list starts it, and the kinds an archive holds.
#include "BackupArchive.h"
#include "DataKind.h"
#include "FakeScale.h"
#include "KindArchive.h"
#include "RecordedReport.h"
#include "ScratchFolder.h"
#include "SendRun.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace zalohy;
using namespace zalohy::test;

namespace {

TEST(SendRunAlone, listedScale_pausesBeforePlu_neverSendsTheImage_aMissingKindStopsTheList) {
    ScratchFolder dir("zalohy-send-run-", true);
    FakeScale scale;
    writeFile(dir / "a.zal", archiveOfKinds({kFormats, kPlu, kImage}));
    const KindSet held{true, false, false, false, true, true};
    EXPECT_EQ(heldKinds(dir / "a.zal", nullptr), held);
    RecordedReport report;
    LibraryRunner runner(report);

    const RunResult sent = SendRun({"127.0.0.2", dir / "a.zal", held, true}, report, runner).run();
    EXPECT_TRUE(sent.complete);
    EXPECT_FALSE(sent.kinds[kImage].tried);
    EXPECT_EQ(scale.calls.size(), 2u);
    EXPECT_EQ(std::count(report.said.begin(), report.said.end(), "pause"), 1);

    const RunResult stopped = SendRun({"127.0.0.2", dir / "a.zal", kAllKinds, true}, report, runner).run();
    EXPECT_TRUE(stopped.stopsTheList);
    EXPECT_FALSE(stopped.kinds[kShopName].tried);
}

TEST(ArchiveHeaderMemberOf, aKindOutsideItsOwnSlotIsNotHeld) {
    ArchiveHeader header;
    header.slots[1].id = kDataKinds[kFormats].id;
    EXPECT_EQ(header.memberOf(kDataKinds[kFormats].id), nullptr);
    header.slots[0].id = kDataKinds[kFormats].id;
    EXPECT_EQ(header.memberOf(kDataKinds[kFormats].id), &header.slots[0]);
}

}  // namespace
