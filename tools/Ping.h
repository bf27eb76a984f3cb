// --ping=URL of the list commands: at the end of a run one HTTP POST of the
// run's summary line to URL when every scale was done, to URL + "/fail"
// otherwise, as monitoring services for scheduled jobs expect (a missing or
// failing night is then seen there at once). A ping that cannot be delivered
// is said in one line on stderr and changes nothing else.
#pragma once

#include "Command.h"

#include <chrono>
#include <optional>
#include <string>

namespace zalohy {

inline const Option kPingOption{
    "ping", "URL",
    "na konci pošle (HTTP POST) souhrnný objekt běhu na URL, když bylo vše hotovo,\n"
    "jinak na URL/fail; 3 pokusy po 5 s, bez proxy; nedoručené oznámení řekne\n"
    "řádek na standardním chybovém výstupu a návratový kód nemění"};

// --ping's value: an http:// or https:// URL with a host, of printable ASCII;
// anything else is a UsageError.
std::optional<std::string> pingOption(const Call& call);
// URL + "/fail", placed before a query ("…/uuid?x" → "…/uuid/fail?x").
std::string failUrl(const std::string& url);

struct PingTries {
    int tries = 3;
    std::chrono::milliseconds timeout{5000};  // for each try
    std::chrono::milliseconds pause{1000};    // before the second try, twice that before the third
};
// Sends the ping; false when no try got a 2xx answer, said on out's stderr.
bool sendPing(const std::string& url, bool done, const std::string& summary, JobOutput& out,
              const PingTries& tries = {});

}  // namespace zalohy
