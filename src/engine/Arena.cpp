#include "engine/Arena.h"

#include <new>

namespace dsengine {

namespace {
// Shared chunks start small (a customer list) and double up to a size whose unused tail is negligible.
constexpr uint64_t kFirstShared = 4096;
constexpr uint64_t kLargestShared = uint64_t(1) << 20;
} // namespace

void Arena::addChunk(Chunk c, Ref& ref) {
    if (chunks_.size() >= kMaxChunks || c.capacity > kPositionMask)
        throw std::bad_alloc();
    // Geometric room: a packet's chunk moves the others only now and then, not every time.
    if (chunks_.size() == chunks_.capacity())
        chunks_.reserve(chunks_.empty() ? 16 : chunks_.capacity() * 2);
    held_ += c.held;
    chunks_.push_back(std::move(c));
    ref = Ref(chunks_.size() - 1) << 40;
}

uint8_t* Arena::newChunk(uint64_t capacity, uint64_t used, Ref& ref) {
    if (capacity > kPositionMask)
        throw std::bad_alloc();
    Chunk c;
    c.data.reset(new uint8_t[capacity]);
    c.bytes = c.data.get();
    c.capacity = capacity;
    c.used = used;
    c.held = capacity;
    uint8_t* p = c.data.get();
    addChunk(std::move(c), ref);
    return p;
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

void Arena::AdoptChunk(std::shared_ptr<const void> owner, const uint8_t* bytes, size_t length, uint64_t held,
                       Ref& ref) {
    Chunk c;
    c.owner = std::move(owner);
    c.bytes = bytes;
    c.capacity = length;
    c.used = length;
    c.held = held;
    addChunk(std::move(c), ref);
}

void Arena::DropLastChunk() {
    if (chunks_.empty())
        return;
    held_ -= chunks_.back().held;
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
