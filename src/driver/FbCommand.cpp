#include "driver/FbCommand.h"

#include "driver/FbConnection.h"
#include "driver/FbCursor.h"

#include <new>

namespace {
constexpr short initialColumns = 32;

std::unique_ptr<char[]> newDescriptor(short columns) {
    std::unique_ptr<char[]> area(new char[XSQLDA_LENGTH(columns)]());
    XSQLDA* da = reinterpret_cast<XSQLDA*>(area.get());
    da->version = SQLDA_VERSION1;
    da->sqln = columns;
    return area;
}

XSQLDA* descriptor(const std::unique_ptr<char[]>& area) { return reinterpret_cast<XSQLDA*>(area.get()); }

size_t valueSize(const XSQLVAR& v) {
    switch (v.sqltype & ~1) {
    case SQL_TEXT: return static_cast<size_t>(v.sqllen);
    case SQL_VARYING: return static_cast<size_t>(v.sqllen) + 2;
    case SQL_SHORT: return 2;
    case SQL_LONG: case SQL_FLOAT: case SQL_TYPE_DATE: case SQL_TYPE_TIME: return 4;
    case SQL_NULL: return 0;
    case SQL_BOOLEAN: return 1;
    default: return std::max<size_t>(8, static_cast<size_t>(v.sqllen));
    }
}

// The driver's column type for a Firebird column; numbers with a scale are exact (BCD) numbers.
void mapType(const XSQLVAR& v, FbColumn& c) {
    c.length = static_cast<uint32_t>(v.sqllen);
    switch (c.fbType) {
    case SQL_TEXT:
        c.type = SQL_COL_TEXT;
        c.subType = SQL_SUBTYPE_FIXEDCHAR;
        c.precision = v.sqllen;
        break;
    case SQL_VARYING:
        c.type = SQL_COL_TEXT;
        c.precision = v.sqllen;
        break;
    case SQL_SHORT: case SQL_LONG: case SQL_INT64: {
        int16_t digits = c.fbType == SQL_SHORT ? 4 : c.fbType == SQL_LONG ? 9 : 18;
        if (v.sqlscale < 0) {
            c.type = SQL_COL_BCD;
            c.precision = digits;
            c.scale = static_cast<int16_t>(-v.sqlscale);
            c.length = static_cast<uint32_t>(digits);
        } else {
            c.type = c.fbType == SQL_SHORT ? SQL_COL_INT16 : c.fbType == SQL_LONG ? SQL_COL_INT32 : SQL_COL_INT64;
            c.precision = static_cast<int16_t>(c.fbType == SQL_SHORT ? 5 : c.fbType == SQL_LONG ? 10 : 19);
            c.length = c.fbType == SQL_SHORT ? 2 : c.fbType == SQL_LONG ? 4 : 8;
        }
        break;
    }
    case SQL_FLOAT: case SQL_DOUBLE: case SQL_D_FLOAT:
        c.type = SQL_COL_FLOAT;
        c.precision = c.fbType == SQL_FLOAT ? 7 : 15;
        c.length = sizeof(double);
        break;
    case SQL_TYPE_DATE: c.type = SQL_COL_DATE; c.length = sizeof(SQLDate); break;
    case SQL_TYPE_TIME: c.type = SQL_COL_TIME; c.length = sizeof(SQLTime); break;
    case SQL_TIMESTAMP: c.type = SQL_COL_TIMESTAMP; c.length = sizeof(SQLTimeStamp); break;
    case SQL_BLOB:
        c.type = SQL_COL_BLOB;
        c.subType = v.sqlsubtype == 1 ? SQL_SUBTYPE_MEMO : SQL_SUBTYPE_BINARY;
        c.length = 0;
        break;
    case SQL_BOOLEAN: c.type = SQL_COL_BOOL; c.length = 2; break;
    default: c.type = SQL_COL_UNKNOWN; c.length = 0; break;
    }
}
} // namespace

TFbCommand::TFbCommand(TFbConnection* connection) : connection_(SQLPtr<TFbConnection>::Share(connection)) {}

