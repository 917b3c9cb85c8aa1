#pragma once
// A copy of a short list of pointers, taken before calling out to each of them so that a callee may
// change the list (a link detaching itself while it handles an event). Up to eight are copied on the
// stack, as the lists of a dataset's sources and a source's links are: an event sent at every record
// of a walk allocates nothing.
#include <algorithm>
#include <cstddef>
#include <vector>

template <class T> class TSnapshot {
public:
    explicit TSnapshot(const std::vector<T*>& items) : size_(items.size()) {
        if (size_ <= kFew)
            std::copy(items.begin(), items.end(), few_);
        else
            many_ = items;
    }
    TSnapshot(const TSnapshot&) = delete;
    TSnapshot& operator=(const TSnapshot&) = delete;
    T* const* begin() const { return size_ <= kFew ? few_ : many_.data(); }
    T* const* end() const { return begin() + size_; }

private:
    static constexpr size_t kFew = 8;
    size_t size_;
    T* few_[kFew];
    std::vector<T*> many_;
};
