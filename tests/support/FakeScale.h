// An in-process stand-in for the scale library: it keeps the files of any
// number of scales in memory and keeps the library's file contract (the
// downloaded file with its end marker, the upload file read, "error"
// written) without any network.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace zalohy::test {

class FakeScale {
public:
    FakeScale();   // installs itself as the library's entry point
    ~FakeScale();  // and removes itself
    FakeScale(const FakeScale&) = delete;
    FakeScale& operator=(const FakeScale&) = delete;

    struct Call {
        int argc;
        std::vector<std::string> argv;
    };
    std::vector<Call> calls;

    // files[address][member id]: what each scale holds.
    std::map<std::string, std::map<int, std::string>> files;

    // Words (as passed) answered with a failure status; addresses that fail
    // every command.
    std::set<std::string> failingWords;
    std::set<std::string> failingAddresses;
    // Words after which the library reports success but leaves no file.
    std::set<std::string> noFileWords;
    // Download words whose file is written without the end marker.
    std::set<std::string> unmarkedWords;
    // Words after which no "error" file is written at all.
    std::set<std::string> silentWords;
    // Runs at the start of every call, before anything is written.
    std::function<void(const Call&)> onCall;

    // Fills a scale with one distinct file per kind.
    void seed(const std::string& address);
    // The words of every call, e.g. "F74 192.168.5.2".
    std::vector<std::string> commands() const;

private:
    int entry(int argc, char** argv);
};

}  // namespace zalohy::test
