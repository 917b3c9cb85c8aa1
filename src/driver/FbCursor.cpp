#include "driver/FbCursor.h"

#include "driver/FbConnection.h"

namespace {
template <typename T> T read(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

int64_t power10(int n) {
    int64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}
} // namespace

TFbCursor::TFbCursor(TFbCommand* command)
    : command_(SQLPtr<TFbCommand>::Share(command)), columns_(command->Columns()), rowSize_(command->RowSize()),
      capacity_(command->RowsPerFetch()), trimChar_(command->Connection()->TrimChar()) {
    batch_.reset(new char[rowSize_ * static_cast<size_t>(capacity_)]);
}

TFbCursor::~TFbCursor() {
    if (!detached_)
        command_->CursorClosed(this);
}

SQLResult TFbCursor::setOption(int32_t, intptr_t) { return SQL_NOT_SUPPORTED; }

SQLResult TFbCursor::getOption(int32_t, void*, int32_t, int32_t*) { return SQL_NOT_SUPPORTED; }

SQLResult TFbCursor::getColumnCount(uint16_t* count) {
    if (!count)
        return SQL_INVALID_PARAMETER;
    *count = static_cast<uint16_t>(columns_.size());
    return SQL_SUCCESS;
}

// The column descriptions answer alike: a column out of range fails, else the value is written.
#define MORVANE_COLUMN_INFO(method, Type, expr)                                                            \
    SQLResult TFbCursor::method(uint16_t col, Type* out) {                                                 \
        const FbColumn* c = column(col);                                                                   \
        if (!c)                                                                                            \
            return SQL_OUT_OF_RANGE;                                                                       \
        if (!out)                                                                                          \
            return SQL_INVALID_PARAMETER;                                                                  \
        *out = (expr);                                                                                     \
        return SQL_SUCCESS;                                                                                \
    }

MORVANE_COLUMN_INFO(getColumnNameLength, uint16_t, static_cast<uint16_t>(c->name.size()))
MORVANE_COLUMN_INFO(getColumnLength, uint32_t, c->length)
MORVANE_COLUMN_INFO(getColumnPrecision, int16_t, c->precision)
MORVANE_COLUMN_INFO(getColumnScale, int16_t, c->scale)
MORVANE_COLUMN_INFO(isNullable, bool, c->nullable)
MORVANE_COLUMN_INFO(isAutoIncrement, bool, false)
MORVANE_COLUMN_INFO(isReadOnly, bool, c->readOnly)
MORVANE_COLUMN_INFO(isSearchable, bool, c->type != SQL_COL_BLOB)
MORVANE_COLUMN_INFO(isBlobSizeExact, bool, true)
#undef MORVANE_COLUMN_INFO

SQLResult TFbCursor::getColumnName(uint16_t col, char* name) {
    const FbColumn* c = column(col);
    if (!c)
        return SQL_OUT_OF_RANGE;
    if (!name)
        return SQL_INVALID_PARAMETER;
    std::memcpy(name, c->name.c_str(), c->name.size() + 1);
    return SQL_SUCCESS;
}

SQLResult TFbCursor::getColumnType(uint16_t col, uint16_t* type, uint16_t* subType) {
    const FbColumn* c = column(col);
    if (!c)
        return SQL_OUT_OF_RANGE;
    if (!type || !subType)
        return SQL_INVALID_PARAMETER;
    *type = c->type;
    *subType = c->subType;
    return SQL_SUCCESS;
}

SQLResult TFbCursor::next() {
    if (row_ && position_ + 1 < count_) {
        ++position_;
        row_ += rowSize_;
        return SQL_SUCCESS;
    }
    row_ = nullptr;
    count_ = position_ = 0;
    if (end_ || detached_)
        return SQL_EOF;
    AnsiString error;
    while (count_ < capacity_) {
        SQLResult r = command_->FetchInto(batch_.get() + rowSize_ * static_cast<size_t>(count_), error);
        if (r == SQL_EOF) {
            end_ = true;
            break;
        }
        if (r != SQL_SUCCESS) {
            count_ = 0;
            return error_.Fail(r, error);
        }
        ++count_;
    }
    if (count_ == 0)
        return SQL_EOF;
    row_ = batch_.get();
    return SQL_SUCCESS;
}

bool TFbCursor::integer(const FbColumn& c, const char* data, int64_t& v) {
    switch (c.fbType) {
    case SQL_SHORT: v = read<int16_t>(data); return true;
    case SQL_LONG: v = read<int32_t>(data); return true;
    case SQL_INT64: v = read<int64_t>(data); return true;
    default: return false;
    }
}

SQLResult TFbCursor::getString(uint16_t col, char* out, bool* isNull) {
    const FbColumn* c;
    SQLResult r;
    const char* data = value(col, isNull, c, r);
    if (!data)
        return r;
    if (c->type != SQL_COL_TEXT)
        return SQL_INVALID_FIELD_TYPE;
    if (!out)
        return SQL_INVALID_PARAMETER;
    size_t n = 0;
    if (!*isNull) {
        if (c->fbType == SQL_VARYING) {
            n = std::min<size_t>(static_cast<size_t>(std::max<short>(read<short>(data), 0)),
                                 static_cast<size_t>(c->fbLength));
            data += 2;
        } else {
            // CHAR keeps its padding as fixed text, unless the connection trims it.
            n = static_cast<size_t>(c->fbLength);
            if (trimChar_)
                while (n > 0 && data[n - 1] == ' ')
                    --n;
        }
        std::memcpy(out, data, n);
    }
    out[n] = '\0';
    return SQL_SUCCESS;
}

SQLResult TFbCursor::getShort(uint16_t col, int16_t* out, bool* isNull) {
    const FbColumn* c;
    SQLResult r;
    const char* data = value(col, isNull, c, r);
    if (!data)
        return r;
    if (!out)
        return SQL_INVALID_PARAMETER;
    if (c->fbType == SQL_BOOLEAN)
        *out = *isNull ? 0 : (data[0] != 0);
    else if (c->fbType == SQL_SHORT && c->fbScale == 0)
        *out = *isNull ? 0 : read<int16_t>(data);
    else
        return SQL_INVALID_FIELD_TYPE;
    return SQL_SUCCESS;
}

SQLResult TFbCursor::getLong(uint16_t col, int32_t* out, bool* isNull) {
    const FbColumn* c;
    SQLResult r;
    const char* data = value(col, isNull, c, r);
    if (!data)
        return r;
    int64_t v;
    if (!out)
        return SQL_INVALID_PARAMETER;
    if (c->fbType == SQL_INT64 || c->fbScale != 0 || !integer(*c, data, v))
        return SQL_INVALID_FIELD_TYPE;
    *out = *isNull ? 0 : static_cast<int32_t>(v);
    return SQL_SUCCESS;
}

SQLResult TFbCursor::getInt64(uint16_t col, int64_t* out, bool* isNull) {
    const FbColumn* c;
    SQLResult r;
    const char* data = value(col, isNull, c, r);
    if (!data)
        return r;
    int64_t v;
    if (!out)
        return SQL_INVALID_PARAMETER;
    if (c->fbScale != 0 || !integer(*c, data, v))
        return SQL_INVALID_FIELD_TYPE;
    *out = *isNull ? 0 : v;
    return SQL_SUCCESS;
}

SQLResult TFbCursor::getDouble(uint16_t col, double* out, bool* isNull) {
    const FbColumn* c;
    SQLResult r;
    const char* data = value(col, isNull, c, r);
    if (!data)
        return r;
    if (!out)
        return SQL_INVALID_PARAMETER;
    int64_t v;
    if (c->fbType == SQL_DOUBLE || c->fbType == SQL_D_FLOAT)
        *out = read<double>(data);
    else if (c->fbType == SQL_FLOAT)
        *out = read<float>(data);
    else if (integer(*c, data, v))
        *out = static_cast<double>(v) / static_cast<double>(power10(-c->fbScale));
    else
        return SQL_INVALID_FIELD_TYPE;
    if (*isNull)
        *out = 0;
    return SQL_SUCCESS;
}

SQLResult TFbCursor::getBcd(uint16_t col, SQLBcd* out, bool* isNull) {
    const FbColumn* c;
    SQLResult r;
    const char* data = value(col, isNull, c, r);
    if (!data)
        return r;
    if (!out)
        return SQL_INVALID_PARAMETER;
    int64_t v;
    if (!integer(*c, data, v))
        return SQL_INVALID_FIELD_TYPE;
    *out = SQLBcd{*isNull ? 0 : v, c->precision, static_cast<int16_t>(-c->fbScale)};
    return SQL_SUCCESS;
}

SQLResult TFbCursor::getTimeStamp(uint16_t col, SQLTimeStamp* out, bool* isNull) {
    const FbColumn* c;
    SQLResult r;
    const char* data = value(col, isNull, c, r);
    if (!data)
        return r;
    if (!out)
        return SQL_INVALID_PARAMETER;
    if (c->fbType != SQL_TIMESTAMP && c->fbType != SQL_TYPE_DATE)
        return SQL_INVALID_FIELD_TYPE;
    *out = SQLTimeStamp{};
    if (*isNull)
        return SQL_SUCCESS;
    SQLDate d = fb::DecodeDate(read<ISC_DATE>(data));
    SQLTime t{};
    if (c->fbType == SQL_TIMESTAMP)
        t = fb::DecodeTime(read<ISC_TIME>(data + sizeof(ISC_DATE)));
    *out = SQLTimeStamp{d.year, d.month, d.day, t.hour, t.minute, t.second, t.fraction};
    return SQL_SUCCESS;
}

SQLResult TFbCursor::getTime(uint16_t col, SQLTime* out, bool* isNull) {
    const FbColumn* c;
    SQLResult r;
    const char* data = value(col, isNull, c, r);
    if (!data)
        return r;
    if (!out)
        return SQL_INVALID_PARAMETER;
    if (c->fbType != SQL_TYPE_TIME && c->fbType != SQL_TIMESTAMP)
        return SQL_INVALID_FIELD_TYPE;
    *out = SQLTime{};
    if (!*isNull)
        *out = fb::DecodeTime(read<ISC_TIME>(data + (c->fbType == SQL_TIMESTAMP ? sizeof(ISC_DATE) : 0)));
    return SQL_SUCCESS;
}

SQLResult TFbCursor::getDate(uint16_t col, SQLDate* out, bool* isNull) {
    const FbColumn* c;
    SQLResult r;
    const char* data = value(col, isNull, c, r);
    if (!data)
        return r;
    if (!out)
        return SQL_INVALID_PARAMETER;
    if (c->fbType != SQL_TYPE_DATE && c->fbType != SQL_TIMESTAMP)
        return SQL_INVALID_FIELD_TYPE;
    *out = *isNull ? SQLDate{} : fb::DecodeDate(read<ISC_DATE>(data));
    return SQL_SUCCESS;
}

// The raw bytes of a text column, without terminator: the whole width of a CHAR, the used part of a
// VARCHAR.
SQLResult TFbCursor::getBytes(uint16_t col, uint8_t* out, bool* isNull) {
    const FbColumn* c;
    SQLResult r;
    const char* data = value(col, isNull, c, r);
    if (!data)
        return r;
    if (!out)
        return SQL_INVALID_PARAMETER;
    if (c->fbType != SQL_TEXT && c->fbType != SQL_VARYING)
        return SQL_INVALID_FIELD_TYPE;
    if (*isNull)
        return SQL_SUCCESS;
    if (c->fbType == SQL_VARYING)
        std::memcpy(out, data + 2,
                    std::min<size_t>(static_cast<size_t>(std::max<short>(read<short>(data), 0)),
                                     static_cast<size_t>(c->fbLength)));
    else
        std::memcpy(out, data, static_cast<size_t>(c->fbLength));
    return SQL_SUCCESS;
}

bool TFbCursor::openBlob(const char* data, fb::BlobHandle& blob, SQLResult& result) {
    TFbConnection* conn = command_->Connection();
    isc_tr_handle* tr = nullptr;
    AnsiString error;
    if (detached_ || !conn->Attached()) {
        result = SQL_INVALID_HANDLE;
        return false;
    }
    if (!conn->Transaction(tr, error)) {
        result = error_.Fail(SQL_SERVER_ERROR, error);
        return false;
    }
    ISC_QUAD id = read<ISC_QUAD>(data);
    ISC_STATUS_ARRAY status;
    blob.Close();
    if (conn->Api().open_blob2(status, conn->Database(), tr, blob.Handle(), &id, 0, nullptr)) {
        result = error_.Fail(SQL_SERVER_ERROR, fb::StatusText(conn->Api(), status));
        return false;
    }
    return true;
}

SQLResult TFbCursor::blobLength(fb::BlobHandle& blob, uint32_t& length) {
    const fb::Api& api = command_->Connection()->Api();
    ISC_STATUS_ARRAY status;
    char items[] = {isc_info_blob_total_length};
    unsigned char info[32] = {};
    if (api.blob_info(status, blob.Handle(), sizeof items, items, sizeof info, reinterpret_cast<char*>(info)))
        return error_.Fail(SQL_SERVER_ERROR, fb::StatusText(api, status));
    length = 0;
    if (info[0] == isc_info_blob_total_length)
        length = static_cast<uint32_t>(fb::InfoInteger(info + 3, static_cast<int>(fb::InfoInteger(info + 1, 2))));
    // The connection's blob size is a limit in kilobytes; -1 reads every byte.
    int32_t limit = command_->Connection()->BlobSizeLimit();
    if (limit >= 0)
        length = std::min<uint32_t>(length, static_cast<uint32_t>(limit) * 1024u);
    return SQL_SUCCESS;
}

SQLResult TFbCursor::getBlobSize(uint16_t col, uint32_t* size, bool* isNull) {
    const FbColumn* c;
    SQLResult r;
    const char* data = value(col, isNull, c, r);
    if (!data)
        return r;
    if (!size)
        return SQL_INVALID_PARAMETER;
    if (c->fbType != SQL_BLOB)
        return SQL_INVALID_FIELD_TYPE;
    *size = 0;
    if (*isNull)
        return SQL_SUCCESS;
    fb::BlobHandle blob(command_->Connection()->Api());
    if (!openBlob(data, blob, r))
        return r;
    return blobLength(blob, *size);
}

SQLResult TFbCursor::getBlob(uint16_t col, void* out, bool* isNull, uint32_t length) {
    const FbColumn* c;
    SQLResult r;
    const char* data = value(col, isNull, c, r);
    if (!data)
        return r;
    if (!out && length > 0)
        return SQL_INVALID_PARAMETER;
    if (c->fbType != SQL_BLOB)
        return SQL_INVALID_FIELD_TYPE;
    if (*isNull || length == 0)
        return SQL_SUCCESS;
    const fb::Api& api = command_->Connection()->Api();
    fb::BlobHandle blob(api);
    if (!openBlob(data, blob, r))
        return r;
    ISC_STATUS_ARRAY status;
    uint32_t limit = length;
    if (SQLResult lr = blobLength(blob, limit); lr != SQL_SUCCESS)
        return lr;
    limit = std::min(limit, length);
    char* p = static_cast<char*>(out);
    uint32_t done = 0;
    while (done < limit) {
        unsigned short got = 0;
        auto ask = static_cast<unsigned short>(std::min<uint32_t>(limit - done, 32768));
        ISC_STATUS s = api.get_segment(status, blob.Handle(), &got, ask, p + done);
        done += got;
        if (s == isc_segstr_eof)
            break;
        if (s != 0 && s != isc_segment) {
            r = error_.Fail(SQL_SERVER_ERROR, fb::StatusText(api, status));
            break;
        }
    }
    return r;
}
