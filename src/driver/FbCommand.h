#pragma once
// A Firebird statement: prepared once, executed any number of times. Its result columns are laid out
// in one row block (indicator and value of every column at fixed offsets) that the cursor fetches
// rows into, a batch of rows at a time.
#include "driver/FbClient.h"

#include <memory>
#include <vector>

class TFbConnection;
class TFbCursor;

struct FbColumn {
    AnsiString name;
    uint16_t type = SQL_COL_UNKNOWN;
    uint16_t subType = SQL_SUBTYPE_NONE;
    uint32_t length = 0;
    int16_t precision = 0;
    int16_t scale = 0;
    bool nullable = true;
    bool readOnly = false;
    short fbType = 0;   // the Firebird type without its null bit
    short fbScale = 0;
    short fbLength = 0;
    size_t dataOffset = 0;
    size_t nullOffset = 0;
};

class TFbCommand : public RefCounted<ISQLCommand> {
public:
    explicit TFbCommand(TFbConnection* connection);
    ~TFbCommand() override;

    SQLResult setOption(int32_t option, intptr_t value) override;
    SQLResult getOption(int32_t option, void* buffer, int32_t length, int32_t* outLength) override;
    SQLResult setParameter(uint16_t index, uint16_t direction, uint16_t type, const void* value, uint32_t length,
                           bool isNull) override;
    SQLResult getParameter(uint16_t index, void* buffer, uint32_t length, bool* isNull) override;
    SQLResult prepare(const char* sql, uint16_t paramCount) override;
    SQLResult execute(ISQLCursor** cursor) override;
    SQLResult executeImmediate(const char* sql, ISQLCursor** cursor) override;
    SQLResult getNextCursor(ISQLCursor** cursor) override;
    SQLResult getRowsAffected(uint32_t* rows) override;
    SQLResult close() override;
    SQLResult getErrorMessage(char* buffer) override { return error_.Copy(buffer); }
    SQLResult getErrorMessageLen(uint16_t* length) override { return error_.Length(length); }

    // For the cursor.
    TFbConnection* Connection() const { return connection_.get(); }
    const std::vector<FbColumn>& Columns() const { return columns_; }
    size_t RowSize() const { return rowSize_; }
    int32_t RowsPerFetch() const { return rowsPerFetch_; }
    // Fetches the next row into `row` (a block of RowSize() bytes): SQL_SUCCESS, SQL_EOF, or a failure
    // with Firebird's text in `error`.
    SQLResult FetchInto(char* row, AnsiString& error);
    void CursorClosed(TFbCursor* cursor);

private:
    struct Param {
        std::vector<char> value;
        short fbType = SQL_TEXT;
        short fbScale = 0;
        short null = -1;
        bool set = false;
    };
    SQLResult fail(SQLResult code, AnsiString text) { return error_.Fail(code, std::move(text)); }
    SQLResult describe();
    void closeCursor();
    void freeStatement();
    // The statement handle is still one of the connection's current attachment.
    bool live() const;

    SQLPtr<TFbConnection> connection_;  // a command keeps its connection alive
    ErrorText error_;
    isc_stmt_handle stmt_ = 0;
    uint32_t attachment_ = 0;  // the connection's attachment that made stmt_
    bool prepared_ = false;
    int statementType_ = 0;
    int32_t rowsPerFetch_ = 20;
    bool storedProcedure_ = false;

    std::unique_ptr<char[]> outArea_;  // the output descriptor
    std::unique_ptr<char[]> inArea_;   // the input descriptor
    std::vector<FbColumn> columns_;
    size_t rowSize_ = 0;
    std::vector<Param> params_;

    TFbCursor* cursor_ = nullptr;  // the cursor of the running execution, if it is still open
    bool cursorOpen_ = false;      // Firebird's cursor of the statement is open
};
