#include "FakeScale.h"

#include "DataKind.h"
#include "ScratchFolder.h"
#include "ScaleCommand.h"

#include <filesystem>

namespace zalohy::test {

FakeScale::FakeScale() {
    ScaleLibrary::setEntryPoint([this](int argc, char** argv) { return entry(argc, argv); });
}

FakeScale::~FakeScale() { ScaleLibrary::setEntryPoint({}); }

void FakeScale::seed(const std::string& address) {
    for (const DataKind& kind : kDataKinds) {
        std::string bytes = std::string(kind.name) + " of " + address + ":";
        for (int i = 0; i < 40 + kind.id; ++i) bytes.push_back(static_cast<char>((i * 7 + kind.id) & 0xFF));
        files[address][kind.id] = bytes;
    }
}

std::vector<std::string> FakeScale::commands() const {
    std::vector<std::string> out;
    for (const Call& call : calls) out.push_back(call.argv.at(1) + " " + call.argv.at(2));
    return out;
}

int FakeScale::entry(int argc, char** argv) {
    Call call{argc, {}};
    for (int i = 0; i < argc; ++i) call.argv.emplace_back(argv[i] ? argv[i] : "<null>");
    calls.push_back(call);
    if (onCall) onCall(call);

    const std::string& word = call.argv.at(1);
    const std::string& address = call.argv.at(2);
    if (silentWords.count(word)) return 0;

    int status = 0;
    bool upload = false;
    const DataKind* kind = kindByWord(word, &upload);
    if (!kind || failingWords.count(word) || failingAddresses.count(address)) {
        status = 7;
    } else if (upload) {
        const std::string name = scaleFileName(address, kind->uploadSuffix);
        if (std::filesystem::exists(name)) files[address][kind->id] = readFile(name);
        else status = 6;
    } else if (!noFileWords.count(word)) {
        auto scale = files.find(address);
        if (scale == files.end() || !scale->second.count(kind->id)) status = 5;
        else
            writeFile(scaleFileName(address, kind->downloadedSuffix),
                      scale->second.at(kind->id) + (unmarkedWords.count(word) ? "" : "E2"));
    }
    writeFile("error", std::to_string(status) + "\n");
    return status;
}

}  // namespace zalohy::test
