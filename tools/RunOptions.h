// The options of zaltool's runs against scales and what they set up: the
// kinds of --kinds, the folder of --backup-first, the operands taken against
// the start folder, the working folder of --work and the scale library
// beside zaltool.
#pragma once

#include "Command.h"
#include "RunResult.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>

namespace zalohy {

// The words of --kinds, in the order of kDataKinds: the check boxes' captions
// in Czech without diacritics (Formáty, Texty, Název obchodu, Rychloklávesy
// as "presety" after its box, PLU soubor, Image soubor).
inline constexpr std::array<const char*, 6> kKindWords{"formaty", "texty", "nazev", "presety", "plu", "image"};

// A set of kinds as a job's argument ("110000") and back.
std::string kindsArgument(const KindSet& kinds);
KindSet kindsFromArgument(const std::string& text);

// The options every run takes, and those of some, declared once.
inline const Option kKindsOption{"kinds", "DRUHY",
                                 "druhy dat oddělené čárkou: formaty,texty,nazev,presety,plu,image\n"
                                 "(výchozí: všech šest; send, send-list, restore-list: ty, které archiv obsahuje)"};
inline const Option kWorkOption{"work", "SLOŽKA",
                                "pracovní složka, kde leží soubory knihovny vah (výchozí: aktuální složka)"};
inline const Option kBackupFirstOption{"backup-first", "SLOŽKA",
                                       "nejdřív z váhy zazálohuje druhy dat, které se budou odesílat, do\n"
                                       "SLOŽKA/ADRESA-RRRR-MM-DD-HHMMSS-pred-odeslanim.zal (chybějící SLOŽKU\n"
                                       "vytvoří); když záloha selže, nic se neodešle"};
inline const Option kForceOption{"force", nullptr, "odešle i tehdy, když záloha z --backup-first selže"};

// --kinds as a set, nothing when not given; an unknown word is a UsageError.
std::optional<KindSet> kindsOption(const Call& call);
// --backup-first as an absolute folder, nothing when not given; --force
// without it is a UsageError.
std::optional<std::filesystem::path> backupFirstOption(const Call& call);
// Operands name files against the folder zaltool was started in, not the
// working folder of --work.
std::filesystem::path absolutePath(const std::string& given);
// Enters the --work folder, when given; false with a line saying why.
bool enterWorkFolder(const Call& call);
// Binds the scale library beside zaltool; false with a line to `out` saying why.
bool bindLibrary(JobOutput& out);

}  // namespace zalohy
