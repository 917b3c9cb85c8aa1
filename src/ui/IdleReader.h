#pragma once
// The idle reader: reads datasets to their end while the application has nothing else to do.
//
// A control showing a dataset that reads its records as they are needed (a client dataset still owed
// rows by its provider) asks for the rest here. The window then shows as soon as the rows it shows are
// read, and the dataset still comes to hold every record, without a count reading them all at once.
// Whenever the message loop finds no event waiting, the reader takes one packet of one dataset; the
// packet's size follows the time the last one took, so that a packet takes about 10 ms and a key or
// a click waits at most about that long. After each packet it calls back every control that asked for
// that dataset (a grid grows its scroll bar), and once the dataset holds every record it forgets it.
//
// A read that fails ends the reading of that dataset: the records read stay, the controls are called
// back once more, and the error is shown once in the application's error box.
//
// Costs: nothing while no dataset is asked for; while one is, a packet per idle pass of the loop.
#include "core/Component.h"

#include <functional>
#include <memory>
#include <vector>

class TDataSet;

class TIdleReader : public TComponent {
    MORVANE_CLASS(TIdleReader, TComponent)
public:
    explicit TIdleReader(TComponent* owner);
    ~TIdleReader() override;

    // Reads `dataSet` to its end for `client`, calling `onRead` after every packet; several clients may
    // ask for one dataset, which is read once. Asking again replaces the callback. Nothing happens when
    // the dataset holds every record already. A client or dataset that goes is forgotten.
    void Read(TDataSet* dataSet, TComponent* client, std::function<void()> onRead);
    // Forgets every request of `client`.
    void Forget(TComponent* client);
    // A dataset is still being read.
    bool IsReading() const { return !readings_.empty(); }
    // Reads one packet now, as an idle pass does; false when nothing is left to read.
    bool Step();

protected:
    void Notification(TComponent* component, Operation operation) override;

private:
    struct Client {
        TComponent* component;
        std::function<void()> onRead;
    };
    struct Reading {
        TDataSet* dataSet;
        int packetRows;
        std::vector<Client> clients;
    };
    void drop(TDataSet* dataSet);
    void dropFinished();
    void updateTimer();

    std::vector<Reading> readings_;
    bool stepping_ = false;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The application's idle reader, owned by the application object (made at the first call).
TIdleReader* IdleReader();
// Forgets every request of `client`, making no reader when there is none.
void ForgetIdleReading(TComponent* client);
