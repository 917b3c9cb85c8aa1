#pragma once
// What a connection tells about itself and its database: options, and lists of tables and columns
// answered as cursors over Firebird's system tables.
#include "driver/FbClient.h"

class TFbConnection;

class TFbMetaData : public RefCounted<ISQLMetaData> {
public:
    explicit TFbMetaData(TFbConnection* connection);
    ~TFbMetaData() override;

    SQLResult setOption(int32_t option, intptr_t value) override;
    SQLResult getOption(int32_t option, void* buffer, int32_t length, int32_t* outLength) override;
    SQLResult getTables(const char* pattern, uint32_t tableTypes, ISQLCursor** cursor) override;
    SQLResult getColumns(const char* tableName, ISQLCursor** cursor) override;
    SQLResult getErrorMessage(char* buffer) override { return error_.Copy(buffer); }
    SQLResult getErrorMessageLen(uint16_t* length) override { return error_.Length(length); }

private:
    // Runs a query with text parameters and answers its cursor.
    SQLResult query(const char* sql, const AnsiString* params, int paramCount, ISQLCursor** cursor);

    SQLPtr<TFbConnection> connection_;  // metadata keeps its connection alive
    AnsiString schemaName_;
    ErrorText error_;
};
