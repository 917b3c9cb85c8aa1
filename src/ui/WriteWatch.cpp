#include "ui/WriteWatch.h"

#include <QSocketNotifier>

struct TWriteWatch::Impl {
    QSocketNotifier notifier;
    Impl(int fd) : notifier(fd, QSocketNotifier::Write) {}
};

TWriteWatch::TWriteWatch(int fd, std::function<void()> ready) : impl_(std::make_unique<Impl>(fd)) {
    impl_->notifier.setEnabled(false);
    QObject::connect(&impl_->notifier, &QSocketNotifier::activated, [ready = std::move(ready)] {
        // An exception must not cross Qt's event dispatch; the writer reports its own failures.
        try {
            ready();
        } catch (...) {
        }
    });
}

TWriteWatch::~TWriteWatch() = default;

void TWriteWatch::SetEnabled(bool enabled) { impl_->notifier.setEnabled(enabled); }
