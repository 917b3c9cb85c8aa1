#include "data/SQLDataSet.h"

#include "core/Exception.h"
#include "core/Format.h"
#include "core/SysUtils.h"

#include <cmath>
#include <cstring>

namespace {
// The field type of a driver column (length and precision decide some).
TFieldType fieldTypeOf(uint16_t type, uint16_t subType, uint32_t length, int16_t precision, int16_t scale) {
    switch (type) {
    case SQL_COL_TEXT:
        return length == 0 ? ftUnknown : (subType == SQL_SUBTYPE_FIXEDCHAR ? ftFixedChar : ftString);
    case SQL_COL_DATE:
        return ftDate;
    case SQL_COL_BLOB:
        switch (subType) {
        case SQL_SUBTYPE_MEMO:
            return ftMemo;
        case SQL_SUBTYPE_FMTMEMO:
            return ftFmtMemo;
        case SQL_SUBTYPE_GRAPHIC:
            return ftGraphic;
        default:
            return ftBlob;
        }
    case SQL_COL_BOOL:
        return ftBoolean;
    case SQL_COL_INT16:
        return length == 2 ? ftSmallint : ftUnknown;
    case SQL_COL_INT32:
        return subType == SQL_SUBTYPE_AUTOINC ? ftAutoInc : ftInteger;
    case SQL_COL_FLOAT:
        return subType == SQL_SUBTYPE_MONEY ? ftCurrency : ftFloat;
    case SQL_COL_BCD:
    case SQL_COL_DECIMAL:
        if (precision > 14 || scale > 4)
            return ftFMTBcd;
        return type == SQL_COL_BCD ? ftBCD : ftFMTBcd;
    case SQL_COL_BYTES:
        return length == 0 ? ftUnknown : ftBytes;
    case SQL_COL_TIME:
        return ftTime;
    case SQL_COL_TIMESTAMP:
        return ftDateTime;
    case SQL_COL_UINT16:
        return length == 2 ? ftWord : ftUnknown;
    case SQL_COL_UINT32:
        return ftInteger;
    case SQL_COL_VARBYTES:
        return length == 0 ? ftUnknown : ftVarBytes;
    case SQL_COL_CURSOR:
        return ftCursor;
    case SQL_COL_INT64:
    case SQL_COL_UINT64:
        return ftLargeint;
    case SQL_COL_ADT:
        return ftADT;
    case SQL_COL_ARRAY:
        return ftArray;
    case SQL_COL_REF:
        return length == 0 ? ftUnknown : ftReference;
    case SQL_COL_TABLE:
        return ftDataSet;
    case SQL_COL_DATETIME:
        return ftTimeStamp;
    default:
        return ftUnknown;
    }
}

int64_t pow10(int n) {
    int64_t p = 1;
    for (int i = 0; i < n && i < 18; ++i)
        p *= 10;
    return p;
}

int64_t rescale(int64_t value, int from, int to) {
    if (to >= from)
        return value * pow10(to - from);
    int64_t d = pow10(from - to);
    int64_t q = value / d, r = value % d;
    if (2 * std::llabs(r) >= d)
        q += value < 0 ? -1 : 1;
    return q;
}

bool integerKind(TFieldType t) {
    return t == ftSmallint || t == ftInteger || t == ftWord || t == ftAutoInc || t == ftLargeint;
}

int64_t readInteger(TFieldType t, const char* p) {
    switch (t) {
    case ftSmallint: {
        int16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    case ftWord: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    case ftLargeint: {
        int64_t v;
        std::memcpy(&v, p, 8);
        return v;
    }
    default: {
        int32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

void writeInteger(TFieldType t, int64_t v, void* p) {
    switch (t) {
    case ftSmallint: {
        int16_t x = static_cast<int16_t>(v);
        std::memcpy(p, &x, 2);
        break;
    }
    case ftWord: {
        uint16_t x = static_cast<uint16_t>(v);
        std::memcpy(p, &x, 2);
        break;
    }
    case ftLargeint:
        std::memcpy(p, &v, 8);
        break;
    default: {
        int32_t x = static_cast<int32_t>(v);
        std::memcpy(p, &x, 4);
    }
    }
}

// Bytes of a column's value in the record, by its field type.
size_t nativeSize(TFieldType t, uint32_t length) {
    switch (t) {
    case ftString:
    case ftFixedChar:
        return length + 1;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
        return 2;
    case ftInteger:
    case ftAutoInc:
        return 4;
    case ftTimeStamp:
        return sizeof(TSQLTimeStamp);
    case ftBytes:
        return length;
    case ftVarBytes:
        return length + 2;
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
        return 0;
    default:
        return 8;
    }
}
} // namespace

void TSQLDataSet::DefineProperties(ClassInfo& info) {
    info.Add("CommandText", &TSQLDataSet::CommandText, &TSQLDataSet::SetCommandText);
    info.Add("SQLConnection", &TSQLDataSet::SQLConnection, &TSQLDataSet::SetSQLConnection);
    info.Add("MaxBlobSize", &TSQLDataSet::MaxBlobSize, &TSQLDataSet::SetMaxBlobSize);
    info.Add("ParamCheck", &TSQLDataSet::ParamCheck, &TSQLDataSet::SetParamCheck);
    info.Add("CommandType", &TSQLDataSet::CommandType);
}

TSQLDataSet::TSQLDataSet(TComponent* owner) : TDataSet(owner) {}

TSQLDataSet::~TSQLDataSet() {
    CloseForDestroy();
    freeStatement();
    SetSQLConnection(nullptr);
}

void TSQLDataSet::SetSQLConnection(TSQLConnection* connection) {
    if (connection == connection_)
        return;
    if (Active())
        Close();
    freeStatement();
    if (connection_) {
        connection_->UnregisterClient(this);
        RemoveFreeNotification(connection_);
    }
    connection_ = connection;
    if (connection_) {
        connection_->RegisterClient(this);
        FreeNotification(connection_);
    }
}

void TSQLDataSet::Notification(TComponent* component, Operation operation) {
    TDataSet::Notification(component, operation);
    if (operation == Operation::Remove && component == connection_) {
        CloseForDisconnect();
        connection_->UnregisterClient(this);
        connection_ = nullptr;
    }
}

void TSQLDataSet::CloseForDisconnect() {
    if (Active())
        Close();
    freeStatement();
}

void TSQLDataSet::SetCommandText(const AnsiString& text) {
    AnsiString value = TrimLeft(text);
    if (value == commandText_)
        return;
    if (Active())
        DatabaseError("Cannot perform this operation on an open dataset", this);
    freeStatement();
    commandText_ = value;
    if (paramCheck_ && connection_)
        params_.ParseSQL(commandText_);
}

template <class I> void TSQLDataSet::check(SQLResult result, I* source) {
    if (result == SQL_SUCCESS)
        return;
    lastError_ = DriverErrorMessage(result, source, lastError_);
    throw EDatabaseError(lastError_);
}

void TSQLDataSet::freeStatement() {
    cursor_.reset();
    if (command_) {
        command_->close();
        command_.reset();
    }
    clone_.reset();
}

void TSQLDataSet::prepare() {
    TSQLConnection* conn = connection_;
    // Beyond the driver's limit of active statements the statement runs on a connection of its own.
    if (conn->MaxStmtsPerConn() > 0 && conn->ActiveStatements() >= conn->MaxStmtsPerConn() && !conn->InTransaction()) {
        clone_ = conn->CloneConnection();
        conn = clone_.get();
    }
    ISQLConnection* driver = conn->DriverConnection();
    conn->Check(driver->getSQLCommand(command_.Out()), driver);
    int rows = StrToIntDef(Trim(conn->Params().Values("RowsetSize")), 20);
    command_->setOption(SQL_CMD_ROWS_PER_FETCH, rows > 0 ? rows : 20);
    command_->setOption(SQL_CMD_STORED_PROCEDURE, 0);
    std::vector<AnsiString> names;
    AnsiString sql = paramCheck_ ? TParams::MarkersToQuestionMarks(commandText_, &names) : commandText_;
    if (Trim(sql).empty())
        DatabaseError("No SQL statement available", this);
    check(command_->prepare(sql.c_str(), static_cast<uint16_t>(names.size())), command_.get());
}

void TSQLDataSet::InternalOpen() {
    if (commandText_.empty())
        DatabaseError("Missing query, table name or procedure name");
    if (!connection_)
        DatabaseError("Missing SQLConnection property", this);
    connection_->Open();
    if (!command_) {
        try {
            prepare();
        } catch (...) {
            freeStatement();
            throw;
        }
    }
    // Only a statement that gives rows is run: one that would change data is refused before it
    // reaches the server (a driver that cannot tell is caught after running it, below).
    int32_t returnsCursor = 1, length = 0;
    SQLResult asked = command_->getOption(SQL_CMD_RETURNS_CURSOR, &returnsCursor, sizeof returnsCursor, &length);
    if (asked == SQL_SUCCESS && !returnsCursor) {
        freeStatement();
        DatabaseError("Cursor not returned from Query", this);
    }
    std::vector<AnsiString> names;
    if (paramCheck_)
        TParams::MarkersToQuestionMarks(commandText_, &names);
    for (size_t i = 0; i < names.size(); ++i) {
        const TParam* p = params_.FindParam(names[i]);
        bool isNull = !p || p->IsNull;
        const char* v = isNull ? "" : p->Value.c_str();
        check(command_->setParameter(static_cast<uint16_t>(i + 1), SQL_PARAM_IN, SQL_COL_TEXT, v,
                                     isNull ? 0 : static_cast<uint32_t>(p->Value.size()), isNull),
              command_.get());
    }
    check(command_->execute(cursor_.Out()), command_.get());
    if (!cursor_) {
        freeStatement();
        DatabaseError("Cursor not returned from Query", this);
    }
    StatementConnection()->StatementActivated();
    buildFieldDefs();
    if (DefaultFields())
        CreateFields();
    BindFields(true);
}

void TSQLDataSet::buildFieldDefs() {
    FieldDefs().Clear();
    columns_.clear();
    blobs_.clear();
    uint16_t count = 0;
    check(cursor_->getColumnCount(&count), cursor_.get());
    size_t offset = sizeof(int32_t);
    for (uint16_t c = 1; c <= count; ++c) {
        uint16_t nameLength = 0, type = 0, subType = 0;
        check(cursor_->getColumnNameLength(c, &nameLength), cursor_.get());
        AnsiString name(nameLength + 1u, '\0');
        check(cursor_->getColumnName(c, name.data()), cursor_.get());
        name.resize(std::strlen(name.c_str()));
        uint32_t length = 0;
        int16_t precision = 0, scale = 0;
        bool nullable = true, readOnly = false;
        check(cursor_->getColumnType(c, &type, &subType), cursor_.get());
        check(cursor_->getColumnLength(c, &length), cursor_.get());
        check(cursor_->getColumnPrecision(c, &precision), cursor_.get());
        check(cursor_->getColumnScale(c, &scale), cursor_.get());
        check(cursor_->isNullable(c, &nullable), cursor_.get());
        check(cursor_->isReadOnly(c, &readOnly), cursor_.get());
        // A name used already gets a number.
        AnsiString unique = name;
        for (int n = 1; FieldDefs().Find(unique); ++n)
            unique = Format("%s_%d", name, n);
        TFieldType ft = fieldTypeOf(type, subType, length, precision, scale);
        TFieldDef& def = FieldDefs().Add(unique, ft);
        Column col;
        col.driverType = type;
        col.type = ft;
        if (ft == ftBCD || ft == ftFMTBcd) {
            int p = precision, s = std::max<int>(scale, 0);
            if (p == 38 && (s == 0 || s == 38))
                p = 32, s = 8;
            def.Precision = std::min(p, 32);
            def.Size = s;
            col.scale = s;
        } else if (ft == ftString || ft == ftFixedChar || ft == ftBytes || ft == ftVarBytes || ft == ftReference) {
            def.Size = static_cast<int>(length);
        } else if (ft == ftFloat || ft == ftCurrency) {
            def.Precision = precision;
        }
        def.Required = !nullable;
        def.ReadOnly = readOnly;
        def.FixedChar = ft == ftFixedChar;
        col.offset = offset;
        col.size = nativeSize(ft, length);
        if (col.size == 0) {
            col.blob = static_cast<int>(blobs_.size());
            blobs_.emplace_back();
        }
        offset += 1 + col.size;
        columns_.push_back(col);
    }
    recordSize_ = static_cast<int>(offset);
}

void TSQLDataSet::InternalClose() {
    if (cursor_) {
        cursor_.reset();
        StatementConnection()->StatementDeactivated();
    }
    FieldDefs().Clear();
    // The prepared statement stays while the connection is kept, to be run again.
    if (!connection_ || !connection_->KeepConnection() || !connection_->Connected())
        freeStatement();
    // Closed and freed: a connection that keeps no idle connection goes once nothing uses it.
    if (connection_ && !connection_->KeepConnection())
        connection_->DisconnectIfUnused();
}

TBookmarkFlag TSQLDataSet::GetBookmarkFlag(const char* buffer) const {
    int32_t flag;
    std::memcpy(&flag, buffer, sizeof flag);
    return static_cast<TBookmarkFlag>(flag);
}

void TSQLDataSet::SetBookmarkFlag(char* buffer, TBookmarkFlag flag) {
    int32_t value = flag;
    std::memcpy(buffer, &value, sizeof value);
}

namespace {
// A value's place in the record buffer follows its null byte and so is not aligned: the driver
// writes into an aligned local that is then copied in.
template <typename T, typename Get> SQLResult readValue(char* p, Get get) {
    T v{};
    SQLResult r = get(&v);
    std::memcpy(p, &v, sizeof v);
    return r;
}
} // namespace

TGetResult TSQLDataSet::GetRecord(char* buffer, TGetMode mode, bool) {
    if (mode != gmNext)
        return mode == gmPrior ? grBOF : grError;
    SQLResult r = cursor_->next();
    if (r == SQL_EOF || r == SQL_END_OF_DATA)
        return grEOF;
    check(r, cursor_.get());
    SetBookmarkFlag(buffer, bfCurrent);
    // Only the columns a field shows are read.
    for (TField* f : FieldList()) {
        int no = f->FieldNo();
        if (no <= 0)
            continue;
        const Column& col = columns_[static_cast<size_t>(no - 1)];
        uint16_t c = static_cast<uint16_t>(no);
        char* p = buffer + col.offset + 1;
        bool isNull = true;
        switch (col.driverType) {
        case SQL_COL_TEXT:
            r = cursor_->getString(c, p, &isNull);
            break;
        case SQL_COL_INT16:
        case SQL_COL_UINT16:
        case SQL_COL_BOOL:
            r = readValue<int16_t>(p, [&](int16_t* v) { return cursor_->getShort(c, v, &isNull); });
            break;
        case SQL_COL_INT32:
        case SQL_COL_UINT32:
            r = readValue<int32_t>(p, [&](int32_t* v) { return cursor_->getLong(c, v, &isNull); });
            break;
        case SQL_COL_INT64:
        case SQL_COL_UINT64:
            r = readValue<int64_t>(p, [&](int64_t* v) { return cursor_->getInt64(c, v, &isNull); });
            break;
        case SQL_COL_FLOAT:
            r = readValue<double>(p, [&](double* v) { return cursor_->getDouble(c, v, &isNull); });
            break;
        case SQL_COL_BCD:
        case SQL_COL_DECIMAL: {
            SQLBcd bcd{};
            r = cursor_->getBcd(c, &bcd, &isNull);
            int64_t v = rescale(bcd.value, bcd.scale, col.scale);
            std::memcpy(p, &v, 8);
            break;
        }
        case SQL_COL_DATE: {
            SQLDate d{};
            r = cursor_->getDate(c, &d, &isNull);
            TDateTime v = 0;
            if (!isNull && r == SQL_SUCCESS && !TryEncodeDate(d.year, d.month, d.day, v))
                isNull = true;
            std::memcpy(p, &v, 8);
            break;
        }
        case SQL_COL_TIME: {
            SQLTime t{};
            r = cursor_->getTime(c, &t, &isNull);
            // Rounded to the millisecond, the last half millisecond of a day staying in it.
            int64_t ms = ((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + (int64_t(t.fraction) + 5) / 10;
            TDateTime v = isNull ? 0 : std::min<int64_t>(ms, 86399999) / 86400000.0;
            std::memcpy(p, &v, 8);
            break;
        }
        case SQL_COL_TIMESTAMP:
        case SQL_COL_DATETIME: {
            SQLTimeStamp t{};
            r = cursor_->getTimeStamp(c, &t, &isNull);
            TSQLTimeStamp ts;
            ts.Year = t.year, ts.Month = t.month, ts.Day = t.day, ts.Hour = t.hour, ts.Minute = t.minute,
            ts.Second = t.second, ts.Fractions = t.fraction / 10;
            if (col.type == ftTimeStamp) {
                std::memcpy(p, &ts, sizeof ts);
            } else {
                TDateTime v = 0;
                try {
                    if (!isNull)
                        v = SQLTimeStampToDateTime(ts);
                } catch (const EConvertError&) {
                    isNull = true;
                }
                std::memcpy(p, &v, 8);
            }
            break;
        }
        case SQL_COL_BYTES:
            r = cursor_->getBytes(c, reinterpret_cast<uint8_t*>(p), &isNull);
            break;
        case SQL_COL_VARBYTES: {
            r = cursor_->getBytes(c, reinterpret_cast<uint8_t*>(p + 2), &isNull);
            uint16_t len = static_cast<uint16_t>(col.size - 2);
            std::memcpy(p, &len, 2);
            break;
        }
        case SQL_COL_BLOB: {
            uint32_t size = 0;
            AnsiString& blob = blobs_[static_cast<size_t>(col.blob)];
            r = cursor_->getBlobSize(c, &size, &isNull);
            if (r == SQL_SUCCESS && !isNull) {
                if (maxBlobSize_ >= 0 && size > static_cast<uint32_t>(maxBlobSize_) * 1024u)
                    size = static_cast<uint32_t>(maxBlobSize_) * 1024u;
                blob.resize(size);
                r = cursor_->getBlob(c, blob.data(), &isNull, size);
            } else {
                blob.clear();
            }
            break;
        }
        default:
            r = SQL_SUCCESS;
            isNull = true;
        }
        check(r, cursor_.get());
        buffer[col.offset] = isNull ? 1 : 0;
    }
    return grOK;
}

bool TSQLDataSet::GetFieldData(const TField* field, void* buffer) const {
    int no = field->FieldNo();
    const char* record = ActiveRecordBuffer();
    if (no <= 0 || !record)
        return false;
    const Column& col = columns_[static_cast<size_t>(no - 1)];
    const char* p = record + col.offset + 1;
    if (record[col.offset])
        return false;
    if (!buffer)
        return true;
    TFieldType ft = field->DataType();
    if (ft == ftString || ft == ftFixedChar) {
        // A text field may be smaller than its column: its value is cut at whole characters, never
        // overrun.
        size_t n = AnsiLeftLength(std::string_view(p, strnlen(p, col.size)), size_t(field->Size()));
        std::memcpy(buffer, p, n);
        static_cast<char*>(buffer)[n] = '\0';
    } else if (integerKind(ft) && integerKind(col.type)) {
        writeInteger(ft, readInteger(col.type, p), buffer);
    } else {
        std::memcpy(buffer, p, std::min(col.size, static_cast<size_t>(field->DataSize())));
    }
    return true;
}

bool TSQLDataSet::GetBlobData(const TField* field, AnsiString& value) const {
    int no = field->FieldNo();
    const char* record = ActiveRecordBuffer();
    if (no <= 0 || !record)
        return false;
    const Column& col = columns_[static_cast<size_t>(no - 1)];
    if (record[col.offset] || col.blob < 0)
        return false;
    value = blobs_[static_cast<size_t>(col.blob)];
    return true;
}

void TSQLDataSet::SetFieldData(TField*, const void*) { DatabaseError("Cannot modify a read-only dataset", this); }

TSQLQuery::TSQLQuery(TComponent* owner) : TSQLDataSet(owner) {}

void TSQLQuery::SetSQL(const TStringList& lines) {
    sql_.Assign(lines);
    AnsiString text;
    for (int i = 0; i < sql_.Count(); ++i)
        text += (i ? "\r\n" : "") + sql_[i];
    SetCommandText(text);
}
