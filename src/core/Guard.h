#pragma once
// Re-entrance guards: a count raised for the extent of a scope and lowered again, also when the
// guarded operation raises. A caller that finds the count above 0 drops its request instead of
// queueing it (the grids' layout rebuilds, width writes and row-count synchronisations work so).

class TCountGuard {
public:
    explicit TCountGuard(int& count) : count_(count) { ++count_; }
    ~TCountGuard() { --count_; }
    TCountGuard(const TCountGuard&) = delete;
    TCountGuard& operator=(const TCountGuard&) = delete;

private:
    int& count_;
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
