#pragma once
// A named pipe for tests of readers that must not wait on one. A helper thread keeps giving any
// reader that is stuck opening the pipe an empty read, so a reader that waits shows up as a wrong
// result instead of a test that never ends.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class Fifo {
public:
    explicit Fifo(std::string path) : path_(std::move(path)) {
        made_ = mkfifo(path_.c_str(), 0600) == 0;
        writer_ = std::thread([this] {
            while (!stop_) {
                int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) ::close(fd);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~Fifo() {
        stop_ = true;
        writer_.join();
        std::remove(path_.c_str());
    }
    Fifo(const Fifo&) = delete;
    Fifo& operator=(const Fifo&) = delete;

    const std::string& Path() const { return path_; }
    bool Made() const { return made_; }

private:
    std::string path_;
    bool made_ = false;
    std::atomic<bool> stop_{false};
    std::thread writer_;
};
