#pragma once
// Builds a data packet (format in DSIntf.h) value by value.
#include "engine/ComObject.h"
#include "engine/RowLayout.h"

#include <vector>

namespace dsengine {

class Writer final : public ComObject<IDSWriter, IID_IDSWriter> {
public:
    DBResult Begin(const DSFieldDesc* fields, uint32_t fieldCount, uint16_t packetFlags) override;
    DBResult PutValue(const void* value, uint32_t length) override;
    DBResult Finish(const uint8_t** packet, uint64_t* length) override;
    DBResult GetRowCount(uint32_t* rows) override;

private:
    RowLayout layout_;
    std::vector<uint8_t> packet_;
    bool begun_ = false;
    uint32_t column_ = 0;  // of the next value
    uint32_t rows_ = 0;
    size_t rowStart_ = 0;
};

} // namespace dsengine
