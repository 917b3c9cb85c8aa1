#pragma once
// The bytes of a data packet while a writer builds it: one block, grown with realloc (a large block is
// remapped by the system rather than copied, so growing never holds the old and the new block at once)
// and never filled with zeros nobody reads.
//
// A finished packet is published: a table of this library appending exactly these bytes shares the
// block instead of copying its rows, so a packet of a million rows is held once, not twice. A shared
// block never changes again: the writer copies it before writing on.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace dsengine {

class PacketBuffer : public std::enable_shared_from_this<PacketBuffer> {
public:
    PacketBuffer() = default;
    ~PacketBuffer();
    PacketBuffer(const PacketBuffer&) = delete;
    PacketBuffer& operator=(const PacketBuffer&) = delete;

    uint8_t* Data() { return data_; }
    const uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }

    // `bytes` more bytes at the end, not initialised; answers where they start. The block may move.
    // Throws std::bad_alloc.
    uint8_t* Extend(size_t bytes) {
        if (capacity_ - size_ < bytes || published_)
            grow(bytes);
        uint8_t* p = data_ + size_;
        size_ += bytes;
        return p;
    }
    // Gives the unused room back (the block may move); keeps it when the system will not shrink it.
    void ShrinkToFit();

    // Until the block next changes or goes, Find answers it for its address and size.
    void Publish();
    // The published block that starts at `data` and is `size` bytes long; null when none is.
    static std::shared_ptr<const PacketBuffer> Find(const uint8_t* data, size_t size);

private:
    void grow(size_t bytes);
    void withdraw();

    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    bool published_ = false;
};

} // namespace dsengine
