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
    {"report", "SLOŽKA", "zapíše stránku HTML o zálohách ve SLOŽCE (výchozí SLOŽKA/prehled-zaloh.html)", 1, 1,
     {{"list", "SEZNAM", "jen váhy ze SEZNAMU, v jeho pořadí"},
      {"out", "SOUBOR", "zapíše stránku do SOUBORU ('-': na standardní výstup)"},
      {"stale-days", "N", "označí zálohy starší než N dní (výchozí 2)"}},
     report, CommandGroup::Safety, 40,
     "\nnávratový kód: 0 přehled zapsán (i když ukazuje selhání), 1 složku nebo seznam nelze přečíst\n"
     "nebo přehled zapsat, 2 chybný příkazový řádek\n"}};

}  // namespace

}  // namespace zalohy