TFbCommand::~TFbCommand() { freeStatement(); }

SQLResult TFbCommand::setOption(int32_t option, intptr_t value) {
    switch (option) {
    case SQL_CMD_ROWS_PER_FETCH:
        rowsPerFetch_ = value < 1 ? 1 : value > 100000 ? 100000 : static_cast<int32_t>(value);
        return SQL_SUCCESS;
    case SQL_CMD_STORED_PROCEDURE:
        storedProcedure_ = value != 0;
        return SQL_SUCCESS;
    default: return SQL_NOT_SUPPORTED;
    }
}

SQLResult TFbCommand::getOption(int32_t option, void* buffer, int32_t length, int32_t* outLength) {
    switch (option) {
    case SQL_CMD_ROWS_PER_FETCH: return fb::PutOption(buffer, length, outLength, rowsPerFetch_);
    case SQL_CMD_STORED_PROCEDURE: return fb::PutOption(buffer, length, outLength, storedProcedure_);
    case SQL_CMD_RETURNS_CURSOR: {
        if (!prepared_)
            return SQL_INVALID_HANDLE;
        bool select =
            statementType_ == isc_info_sql_stmt_select || statementType_ == isc_info_sql_stmt_select_for_upd;
        return fb::PutOption(buffer, length, outLength, select);
    }
    default: return SQL_NOT_SUPPORTED;
    }
}

SQLResult TFbCommand::setParameter(uint16_t index, uint16_t direction, uint16_t type, const void* value,
                                   uint32_t length, bool isNull) {
    if (index < 1 || index > params_.size())
        return SQL_OUT_OF_RANGE;
    if (direction != SQL_PARAM_IN)
        return SQL_NOT_SUPPORTED;
    Param& p = params_[index - 1];
    p.set = true;
    p.null = isNull ? -1 : 0;
    p.fbScale = 0;
    if (isNull) {
        p.fbType = SQL_TEXT;
        p.value.clear();
        return SQL_SUCCESS;
    }
    if (!value)
        return SQL_INVALID_PARAMETER;
    auto take = [&](short fbType, const void* bytes, size_t size) {
        p.fbType = fbType;
        p.value.assign(static_cast<const char*>(bytes), static_cast<const char*>(bytes) + size);
        return SQL_SUCCESS;
    };
    auto needs = [&](size_t size) { return length >= size; };
    switch (type) {
    case SQL_COL_TEXT:
        return length > 32767 ? SQL_INVALID_LENGTH : take(SQL_TEXT, value, length);
    case SQL_COL_INT16: return needs(2) ? take(SQL_SHORT, value, 2) : SQL_INVALID_LENGTH;
    case SQL_COL_INT32: return needs(4) ? take(SQL_LONG, value, 4) : SQL_INVALID_LENGTH;
    case SQL_COL_INT64: return needs(8) ? take(SQL_INT64, value, 8) : SQL_INVALID_LENGTH;
    case SQL_COL_FLOAT: return needs(8) ? take(SQL_DOUBLE, value, 8) : SQL_INVALID_LENGTH;
    case SQL_COL_BOOL: {
        if (!needs(2))
            return SQL_INVALID_LENGTH;
        int16_t v;
        std::memcpy(&v, value, 2);
        char b = v != 0;
        return take(SQL_BOOLEAN, &b, 1);
    }
    case SQL_COL_BCD: case SQL_COL_DECIMAL: {
        if (!needs(sizeof(SQLBcd)))
            return SQL_INVALID_LENGTH;
        SQLBcd bcd;
        std::memcpy(&bcd, value, sizeof bcd);
        take(SQL_INT64, &bcd.value, 8);
        p.fbScale = static_cast<short>(-bcd.scale);
        return SQL_SUCCESS;
    }
    case SQL_COL_DATE: {
        if (!needs(sizeof(SQLDate)))
            return SQL_INVALID_LENGTH;
        SQLDate d;
        std::memcpy(&d, value, sizeof d);
        ISC_DATE v = fb::EncodeDate(d);
        return take(SQL_TYPE_DATE, &v, sizeof v);
    }
    case SQL_COL_TIME: {
        if (!needs(sizeof(SQLTime)))
            return SQL_INVALID_LENGTH;
        SQLTime t;
        std::memcpy(&t, value, sizeof t);
        ISC_TIME v = fb::EncodeTime(t);
        return take(SQL_TYPE_TIME, &v, sizeof v);
    }
    case SQL_COL_TIMESTAMP: case SQL_COL_DATETIME: {
        if (!needs(sizeof(SQLTimeStamp)))
            return SQL_INVALID_LENGTH;
        SQLTimeStamp ts;
        std::memcpy(&ts, value, sizeof ts);
        ISC_TIMESTAMP v{fb::EncodeDate(SQLDate{ts.year, ts.month, ts.day}),
                        fb::EncodeTime(SQLTime{ts.hour, ts.minute, ts.second, ts.fraction})};
        return take(SQL_TIMESTAMP, &v, sizeof v);
    }
    default: return SQL_INVALID_FIELD_TYPE;
    }
}

