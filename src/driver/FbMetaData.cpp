#include "driver/FbMetaData.h"

#include "driver/FbCommand.h"
#include "driver/FbConnection.h"

TFbMetaData::TFbMetaData(TFbConnection* connection) : connection_(SQLPtr<TFbConnection>::Share(connection)) {}

TFbMetaData::~TFbMetaData() = default;

SQLResult TFbMetaData::setOption(int32_t option, intptr_t value) {
    if (option != SQL_META_SCHEMA_NAME)
        return SQL_NOT_SUPPORTED;
    schemaName_ = value ? reinterpret_cast<const char*>(value) : "";
    return SQL_SUCCESS;
}

SQLResult TFbMetaData::getOption(int32_t option, void* buffer, int32_t length, int32_t* outLength) {
    switch (option) {
    case SQL_META_SCHEMA_NAME: return fb::PutOption(buffer, length, outLength, schemaName_);
    case SQL_META_TRANSACTIONS_SUPPORTED: return fb::PutOption(buffer, length, outLength, 1);
    // One transaction at a time per connection.
    case SQL_META_MULTIPLE_TRANSACTIONS: return fb::PutOption(buffer, length, outLength, 0);
    // Quoted names exist from dialect 3 on.
    case SQL_META_OBJECT_QUOTE_CHAR:
        return fb::PutOption(buffer, length, outLength, connection_->Dialect() >= 3 ? '"' : 0);
    default: return SQL_NOT_SUPPORTED;
    }
}

SQLResult TFbMetaData::query(const char* sql, const AnsiString* params, int paramCount, ISQLCursor** cursor) {
    if (!cursor)
        return SQL_INVALID_PARAMETER;
    *cursor = nullptr;
    // The cursor keeps the command alive; this reference goes at the end.
    SQLPtr<ISQLCommand> command;
    if (SQLResult r = connection_->getSQLCommand(command.Out()))
        return r;
    SQLResult r = command->prepare(sql, static_cast<uint16_t>(paramCount));
    for (int i = 0; r == SQL_SUCCESS && i < paramCount; ++i)
        r = command->setParameter(static_cast<uint16_t>(i + 1), SQL_PARAM_IN, SQL_COL_TEXT, params[i].data(),
                                  static_cast<uint32_t>(params[i].size()), false);
    if (r == SQL_SUCCESS)
        r = command->execute(cursor);
    if (r != SQL_SUCCESS) {
        uint16_t len = 0;
        AnsiString text;
        if (command->getErrorMessageLen(&len) == SQL_SUCCESS) {
            text.resize(len + 1u);
            command->getErrorMessage(text.data());
            text.resize(len);
        }
        error_.Fail(r, text);
    }
    return r;
}

SQLResult TFbMetaData::getTables(const char* pattern, uint32_t tableTypes, ISQLCursor** cursor) {
    AnsiString params[] = {pattern && *pattern ? pattern : "%", std::to_string(tableTypes)};
    return query("select trim(RDB$RELATION_NAME) as TABLE_NAME, cast(case when RDB$SYSTEM_FLAG = 1 then 4 "
                 "when RDB$VIEW_BLR is not null then 2 else 1 end as integer) as TABLE_TYPE "
                 "from RDB$RELATIONS where trim(RDB$RELATION_NAME) like ? and "
                 "bin_and(cast(? as integer), case when RDB$SYSTEM_FLAG = 1 then 4 "
                 "when RDB$VIEW_BLR is not null then 2 else 1 end) <> 0 order by 1",
                 params, 2, cursor);
}

SQLResult TFbMetaData::getColumns(const char* tableName, ISQLCursor** cursor) {
    AnsiString params[] = {tableName ? tableName : ""};
    return query("select trim(r.RDB$FIELD_NAME) as COLUMN_NAME, cast(r.RDB$FIELD_POSITION + 1 as integer) "
                 "as COLUMN_POSITION, cast(case when r.RDB$NULL_FLAG = 1 then 0 else 1 end as integer) as NULLABLE "
                 "from RDB$RELATION_FIELDS r where r.RDB$RELATION_NAME = ? order by r.RDB$FIELD_POSITION",
                 params, 1, cursor);
}
