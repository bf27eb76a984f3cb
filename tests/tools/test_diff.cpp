// zaltool diff: two archives compared kind by kind.
#include "ZaltoolProcesses.h"

using namespace zalohy;
using namespace zalohy::test;
namespace fs = std::filesystem;

namespace {

TEST_F(ZaltoolSafety, diff_saysPerKindWhatDiffers_andRefusesAnUnsoundArchive) {
    const std::string formats = kindMember(kFormats), texts = kindMember(kTexts), plu = kindMember(kPlu);
    const std::string base = expectedArchive({{34, formats}, {38, texts}});
    std::string unsound = base;
    putInt32(unsound, 16, 1000);  // formats run past the end of the file
    std::string misplaced = base;
    putInt32(misplaced, 8 + 12, 41);  // the texts' slot holds the preset keys' id
    const struct {
        std::string b;
        int status;
        std::string lines;
    } cases[] = {
        {expectedArchive({{38, texts}, {34, formats}}), 0, "Formáty: stejné (271 B)\nTexty: stejné (270 B)\n"},
        {expectedArchive({{34, formats}, {38, texts + "!"}}), 1,
         "Formáty: stejné (271 B)\nTexty: rozdílné (A 270 B, B 271 B)\n"},
        {expectedArchive({{34, formats}, {38, std::string(texts).replace(200, 1, "?")}}), 1,
         "Formáty: stejné (271 B)\nTexty: rozdílné (A 270 B, B 270 B)\n"},
        {expectedArchive({{34, formats}, {25, plu}}), 1,
         "Formáty: stejné (271 B)\nTexty: jen v A (270 B)\nPLU soubor: jen v B (276 B)\n"},
        {expectedArchive({{34, formats + "!"}, {38, texts}}), 1,
         "Formáty: rozdílné (A 271 B, B 272 B)\nTexty: stejné (270 B)\n"},
        {unsound, 2, ""},
        {misplaced, 2, ""},
    };
    writeFile(files / "a.zal", base);
    for (const auto& c : cases) {
        writeFile(files / "b.zal", c.b);
        const Outcome run = zaltool({"diff", (files / "a.zal").string(), (files / "b.zal").string()});
        EXPECT_EQ(run.status, c.status) << c.lines;
        EXPECT_EQ(run.out, c.lines);
        EXPECT_EQ(run.err.empty(), c.status != 2) << run.err;
    }
    EXPECT_EQ(zaltool({"diff", (files / "a.zal").string()}).status, 2);
}

}  // namespace
