// A run's report kept as text, one entry per call: "line: ...", "box: ...",
// "warning: ...", "status: ...", "pause".
#pragma once

#include "RunReport.h"

#include <string>
#include <vector>

namespace zalohy::test {

struct RecordedReport : RunReport {
    std::vector<std::string> said;
    void line(const std::string& text) override { said.push_back("line: " + text); }
    void message(const std::string& text, const std::string&) override { said.push_back("box: " + text); }
    void warning(const std::string& text, const std::string&) override { said.push_back("warning: " + text); }
    void status(const std::string& text) override { said.push_back("status: " + text); }
    void pause() override { said.push_back("pause"); }
};

}  // namespace zalohy::test
