#pragma once
// TSQLDataSet: one SQL statement run over a TSQLConnection, its rows read forward only. The statement
// stays prepared while its connection keeps connected and is run again on the next open; changing
// the text frees it. TSQLQuery is the same with the text kept as lines (SQL).
#include "core/StringList.h"
#include "data/DataSet.h"
#include "data/Params.h"
#include "data/SQLConnection.h"

#include <memory>

class TSQLDataSet : public TDataSet, public TSQLConnectionClient {
    MORVANE_CLASS_PROPS(TSQLDataSet, TDataSet)
public:
    explicit TSQLDataSet(TComponent* owner);
    ~TSQLDataSet() override;

    const AnsiString& CommandText() const { return commandText_; }
    // "Cannot perform this operation on an open dataset" while open; leading blanks are dropped.
    void SetCommandText(const AnsiString& text);
    // 0: a query (the only kind this program runs).
    int CommandType() const { return 0; }
    TSQLConnection* SQLConnection() const { return connection_; }
    void SetSQLConnection(TSQLConnection* connection);
    int MaxBlobSize() const { return maxBlobSize_; }
    void SetMaxBlobSize(int value) { maxBlobSize_ = value; }
    bool ParamCheck() const { return paramCheck_; }
    void SetParamCheck(bool value) { paramCheck_ = value; }
    TParams& Params() { return params_; }
    // Prepared: a driver command holds the statement.
    bool Prepared() const { return static_cast<bool>(command_); }
    // The connection the statement runs on (the clone when the parent's limit was reached).
    TSQLConnection* StatementConnection() const { return clone_ ? clone_.get() : connection_; }
    const AnsiString& LastError() const { return lastError_; }

    bool IsSequenced() const override { return false; }
    bool IsUniDirectional() const override { return true; }

    // TSQLConnectionClient
    bool IsActive() const override { return Active(); }
    void CloseForDisconnect() override;

protected:
    void Notification(TComponent* component, Operation operation) override;

    int GetRecordSize() const override { return recordSize_; }
    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() const override { return static_cast<bool>(cursor_); }
    void InternalFirst() override {}
    void InternalLast() override {}
    TGetResult GetRecord(char* buffer, TGetMode mode, bool doCheck) override;
    TBookmarkFlag GetBookmarkFlag(const char* buffer) const override;
    void SetBookmarkFlag(char* buffer, TBookmarkFlag flag) override;
    TBookmark GetBookmarkData(const char*) const override { return {}; }
    void SetBookmarkData(char*, const TBookmark&) override {}
    void InternalGotoBookmark(const TBookmark&) override {}
    void InternalSetToRecord(const char*) override {}
    int DoCompareBookmarks(const TBookmark&, const TBookmark&) const override { return 2; }
    bool DoBookmarkValid(const TBookmark&) const override { return false; }
    bool GetFieldData(const TField* field, void* buffer) const override;
    void SetFieldData(TField* field, const void* buffer) override;
    bool GetBlobData(const TField* field, AnsiString& value) const override;
    bool GetCanModify() const override { return false; }

private:
    struct Column {
        uint16_t driverType = 0;
        TFieldType type = ftUnknown;
        int scale = 0;
        size_t offset = 0;  // null flag at offset, value after it
        size_t size = 0;    // bytes of the value
        int blob = -1;      // index into blobs_
    };
    void prepare();
    void freeStatement();
    void buildFieldDefs();
    template <class I> void check(SQLResult result, I* source);

    AnsiString commandText_;
    TSQLConnection* connection_ = nullptr;
    std::unique_ptr<TSQLConnection> clone_;
    int maxBlobSize_ = -1;
    bool paramCheck_ = true;
    TParams params_;
    AnsiString lastError_;

    SQLPtr<ISQLCommand> command_;
    SQLPtr<ISQLCursor> cursor_;
    std::vector<Column> columns_;
    mutable std::vector<AnsiString> blobs_;
    int recordSize_ = 0;
};

class TSQLQuery : public TSQLDataSet {
    MORVANE_CLASS(TSQLQuery, TSQLDataSet)
public:
    explicit TSQLQuery(TComponent* owner);
    // The statement as lines; setting it sets the command text (lines joined with CR LF).
    const TStringList& SQL() const { return sql_; }
    void SetSQL(const TStringList& lines);

private:
    TStringList sql_;
};