// Output parameters belong to stored procedures, which this driver runs as plain statements.
SQLResult TFbCommand::getParameter(uint16_t, void*, uint32_t, bool*) { return SQL_NOT_SUPPORTED; }

SQLResult TFbCommand::prepare(const char* sql, uint16_t) {
    if (!sql || !*sql)
        return fail(SQL_INVALID_PARAMETER, "");
    if (!connection_->Attached())
        return fail(SQL_INVALID_HANDLE, "");
    const fb::Api& api = connection_->Api();
    closeCursor();
    prepared_ = false;
    ISC_STATUS_ARRAY status;
    if (stmt_ && !live())
        stmt_ = 0;
    if (!stmt_) {
        if (api.dsql_allocate_statement(status, connection_->Database(), &stmt_)) {
            stmt_ = 0;
            return fail(SQL_SERVER_ERROR, fb::StatusText(api, status));
        }
        attachment_ = connection_->Attachment();
    }
    isc_tr_handle* tr = nullptr;
    AnsiString error;
    if (!connection_->Transaction(tr, error))
        return fail(SQL_SERVER_ERROR, error);
    connection_->Trace(sql);
    outArea_ = newDescriptor(initialColumns);
    if (api.dsql_prepare(status, tr, &stmt_, 0, sql, connection_->Dialect(), descriptor(outArea_)))
        return fail(SQL_SERVER_ERROR, fb::StatusText(api, status));
    if (short needed = descriptor(outArea_)->sqld; needed > initialColumns) {
        outArea_ = newDescriptor(needed);
        if (api.dsql_describe(status, &stmt_, SQLDA_VERSION1, descriptor(outArea_)))
            return fail(SQL_SERVER_ERROR, fb::StatusText(api, status));
    }
    inArea_ = newDescriptor(initialColumns);
    if (api.dsql_describe_bind(status, &stmt_, SQLDA_VERSION1, descriptor(inArea_)))
        return fail(SQL_SERVER_ERROR, fb::StatusText(api, status));
    if (short needed = descriptor(inArea_)->sqld; needed > initialColumns) {
        inArea_ = newDescriptor(needed);
        if (api.dsql_describe_bind(status, &stmt_, SQLDA_VERSION1, descriptor(inArea_)))
            return fail(SQL_SERVER_ERROR, fb::StatusText(api, status));
    }
    if (SQLResult r = describe())
        return r;
    params_.assign(static_cast<size_t>(descriptor(inArea_)->sqld), Param{});
    prepared_ = true;
    return SQL_SUCCESS;
}

