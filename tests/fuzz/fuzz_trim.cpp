// The trimming against arbitrary downloaded files: the next-to-last byte goes
// when it is "E", the last when it is "2", everything before them stays; an
// empty file is the one failure, and is left as it was. A link planted as
// "temp.dat" is never written through, and an older "temp.dat" stays.
//
// Input: one selector byte, then the file's bytes.
#include "FuzzSupport.h"
#include "TrimDownloadedFile.h"

#include <vector>

using namespace zalohy;
using namespace zalohy::fuzz;
namespace fs = std::filesystem;

namespace {

struct Lines : zalohy::Report {
    std::vector<std::string> lines;
    bool failed = false;
    void message(const std::string&, const std::string&) override {}
    void line(const std::string& line) override { lines.push_back(line); }
};

const char* const kName = "SM127.0.0.2T74.dat";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    enterCleanFolder();
    Input input(bytes, size);
    const std::uint8_t selector = input.byte();
    const std::string file(input.rest());
    writeBytes(kName, file);
    const std::string victim = "must stay as it is";
    std::set<std::string> names{kName};
    if (selector & 1) {
        writeBytes("victim.dat", victim);
        fs::create_symlink("victim.dat", "temp.dat");
        names.insert("victim.dat");
        names.insert("temp.dat");
    } else if (selector & 2) {
        writeBytes("temp.dat", "an older scratch file, longer than most inputs");
        names.insert("temp.dat");
    }

    Lines report;
    bool ok = true;
    const int result = TrimDownloadedFile(kName, report, ok);
    report.failed = !ok;
    if (file.empty()) {
        require(result == 1, "an empty file was not refused");
        require(report.failed, "an empty file did not fail the backup");
        require(report.lines == std::vector<std::string>{std::string("K_E2 Input file:") + kName,
                                                         " Input file is empty ?? please check file"},
                "wrong lines for an empty file");
        require(readBytes(kName).empty(), "an empty file was changed");
    } else {
        std::string expected = file.size() >= 2 ? file.substr(0, file.size() - 2) : std::string();
        if (file.size() >= 2 && file[file.size() - 2] != 'E') expected.push_back(file[file.size() - 2]);
        if (file.size() >= 2 && file.back() != '2') expected.push_back(file.back());
        if (file.size() == 1 && file[0] != 'E') expected.push_back(file[0]);
        require(result == 0, "a trimming failed");
        require(!report.failed, "a trimming failed the backup");
        require(report.lines == std::vector<std::string>{std::string("K_E2 Input file:") + kName},
                "wrong lines for a trimming");
        require(readBytes(kName) == expected, "trimmed bytes differ from the rule");
    }
    if (selector & 1) require(readBytes("victim.dat") == victim, "the write followed a link planted as temp.dat");
    // The trimming works in place: it leaves nothing behind and touches no
    // scratch file, planted or older.
    require(folderNames() == names, "the trimming left a file behind or took one away");
    return 0;
}
