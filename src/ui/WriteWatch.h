#pragma once
// Watches a descriptor for room to write: while enabled, `ready` is called on the user-interface
// thread each time the descriptor can take more bytes (or has failed, so that a write answers the
// error). A writer that must never block writes what fits, enables the watch for the rest and
// disables it once done.
//
// Cost: nothing while disabled; enabled, one wake-up of the event loop per chance to write.
#include <functional>
#include <memory>

class TWriteWatch {
public:
    TWriteWatch(int fd, std::function<void()> ready);
    ~TWriteWatch();
    TWriteWatch(const TWriteWatch&) = delete;
    TWriteWatch& operator=(const TWriteWatch&) = delete;

    void SetEnabled(bool enabled);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
