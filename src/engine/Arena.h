#pragma once
// The bytes of a table's rows: large chunks that never move, so a row's bytes keep their address for
// the table's life. A chunk is the arena's own, or adopted from whoever made the bytes (the row block of
// a packet). A row is addressed by a reference: the chunk number in bits 40..62, the position in the
// chunk in bits 0..39. Bytes are never freed before the table goes: a replaced row stays where it was
// (the change log may name it).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace dsengine {

class Arena {
public:
    using Ref = uint64_t;
    static constexpr Ref kPositionMask = (Ref(1) << 40) - 1;
    static constexpr size_t kMaxChunks = size_t(1) << 23;

    // Room for one row edited in memory, from a chunk shared with other such rows.
    uint8_t* Allocate(size_t bytes, Ref& ref);
    // A chunk of exactly `bytes` (the row block of a packet), which no other allocation shares.
    uint8_t* AllocateChunk(size_t bytes, Ref& ref);
    // Takes `length` bytes that someone else made as a chunk (the row block of a packet a writer built):
    // `owner` keeps them alive and unchanged while the arena holds them; `held` is what they cost.
    void AdoptChunk(std::shared_ptr<const void> owner, const uint8_t* bytes, size_t length, uint64_t held, Ref& ref);
    // Gives back the chunk of the last AllocateChunk or AdoptChunk (a packet that turned out to be
    // malformed).
    void DropLastChunk();

    const uint8_t* At(Ref ref) const { return chunks_[ref >> 40].bytes + (ref & kPositionMask); }
    // True when `bytes` bytes from `ref` lie in what was allocated.
    bool Contains(Ref ref, uint64_t bytes) const;
    uint64_t HeldBytes() const { return held_; }

private:
    struct Chunk {
        std::unique_ptr<uint8_t[]> data;    // bytes of our own, or
        std::shared_ptr<const void> owner;  // what keeps adopted bytes
        const uint8_t* bytes = nullptr;
        uint64_t capacity = 0;
        uint64_t used = 0;
        uint64_t held = 0;
    };
    uint8_t* newChunk(uint64_t capacity, uint64_t used, Ref& ref);
    void addChunk(Chunk c, Ref& ref);

    std::vector<Chunk> chunks_;
    size_t shared_ = SIZE_MAX;  // the chunk Allocate fills, if any
    uint64_t held_ = 0;
};

} // namespace dsengine
