#pragma once
// The rows of an executed statement, read forward. Rows are fetched a batch at a time (the command's
// rows-per-fetch) into one block of memory; a value getter reads straight from the current row there.
#include "driver/FbCommand.h"

#include <cstring>

class TFbCursor : public RefCounted<ISQLCursor> {
public:
    explicit TFbCursor(TFbCommand* command);
    ~TFbCursor() override;

    // The command ran again or closed: no further rows come from it.
    void Detach() { detached_ = true; }

    SQLResult setOption(int32_t option, intptr_t value) override;
    SQLResult getOption(int32_t option, void* buffer, int32_t length, int32_t* outLength) override;
    SQLResult getErrorMessage(char* buffer) override { return error_.Copy(buffer); }
    SQLResult getErrorMessageLen(uint16_t* length) override { return error_.Length(length); }
    SQLResult getColumnCount(uint16_t* count) override;
    SQLResult getColumnNameLength(uint16_t column, uint16_t* length) override;
    SQLResult getColumnName(uint16_t column, char* name) override;
    SQLResult getColumnType(uint16_t column, uint16_t* type, uint16_t* subType) override;
    SQLResult getColumnLength(uint16_t column, uint32_t* length) override;
    SQLResult getColumnPrecision(uint16_t column, int16_t* precision) override;
    SQLResult getColumnScale(uint16_t column, int16_t* scale) override;
    SQLResult isNullable(uint16_t column, bool* nullable) override;
    SQLResult isAutoIncrement(uint16_t column, bool* autoIncrement) override;
    SQLResult isReadOnly(uint16_t column, bool* readOnly) override;
    SQLResult isSearchable(uint16_t column, bool* searchable) override;
    SQLResult isBlobSizeExact(uint16_t column, bool* exact) override;
    SQLResult next() override;
    SQLResult getString(uint16_t column, char* value, bool* isNull) override;
    SQLResult getShort(uint16_t column, int16_t* value, bool* isNull) override;
    SQLResult getLong(uint16_t column, int32_t* value, bool* isNull) override;
    SQLResult getInt64(uint16_t column, int64_t* value, bool* isNull) override;
    SQLResult getDouble(uint16_t column, double* value, bool* isNull) override;
    SQLResult getBcd(uint16_t column, SQLBcd* value, bool* isNull) override;
    SQLResult getTimeStamp(uint16_t column, SQLTimeStamp* value, bool* isNull) override;
    SQLResult getTime(uint16_t column, SQLTime* value, bool* isNull) override;
    SQLResult getDate(uint16_t column, SQLDate* value, bool* isNull) override;
    SQLResult getBytes(uint16_t column, uint8_t* value, bool* isNull) override;
    SQLResult getBlobSize(uint16_t column, uint32_t* size, bool* isNull) override;
    SQLResult getBlob(uint16_t column, void* value, bool* isNull, uint32_t length) override;

private:
    // Inline, as the value getters below, called for every value of every row, are their only users.
    const FbColumn* column(uint16_t column) const {
        return column >= 1 && column <= columns_.size() ? &columns_[column - 1u] : nullptr;
    }
    // The column's value in the current row: null when there is no such column or no current row
    // (`result` says which), else its bytes, with `isNull` filled.
    const char* value(uint16_t col, bool* isNull, const FbColumn*& c, SQLResult& result) const {
        c = column(col);
        if (!c || !isNull) {
            result = c ? SQL_INVALID_PARAMETER : SQL_OUT_OF_RANGE;
            return nullptr;
        }
        if (!row_) {
            result = SQL_EOF;
            return nullptr;
        }
        short indicator;
        std::memcpy(&indicator, row_ + c->nullOffset, sizeof indicator);
        *isNull = indicator == -1;
        result = SQL_SUCCESS;
        return row_ + c->dataOffset;
    }
    // Integer columns (with their scale) as a whole number.
    static bool integer(const FbColumn& c, const char* data, int64_t& v);
    // Opens the blob of the current row's column; false with the failure in `result`.
    bool openBlob(const char* data, fb::BlobHandle& blob, SQLResult& result);
    SQLResult blobLength(fb::BlobHandle& blob, uint32_t& length);

    SQLPtr<TFbCommand> command_;  // a cursor keeps its command alive
    std::vector<FbColumn> columns_;
    size_t rowSize_;
    std::unique_ptr<char[]> batch_;
    int32_t capacity_;
    int32_t count_ = 0;
    int32_t position_ = 0;
    const char* row_ = nullptr;
    bool end_ = false;
    bool detached_ = false;
    bool trimChar_;
    ErrorText error_;
};