// Reads the statement's kind and lays its result columns out in the row block.
SQLResult TFbCommand::describe() {
    const fb::Api& api = connection_->Api();
    ISC_STATUS_ARRAY status;
    char items[] = {isc_info_sql_stmt_type};
    unsigned char info[16] = {};
    if (api.dsql_sql_info(status, &stmt_, sizeof items, items, sizeof info, reinterpret_cast<char*>(info)))
        return fail(SQL_SERVER_ERROR, fb::StatusText(api, status));
    statementType_ = info[0] == isc_info_sql_stmt_type ? static_cast<int>(fb::InfoInteger(info + 3, static_cast<int>(
                                                                              fb::InfoInteger(info + 1, 2))))
                                                       : 0;
    XSQLDA* out = descriptor(outArea_);
    columns_.clear();
    columns_.reserve(static_cast<size_t>(out->sqld));
    size_t offset = 0;
    for (short i = 0; i < out->sqld; ++i) {
        XSQLVAR& v = out->sqlvar[i];
        FbColumn c;
        c.name.assign(v.aliasname, static_cast<size_t>(v.aliasname_length));
        c.fbType = static_cast<short>(v.sqltype & ~1);
        c.fbScale = v.sqlscale;
        c.fbLength = v.sqllen;
        c.nullable = (v.sqltype & 1) != 0;
        c.readOnly = v.relname_length == 0;  // an expression, not a table's column
        mapType(v, c);
        offset = (offset + 7) & ~size_t(7);
        c.nullOffset = offset;
        c.dataOffset = offset + 8;
        offset = c.dataOffset + valueSize(v);
        // Every column gets an indicator, so that one rule reads a null.
        v.sqltype = static_cast<short>(v.sqltype | 1);
        columns_.push_back(std::move(c));
    }
    rowSize_ = (offset + 7) & ~size_t(7);
    if (rowSize_ == 0)
        rowSize_ = 8;
    return SQL_SUCCESS;
}

SQLResult TFbCommand::execute(ISQLCursor** cursor) {
    if (cursor)
        *cursor = nullptr;
    if (!prepared_ || !live())
        return fail(SQL_INVALID_HANDLE, "");
    closeCursor();
    XSQLDA* in = descriptor(inArea_);
    for (short i = 0; i < in->sqld; ++i) {
        Param& p = params_[static_cast<size_t>(i)];
        if (!p.set)
            return fail(SQL_PARAMETER_NOT_SET, "");
        XSQLVAR& v = in->sqlvar[i];
        v.sqltype = static_cast<short>(p.fbType | 1);
        v.sqlscale = p.fbScale;
        v.sqlsubtype = 0;
        v.sqllen = static_cast<short>(p.value.size());
        v.sqldata = p.value.empty() ? nullptr : p.value.data();
        v.sqlind = &p.null;
    }
    const fb::Api& api = connection_->Api();
    isc_tr_handle* tr = nullptr;
    AnsiString error;
    const bool reads = statementType_ == isc_info_sql_stmt_select || statementType_ == isc_info_sql_stmt_select_for_upd;
    if (!(reads ? connection_->ReadTransaction(tr, error) : connection_->Transaction(tr, error)))
        return fail(SQL_SERVER_ERROR, error);
    ISC_STATUS_ARRAY status;
    if (api.dsql_execute(status, tr, &stmt_, connection_->Dialect(), in->sqld ? in : nullptr)) {
        AnsiString text = fb::StatusText(api, status);
        if (reads)
            connection_->ReadsDone();
        return fail(SQL_SERVER_ERROR, text);
    }
    if (reads) {
        cursorOpen_ = true;
        connection_->ReaderOpened();
        if (!cursor)
            return SQL_SUCCESS;
        TFbCursor* c = new (std::nothrow) TFbCursor(this);
        if (!c) {
            closeCursor();
            return SQL_NO_MEMORY;
        }
        cursor_ = c;
        *cursor = c;
        return SQL_SUCCESS;
    }
    if (!connection_->StatementDone(error))
        return fail(SQL_SERVER_ERROR, error);
    return SQL_SUCCESS;
}

SQLResult TFbCommand::executeImmediate(const char* sql, ISQLCursor** cursor) {
    if (SQLResult r = prepare(sql, 0))
        return r;
    return execute(cursor);
}

