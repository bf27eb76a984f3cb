// What the benchmarks that time whole programs share: one program run to its
// end, its wall time and peak resident memory as wait4 reports it.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

struct Sample {
    double seconds = 0;
    long peakKiB = 0;
};

// Runs one program to its end (its standard output dropped when `quiet`);
// exits the benchmark, naming `bench`, if the program fails.
inline Sample runProgram(const char* bench, const std::vector<std::string>& args, bool quiet = false) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (quiet && !std::freopen("/dev/null", "w", stdout)) _exit(127);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s: %s failed\n", bench, args[0].c_str());
        std::exit(2);
    }
    return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss};
}

}  // namespace bench
