#pragma once
// Builds a data packet (format in DSIntf.h) value by value.
#include "engine/ComObject.h"
#include "engine/PacketBuffer.h"
#include "engine/RowLayout.h"

#include <memory>

namespace dsengine {

class Writer final : public ComObject<IDSWriter, IID_IDSWriter> {
public:
    DBResult Begin(const DSFieldDesc* fields, uint32_t fieldCount, uint16_t packetFlags) override;
    DBResult PutValue(const void* value, uint32_t length) override;
    DBResult Finish(const uint8_t** packet, uint64_t* length) override;
    DBResult GetRowCount(uint32_t* rows) override;

private:
    // The packet, copied first when a table shares it (a shared packet never changes).
    PacketBuffer& writable() {
        if (packet_.use_count() > 1)
            unshare();
        return *packet_;
    }
    void unshare();

    RowLayout layout_;
    std::shared_ptr<PacketBuffer> packet_;
    bool begun_ = false;
    uint32_t column_ = 0;  // of the next value
    uint32_t rows_ = 0;
    size_t rowStart_ = 0;
};

} // namespace dsengine