// Firebird statements answer one result at most.
SQLResult TFbCommand::getNextCursor(ISQLCursor** cursor) {
    if (!cursor)
        return SQL_INVALID_PARAMETER;
    *cursor = nullptr;
    return SQL_SUCCESS;
}

SQLResult TFbCommand::getRowsAffected(uint32_t* rows) {
    if (!rows)
        return SQL_INVALID_PARAMETER;
    *rows = 0;
    if (!prepared_ || statementType_ == isc_info_sql_stmt_select)
        return SQL_SUCCESS;
    const fb::Api& api = connection_->Api();
    ISC_STATUS_ARRAY status;
    char items[] = {isc_info_sql_records};
    unsigned char info[64] = {};
    if (api.dsql_sql_info(status, &stmt_, sizeof items, items, sizeof info, reinterpret_cast<char*>(info)))
        return fail(SQL_SERVER_ERROR, fb::StatusText(api, status));
    if (info[0] != isc_info_sql_records)
        return SQL_SUCCESS;
    const unsigned char* p = info + 3;
    const unsigned char* end = info + sizeof info;
    uint64_t total = 0;
    while (p + 3 <= end && *p != isc_info_end) {
        unsigned char item = p[0];
        int len = static_cast<int>(fb::InfoInteger(p + 1, 2));
        if (p + 3 + len > end)
            break;
        if (item == isc_info_req_insert_count || item == isc_info_req_update_count ||
            item == isc_info_req_delete_count)
            total += static_cast<uint64_t>(fb::InfoInteger(p + 3, len));
        p += 3 + len;
    }
    *rows = static_cast<uint32_t>(total);
    return SQL_SUCCESS;
}

SQLResult TFbCommand::close() {
    freeStatement();
    return SQL_SUCCESS;
}

SQLResult TFbCommand::FetchInto(char* row, AnsiString& error) {
    if (!cursorOpen_)
        return SQL_EOF;
    if (!live()) {
        cursorOpen_ = false;  // the attachment went away under the cursor
        error.clear();
        return SQL_INVALID_HANDLE;
    }
    XSQLDA* out = descriptor(outArea_);
    for (short i = 0; i < out->sqld; ++i) {
        const FbColumn& c = columns_[static_cast<size_t>(i)];
        out->sqlvar[i].sqldata = row + c.dataOffset;
        out->sqlvar[i].sqlind = reinterpret_cast<short*>(row + c.nullOffset);
    }
    const fb::Api& api = connection_->Api();
    ISC_STATUS_ARRAY status;
    ISC_STATUS r = api.dsql_fetch(status, &stmt_, SQLDA_VERSION1, out);
    if (r == 0)
        return SQL_SUCCESS;
    if (r == 100) {
        // The rows already fetched stay readable; only Firebird's cursor ends here.
        cursorOpen_ = false;
        api.dsql_free_statement(status, &stmt_, DSQL_close);
        connection_->ReaderClosed();
        return SQL_EOF;
    }
    error = fb::StatusText(api, status);
    return SQL_SERVER_ERROR;
}

void TFbCommand::CursorClosed(TFbCursor* cursor) {
    if (cursor_ == cursor)
        closeCursor();
}

void TFbCommand::closeCursor() {
    if (cursor_) {
        cursor_->Detach();
        cursor_ = nullptr;
    }
    if (cursorOpen_) {
        cursorOpen_ = false;
        ISC_STATUS_ARRAY status;
        if (live()) {
            connection_->Api().dsql_free_statement(status, &stmt_, DSQL_close);
            connection_->ReaderClosed();
        }
    }
}

bool TFbCommand::live() const {
    return stmt_ && connection_->Attached() && attachment_ == connection_->Attachment();
}

void TFbCommand::freeStatement() {
    closeCursor();
    if (stmt_) {
        ISC_STATUS_ARRAY status;
        if (live())
            connection_->Api().dsql_free_statement(status, &stmt_, DSQL_drop);
        stmt_ = 0;
    }
    prepared_ = false;
    columns_.clear();
    params_.clear();
}
