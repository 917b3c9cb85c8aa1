#pragma once
// A Firebird attachment and its one transaction. The transaction starts when a statement first
// needs it; it is always read-only, so a statement that would change data is refused by the server.
// Outside an explicit transaction (beginTransaction) a statement is committed at once when
// AutoCommit is on (the default).
//
// Reads outside an explicit transaction see one committed state of the database: the statement that
// opens a cursor while no other cursor of the attachment is open starts a read-only snapshot
// (concurrency) transaction, every cursor opened while any of them is still open reads in it, and it
// ends when the last one closes. So rows a dataset fetches packet by packet, long after its open,
// are those the first packet saw, even when other attachments commit in between. The configured
// isolation (TransIsolation) is kept for explicit transactions and for the other statements.
#include "driver/FbClient.h"

class TFbCommand;

class TFbConnection : public RefCounted<ISQLConnection> {
public:
    TFbConnection(const fb::Api& api, ISQLDriver* driver);
    ~TFbConnection() override;

    SQLResult connect(const char* database, const char* userName, const char* password) override;
    SQLResult disconnect() override;
    SQLResult getSQLCommand(ISQLCommand** command) override;
    SQLResult getSQLMetaData(ISQLMetaData** metaData) override;
    SQLResult setOption(int32_t option, intptr_t value) override;
    SQLResult getOption(int32_t option, void* buffer, int32_t length, int32_t* outLength) override;
    SQLResult beginTransaction(uint32_t id, int32_t isolation) override;
    SQLResult commit(uint32_t id) override;
    SQLResult rollback(uint32_t id) override;
    SQLResult getErrorMessage(char* buffer) override { return error_.Copy(buffer); }
    SQLResult getErrorMessageLen(uint16_t* length) override { return error_.Length(length); }

    // For the connection's statements.
    const fb::Api& Api() const { return api_; }
    isc_db_handle* Database() { return &db_; }
    bool Attached() const { return db_ != 0; }
    // Counts attachments: a statement handle belongs to the attachment it was made in and is only
    // freed there (a handle of an earlier attachment died with it).
    uint32_t Attachment() const { return attachment_; }
    // The running transaction, started when there is none; false with Firebird's text in `error`.
    bool Transaction(isc_tr_handle*& tr, AnsiString& error);
    // After a statement that may have changed data: commits it when no explicit transaction runs.
    bool StatementDone(AnsiString& error);
    // For a statement about to open a cursor: the transaction it reads in (the snapshot outside an
    // explicit transaction, started when none runs); false with Firebird's text in `error`.
    bool ReadTransaction(isc_tr_handle*& tr, AnsiString& error);
    // A cursor opened in the read transaction, or one of them closed; ReadsDone after a read that
    // opened no cursor. The snapshot ends when no cursor is left open.
    void ReaderOpened() { ++readers_; }
    void ReaderClosed();
    void ReadsDone();
    unsigned short Dialect() const { return static_cast<unsigned short>(dialect_); }
    bool TrimChar() const { return trimChar_; }
    int32_t BlobSizeLimit() const { return blobSize_; }
    void Trace(const char* text) const;

private:
    SQLResult startTransaction(int32_t isolation, AnsiString& error);
    // Ends the running transaction; `keep` commits with retaining (the handle stays valid).
    SQLResult endTransaction(bool commitIt, bool keep);

    const fb::Api& api_;
    SQLPtr<ISQLDriver> driver_;  // a connection keeps its driver alive
    ErrorText error_;
    isc_db_handle db_ = 0;
    isc_tr_handle tr_ = 0;
    uint32_t attachment_ = 0;
    bool explicitTransaction_ = false;
    uint32_t transactionId_ = 0;
    bool snapshot_ = false;  // tr_ is the reads' snapshot
    int readers_ = 0;        // cursors open in it

    bool autoCommit_ = true;
    bool blockingMode_ = true;
    int32_t blobSize_ = -1;
    AnsiString roleName_;
    bool waitOnLocks_ = true;
    bool commitRetain_ = false;
    int32_t isolation_ = SQL_ISOLATION_READ_COMMITTED;
    SQLTraceCallback traceCallback_ = nullptr;
    void* traceData_ = nullptr;
    AnsiString hostName_;
    AnsiString serverCharSet_;
    int32_t dialect_ = 3;
    bool osAuthentication_ = false;
    bool multipleTransaction_ = false;
    AnsiString serverPort_;
    bool trimChar_ = false;
    AnsiString customString_;
    int32_t timeout_ = 0;
};
