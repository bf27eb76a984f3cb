// Serves the emulated scales: one listening socket per address, all on one
// port, and one short-lived thread per connection.
#pragma once

#include "EmulatorOptions.h"
#include "Net.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zalohy::emulator {

class Clock;

class EmulatorServer {
public:
    explicit EmulatorServer(EmulatorOptions options);
    ~EmulatorServer();
    EmulatorServer(const EmulatorServer&) = delete;
    EmulatorServer& operator=(const EmulatorServer&) = delete;

    // Creates every scale's folder (seeding it when asked) and binds every
    // address. With port 0 the first address gets a free port and the others
    // take the same one (tried again with another port if one is taken).
    bool start(std::string& error);
    // Only the folders of start(), no socket: for serveConnection alone.
    bool prepare(std::string& error);
    // Serves one connection that is already open (a socket pair in the fuzz
    // tests) as the scale of that index would, and returns when it is done.
    void serveConnection(net::Socket connection, std::size_t scale);
    // "ready port=P addresses=A,B data=DIR"
    std::string readyLine() const;
    // Serves until wakeFd becomes readable, then closes the listeners and
    // waits for the connections in progress to end.
    void serve(int wakeFd);

private:
    struct Scale {
        std::uint32_t address = 0;
        std::string name;  // dotted address: log lines and folder name
        std::filesystem::path folder;
        net::Socket listener;
    };
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    bool prepareFolder(Scale& scale, std::string& error);
    bool bindAll(std::string& error);
    void acceptPending(Scale& scale);
    void reapWorkers(bool all);
    void handle(net::Socket connection, const Scale& scale);
    std::string download(net::Socket& connection, const Scale& scale, int kindId, Clock& clock);
    std::string upload(net::Socket& connection, const Scale& scale, int kindId, std::uint64_t length, Clock& clock);
    void stall(net::Socket& connection);
    void log(const Scale& scale, const std::string& line);

    EmulatorOptions options_;
    std::uint16_t port_ = 0;
    std::vector<Scale> scales_;
    std::vector<Worker> workers_;
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint64_t> uploadCounter_{0};
    std::mutex logMutex_;
};

}  // namespace zalohy::emulator
