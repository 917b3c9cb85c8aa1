#include "engine/Arena.h"

#include <new>

namespace dsengine {

namespace {
// Shared chunks start small (a customer list) and double up to a size whose unused tail is negligible.
constexpr uint64_t kFirstShared = 4096;
constexpr uint64_t kLargestShared = uint64_t(1) << 20;
} // namespace

uint8_t* Arena::newChunk(uint64_t capacity, uint64_t used, Ref& ref) {
    if (chunks_.size() >= kMaxChunks || capacity > kPositionMask)
        throw std::bad_alloc();
    chunks_.reserve(chunks_.size() + 1);
    Chunk c;
    c.data.reset(new uint8_t[capacity]);
    c.capacity = capacity;
    c.used = used;
    chunks_.push_back(std::move(c));
    held_ += capacity;
    ref = Ref(chunks_.size() - 1) << 40;
    return chunks_.back().data.get();
}

uint8_t* Arena::Allocate(size_t bytes, Ref& ref) {
    if (shared_ != SIZE_MAX) {
        Chunk& c = chunks_[shared_];
        if (c.capacity - c.used >= bytes) {
            ref = (Ref(shared_) << 40) | c.used;
            uint8_t* p = c.data.get() + c.used;
            c.used += bytes;
            return p;
        }
    }
    uint64_t capacity = shared_ == SIZE_MAX ? kFirstShared : chunks_[shared_].capacity * 2;
    if (capacity > kLargestShared)
        capacity = kLargestShared;
    if (capacity < bytes)
        capacity = bytes;
    uint8_t* p = newChunk(capacity, bytes, ref);
    shared_ = chunks_.size() - 1;
    return p;
}

uint8_t* Arena::AllocateChunk(size_t bytes, Ref& ref) { return newChunk(bytes ? bytes : 1, bytes, ref); }

void Arena::DropLastChunk() {
    if (chunks_.empty())
        return;
    held_ -= chunks_.back().capacity;
    chunks_.pop_back();
    if (shared_ == chunks_.size())
        shared_ = SIZE_MAX;
}

bool Arena::Contains(Ref ref, uint64_t bytes) const {
    size_t chunk = ref >> 40;
    uint64_t pos = ref & kPositionMask;
    return chunk < chunks_.size() && pos <= chunks_[chunk].used && bytes <= chunks_[chunk].used - pos;
}

} // namespace dsengine
