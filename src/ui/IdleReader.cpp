#include "ui/IdleReader.h"

#include "core/Guard.h"
#include "data/DataSet.h"
#include "ui/Application.h"

#include <QTimer>

#include <algorithm>
#include <chrono>

namespace {
// What a packet should take: a key pressed while it is read waits about that long.
constexpr double kPacketSeconds = 0.010;
// The first packet's rows; from then on they follow the time taken, at most doubling per packet.
constexpr int kFirstPacketRows = 500;
constexpr int kFewestRows = 16;
constexpr int kMostRows = 65536;

TIdleReader* theReader = nullptr;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A dataset may be read while it browses or has a record open for editing; in any other state (a
// key being set, fields being calculated) it is left until later.
bool readable(const TDataSet* ds) {
    const TDataSetState s = ds->State();
    return s == dsBrowse || IsEditState(s);
}
} // namespace

struct TIdleReader::Impl {
    // A timer of no interval fires whenever the message loop has handled every event waiting.
    QTimer timer;
};

TIdleReader* IdleReader() {
    if (!theReader)
        theReader = new TIdleReader(Application);
    return theReader;
}

void ForgetIdleReading(TComponent* client) {
    if (theReader)
        theReader->Forget(client);
}

TIdleReader::TIdleReader(TComponent* owner) : TComponent(owner), impl_(std::make_unique<Impl>()) {
    impl_->timer.setInterval(0);
    QObject::connect(&impl_->timer, &QTimer::timeout, [this] { Step(); });
}

TIdleReader::~TIdleReader() {
    if (theReader == this)
        theReader = nullptr;
}

void TIdleReader::Read(TDataSet* dataSet, TComponent* client, std::function<void()> onRead) {
    if (!dataSet || !client || !dataSet->Active() || dataSet->AllRecordsHeld())
        return;
    auto reading = std::find_if(readings_.begin(), readings_.end(),
                                [&](const Reading& r) { return r.dataSet == dataSet; });
    if (reading == readings_.end()) {
        readings_.push_back({dataSet, kFirstPacketRows, {}});
        reading = readings_.end() - 1;
        FreeNotification(dataSet);
    }
    auto asked = std::find_if(reading->clients.begin(), reading->clients.end(),
                              [&](const Client& c) { return c.component == client; });
    if (asked != reading->clients.end())
        asked->onRead = std::move(onRead);
    else
        reading->clients.push_back({client, std::move(onRead)});
    FreeNotification(client);
    updateTimer();
}

void TIdleReader::Forget(TComponent* client) {
    for (Reading& r : readings_)
        std::erase_if(r.clients, [&](const Client& c) { return c.component == client; });
    std::vector<TDataSet*> unasked;
    for (const Reading& r : readings_)
        if (r.clients.empty())
            unasked.push_back(r.dataSet);
    for (TDataSet* ds : unasked)
        drop(ds);
    RemoveFreeNotification(client);
    updateTimer();
}

void TIdleReader::Notification(TComponent* component, Operation operation) {
    TComponent::Notification(component, operation);
    if (operation != Operation::Remove)
        return;
    drop(dynamic_cast<TDataSet*>(component));
    Forget(component);
}

void TIdleReader::drop(TDataSet* dataSet) {
    if (!dataSet)
        return;
    auto reading = std::find_if(readings_.begin(), readings_.end(),
                                [&](const Reading& r) { return r.dataSet == dataSet; });
    if (reading == readings_.end())
        return;
    readings_.erase(reading);
    RemoveFreeNotification(dataSet);
    updateTimer();
}

void TIdleReader::dropFinished() {
    std::vector<TDataSet*> finished;
    for (const Reading& r : readings_)
        if (!r.dataSet->Active() || r.dataSet->AllRecordsHeld())
            finished.push_back(r.dataSet);
    for (TDataSet* ds : finished)
        drop(ds);
}

void TIdleReader::updateTimer() {
    if (readings_.empty())
        impl_->timer.stop();
    else if (!impl_->timer.isActive())
        impl_->timer.start();
}

bool TIdleReader::Step() {
    // A callback or an error box may run the message loop: no packet is read inside another.
    if (stepping_)
        return IsReading();
    TFlagGuard stepping(stepping_);
    dropFinished();
    auto reading = std::find_if(readings_.begin(), readings_.end(),
                                [](const Reading& r) { return readable(r.dataSet); });
    if (reading == readings_.end())
        return IsReading();
    // Datasets take turns.
    std::rotate(readings_.begin(), reading + 1, readings_.end());
    TDataSet* ds = readings_.back().dataSet;
    const int rows = readings_.back().packetRows;
    const std::vector<Client> clients = readings_.back().clients;
    auto callBack = [&] {
        for (const Client& c : clients)
            if (c.onRead) {
                try {
                    c.onRead();
                } catch (const std::exception& e) {
                    Application->HandleException(c.component, e);
                }
            }
    };
    const double start = now();
    try {
        ds->ReadMoreRecords(rows);
    } catch (const std::exception& e) {
        // The rows held stay; the reading of this dataset ends here, and the error is told once.
        drop(ds);
        callBack();
        Application->HandleException(ds, e);
        return IsReading();
    }
    const double taken = std::max(now() - start, 1e-6);
    for (Reading& r : readings_)
        if (r.dataSet == ds)
            r.packetRows = std::clamp(static_cast<int>(rows * (kPacketSeconds / taken)), kFewestRows,
                                      std::min(kMostRows, 2 * rows));
    callBack();
    dropFinished();
    return IsReading();
}
