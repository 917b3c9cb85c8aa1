#pragma once
// Scope guards. Re-entrance: a count raised for the extent of a scope and lowered again, also when
// the guarded operation raises. A caller that finds the count above 0 drops its request instead of
// queueing it (the grids' layout rebuilds, width writes and row-count synchronisations work so).
#include <utility>

class TCountGuard {
public:
    explicit TCountGuard(int& count) : count_(count) { ++count_; }
    ~TCountGuard() { --count_; }
    TCountGuard(const TCountGuard&) = delete;
    TCountGuard& operator=(const TCountGuard&) = delete;

private:
    int& count_;
};

// Runs `f` when the scope ends, also when an exception leaves it: settings changed for one
// operation are put back so.
template <class F> class TAtScopeEnd {
public:
    explicit TAtScopeEnd(F f) : f_(std::move(f)) {}
    ~TAtScopeEnd() { f_(); }
    TAtScopeEnd(const TAtScopeEnd&) = delete;
    TAtScopeEnd& operator=(const TAtScopeEnd&) = delete;

private:
    F f_;
};

// A flag set for the extent of a scope and given back its earlier value at the end.
class TFlagGuard {
public:
    explicit TFlagGuard(bool& flag, bool value = true) : flag_(flag), saved_(flag) { flag_ = value; }
    ~TFlagGuard() { flag_ = saved_; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& flag_;
    bool saved_;
};
