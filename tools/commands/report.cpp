// zaltool report DIR: the report page over a backup folder.
#include "Command.h"
#include "ReportPage.h"

namespace zalohy {

namespace {

Exit report(const Call& call) {
    return static_cast<Exit>(
        zaltoolReport(call.operands[0], call.value("list"), call.value("out"), call.value("stale-days")));
}

const CommandRegistration registered{
    {"report", "DIR [--list=LIST] [--out=FILE] [--stale-days=N]",
     "write an HTML page on the backups in DIR (default DIR/prehled-zaloh.html)", 1, 1,
     {{"list", "LIST"}, {"out", "FILE"}, {"stale-days", "N"}}, report, CommandGroup::Safety, 40,
     "  --list=LIST      only the scales of LIST, in its order\n"
     "  --out=FILE       write the page to FILE ('-': standard output)\n"
     "  --stale-days=N   mark backups older than N days (default 2)\n"}};

}  // namespace

}  // namespace zalohy
