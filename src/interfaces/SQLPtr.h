#pragma once
// Holds one reference of a driver object (anything with addRef and release: the published ISQL
// interfaces, or the driver's own classes behind them) and gives it back when it goes, as DSPtr does
// for the engine's objects. Costs one pointer; copying adds a reference, moving moves it.
//
//     SQLPtr<ISQLCommand> command;
//     check(connection->getSQLCommand(command.Out()));   // the call's new reference is now held
#include <utility>

template <class T> class SQLPtr {
public:
    SQLPtr() = default;
    // Takes over the reference the caller holds (one a call handed out).
    explicit SQLPtr(T* object) noexcept : p_(object) {}
    // Takes a reference of its own to an object someone else holds.
    static SQLPtr Share(T* object) {
        if (object)
            object->addRef();
        return SQLPtr(object);
    }
    SQLPtr(const SQLPtr& other) : p_(other.p_) {
        if (p_)
            p_->addRef();
    }
    SQLPtr(SQLPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    SQLPtr& operator=(SQLPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~SQLPtr() { reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Gives the reference back now.
    void reset() {
        if (T* p = std::exchange(p_, nullptr))
            p->release();
    }
    // The place an interface call writes its new reference into; the one held before is given back
    // first, so the place is null until the call fills it (a failing call leaves it so).
    T** Out() {
        reset();
        return &p_;
    }

private:
    T* p_ = nullptr;
};
