// zaltool's run commands refuse a wrong command line before anything happens.
#include "ZaltoolProcesses.h"

using namespace zalohy;
using namespace zalohy::test;
namespace fs = std::filesystem;

namespace {

TEST_F(ZaltoolRuns, wrongCommandLines_exitTwoBeforeAnythingHappens) {
    const std::string a = archive("a.zal");
    const std::vector<std::vector<std::string>> wrong{
        {"backup", "127.0.0.2"},
        {"backup", "127.0.0.2", a, "--kinds=formaty,sklad"},
        {"backup", "127.0.0.2", a, "--kinds"},
        {"send", a, "127.0.0.2", "--overwrite"},
        {"backup-list", a},
        {"backup-list", a, a, "--jobs=0"},
        {"send-list", a, a, "--keep=2"},
        {"restore-list", a},
        {"restore-list", a, a, "--dry-run", "--json"},
        {"check-list", a, "--record"},
        {"backup-list", a, a, "--ping=ftp://127.0.0.1/x"},
        {"send-list", a, a, "--ping=https://"},
        {"restore-list", a, a, "--dry-run", "--ping=http://127.0.0.1/x"},
        {"backup", "127.0.0.2", a, "--colour"},
    };
    for (const std::vector<std::string>& args : wrong) {
        const Outcome run = zaltool(args);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.out, "") << args.back();
        EXPECT_TRUE(run.err.starts_with("zaltool: " + args[0] + ": ")) << run.err;
    }
    EXPECT_EQ(archives.entries(), std::set<std::string>{});
    EXPECT_EQ(work.entries(), std::set<std::string>{});

    const Outcome help = zaltool({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"backup ADRESA ARCHIV", "send ARCHIV ADRESA", "backup-list SEZNAM SLOŽKA", "restore-list SLOŽKA SEZNAM",
                             "formaty,texty,nazev,presety,plu,image"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
}

}  // namespace
