#include "engine/PacketBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>

namespace dsengine {

namespace {
// Published blocks by their first byte. Tables and writers may live on different threads.
std::mutex publishedLock;
std::unordered_map<const uint8_t*, PacketBuffer*>& published() {
    static std::unordered_map<const uint8_t*, PacketBuffer*> map;
    return map;
}
} // namespace

PacketBuffer::~PacketBuffer() {
    withdraw();
    std::free(data_);
}

void PacketBuffer::grow(size_t bytes) {
    withdraw();
    if (capacity_ - size_ >= bytes)
        return;
    if (bytes > SIZE_MAX / 2 - size_)
        throw std::bad_alloc();
    size_t capacity = std::max<size_t>({size_ + bytes, capacity_ + capacity_ / 2, 4096});
    void* p = std::realloc(data_, capacity);
    if (!p)
        throw std::bad_alloc();
    data_ = static_cast<uint8_t*>(p);
    capacity_ = capacity;
}

void PacketBuffer::ShrinkToFit() {
    if (size_ == capacity_ || size_ == 0)
        return;
    withdraw();
    if (void* p = std::realloc(data_, size_)) {
        data_ = static_cast<uint8_t*>(p);
        capacity_ = size_;
    }
}

void PacketBuffer::Publish() {
    if (published_ || !data_)
        return;
    std::lock_guard<std::mutex> lock(publishedLock);
    published()[data_] = this;
    published_ = true;
}

void PacketBuffer::withdraw() {
    if (!published_)
        return;
    std::lock_guard<std::mutex> lock(publishedLock);
    auto it = published().find(data_);
    if (it != published().end() && it->second == this)
        published().erase(it);
    published_ = false;
}

std::shared_ptr<const PacketBuffer> PacketBuffer::Find(const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> lock(publishedLock);
    auto it = published().find(data);
    if (it == published().end())
        return nullptr;
    // A block on its way out is no longer owned by anyone: lock() answers null then.
    std::shared_ptr<const PacketBuffer> buffer = it->second->weak_from_this().lock();
    return buffer && buffer->size_ == size ? buffer : nullptr;
}

} // namespace dsengine
