// A test in a fresh working folder, with the real scale library bound for
// RunScaleCommand and an emulator child process on loopback addresses.
#pragma once

#include "DataKind.h"
#include "EmulatorProcess.h"
#include "SameBytes.h"
#include "ScaleStatus.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace zalohy::test {

class ScaleLinkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();

    // Starts (or restarts) the emulator on `count` addresses from 127.0.0.first.
    void startEmulator(std::vector<std::string> extraArgs = {}, bool seed = true, std::size_t count = 1,
                       int first = 2);
    // RunScaleCommand for this word and scale; also checks that "error" holds
    // the status it returned.
    int run(const std::string& word, std::size_t scale = 0);
    int run(const std::string& word, const std::string& address);

    std::string address(std::size_t scale = 0) const { return emulator_->scaleAddress(scale); }
    std::string scaleBytes(const DataKind& kind, std::size_t scale = 0) const;
    void setScaleBytes(const DataKind& kind, const std::string& bytes, std::size_t scale = 0) const;
    EmulatorProcess& emulator() { return *emulator_; }
    // Names in the working folder.
    std::set<std::string> workFiles() const;
    // Waits up to a few seconds for the emulator to log `text`.
    bool emulatorLogged(const std::string& text) const;

    std::chrono::milliseconds lastDuration{0};

private:
    ScratchFolder data_{"zalohy-net-data-"};
    ScratchFolder work_{"zalohy-net-work-", true};
    std::unique_ptr<EmulatorProcess> emulator_;
};

// "f74" for "F74" and back: the library takes either case.
std::string otherCase(std::string word);
// A port on this loopback address where nothing listens (just freed).
std::uint16_t unusedPort(const std::string& address);

}  // namespace zalohy::test
