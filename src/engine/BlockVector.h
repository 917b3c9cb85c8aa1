#pragma once
// A sequence of plain values held in blocks of a fixed size: the table's row index, its order and its
// positions. Unlike a vector it never moves what it holds, so an append costs the same at a million
// rows as at ten: a packet read while the user types never pays for copying the whole index.
//
//   operator[]      O(1): a shift and a mask
//   push_back       O(1); a new block (2^kBits values) when the last is full; the first block starts
//                   small and doubles to that size
//   Reserve(n)      allocates the blocks for n values, so that the appends up to n cannot fail
//   Truncate(n)     O(1); the blocks stay for the next appends
//   insert, erase   O(values after the position), a block-wise move as in a vector
//
// Held: the blocks (at most one partly used, unless the sequence was truncated) and one pointer a
// block. Values are left uninitialised until written.
#include <algorithm>
#include <cassert>
#include <cstddef>
#include <memory>
#include <type_traits>
#include <vector>

namespace dsengine {

template <class T, unsigned kBits = 13> class BlockVector {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    static constexpr size_t kBlock = size_t(1) << kBits;

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& operator[](size_t i) {
        assert(i < size_);
        return blocks_[i >> kBits][i & (kBlock - 1)];
    }
    const T& operator[](size_t i) const {
        assert(i < size_);
        return blocks_[i >> kBits][i & (kBlock - 1)];
    }

    // Throws std::bad_alloc, holding what it held.
    void Reserve(size_t n) {
        if (n <= capacity_)
            return;
        // Room for the block pointers first: a block is never allocated without a place to keep it.
        if (blocks_.capacity() == 0)
            blocks_.reserve(4);
        if (capacity_ < kBlock) {
            // The first block doubles up to its full size, copying at most one block: a table of a
            // few rows holds little.
            size_t grown = std::min(kBlock, std::max({n, 2 * capacity_, size_t(16)}));
            auto block = std::make_unique_for_overwrite<T[]>(grown);
            if (size_)
                std::copy_n(blocks_[0].get(), size_, block.get());
            if (blocks_.empty())
                blocks_.push_back(std::move(block));
            else
                blocks_[0] = std::move(block);
            capacity_ = grown;
        }
        while (capacity_ < n) {
            if (blocks_.size() == blocks_.capacity())
                blocks_.reserve(blocks_.capacity() * 2);
            blocks_.push_back(std::make_unique_for_overwrite<T[]>(kBlock));
            capacity_ += kBlock;
        }
    }
    void push_back(T v) {
        Reserve(size_ + 1);
        (*this)[size_++] = v;
    }
    void Truncate(size_t n) {
        assert(n <= size_);
        size_ = n;
    }
    void clear() { size_ = 0; }

    void insert(size_t at, T v) {
        assert(at <= size_);
        Reserve(size_ + 1);
        ++size_;
        // Each block from the one of `at` shifts its values right by one; the last value of a full
        // block goes first into the next.
        for (size_t b = at >> kBits, from = at & (kBlock - 1);; ++b, from = 0) {
            T* block = blocks_[b].get();
            size_t live = std::min(kBlock, size_ - b * kBlock);
            const bool more = (b + 1) * kBlock < size_;
            const T out = more ? block[kBlock - 1] : v;
            std::copy_backward(block + from, block + live - 1, block + live);
            block[from] = v;
            if (!more)
                break;
            v = out;
        }
    }
    void erase(size_t at) {
        assert(at < size_);
        for (size_t b = at >> kBits, from = at & (kBlock - 1);; ++b, from = 0) {
            T* block = blocks_[b].get();
            size_t live = std::min(kBlock, size_ - b * kBlock);
            std::copy(block + from + 1, block + live, block + from);
            if ((b + 1) * kBlock >= size_)
                break;
            block[kBlock - 1] = blocks_[b + 1][0];
        }
        --size_;
    }

    // Bytes held, free room included.
    size_t HeldBytes() const { return capacity_ * sizeof(T) + blocks_.capacity() * sizeof(void*); }

private:
    std::vector<std::unique_ptr<T[]>> blocks_;
    size_t capacity_ = 0;  // values the blocks hold: the first block's size, then kBlock a block
    size_t size_ = 0;
};

} // namespace dsengine
