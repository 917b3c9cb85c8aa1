#include "driver/FbConnection.h"

#include "driver/FbCommand.h"
#include "driver/FbMetaData.h"

#include <new>
#include <string>

namespace {
void addText(std::string& dpb, char item, const AnsiString& value) {
    size_t n = std::min<size_t>(value.size(), 255);
    dpb += item;
    dpb += static_cast<char>(n);
    dpb.append(value, 0, n);
}

void addInteger(std::string& dpb, char item, int32_t value) {
    dpb += item;
    dpb += static_cast<char>(4);
    for (int i = 0; i < 4; ++i)
        dpb += static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF);
}

AnsiString textOption(intptr_t value) { return value ? Trim(reinterpret_cast<const char*>(value)) : AnsiString(); }
} // namespace

TFbConnection::TFbConnection(const fb::Api& api, ISQLDriver* driver)
    : api_(api), driver_(SQLPtr<ISQLDriver>::Share(driver)) {}

TFbConnection::~TFbConnection() { disconnect(); }

SQLResult TFbConnection::connect(const char* database, const char* userName, const char* password) {
    if (Attached())
        disconnect();
    std::string dpb(1, static_cast<char>(isc_dpb_version1));
    if (userName && *userName)
        addText(dpb, isc_dpb_user_name, userName);
    if (password && *password)
        addText(dpb, isc_dpb_password, password);
    if (!roleName_.empty())
        addText(dpb, isc_dpb_sql_role_name, roleName_);
    // Without a character set the server hands text over as it is stored: the shop's Big5 bytes.
    if (!serverCharSet_.empty())
        addText(dpb, isc_dpb_lc_ctype, serverCharSet_);
    addInteger(dpb, isc_dpb_sql_dialect, dialect_);
    if (timeout_ > 0)
        addInteger(dpb, isc_dpb_connect_timeout, timeout_);

    AnsiString target = database ? database : "";
    // A host given apart from the database reaches a server; a database that names its own host keeps it.
    if (!hostName_.empty() && target.find(':') == AnsiString::npos)
        target = hostName_ + (serverPort_.empty() ? "" : "/" + serverPort_) + ":" + target;

    Trace(("connect " + target).c_str());
    ISC_STATUS_ARRAY status;
    if (api_.attach_database(status, 0, target.c_str(), &db_, static_cast<short>(dpb.size()), dpb.data())) {
        db_ = 0;
        return error_.Fail(SQL_CONNECTION_FAILED, fb::StatusText(api_, status));
    }
    ++attachment_;
    return SQL_SUCCESS;
}

SQLResult TFbConnection::disconnect() {
    if (!Attached())
        return SQL_SUCCESS;
    // Work of an explicit transaction that nobody committed is undone; the implicit one holds only
    // reads and statements already committed, so it ends quietly.
    if (tr_)
        endTransaction(!explicitTransaction_, false);
    ISC_STATUS_ARRAY status;
    SQLResult result = SQL_SUCCESS;
    if (api_.detach_database(status, &db_))
        result = error_.Fail(SQL_SERVER_ERROR, fb::StatusText(api_, status));
    db_ = 0;
    tr_ = 0;
    explicitTransaction_ = false;
    snapshot_ = false;
    readers_ = 0;
    return result;
}

SQLResult TFbConnection::getSQLCommand(ISQLCommand** command) {
    if (!command)
        return SQL_INVALID_PARAMETER;
    *command = nullptr;
    if (!Attached())
        return SQL_INVALID_HANDLE;
    *command = new (std::nothrow) TFbCommand(this);
    return *command ? SQL_SUCCESS : SQL_NO_MEMORY;
}

SQLResult TFbConnection::getSQLMetaData(ISQLMetaData** metaData) {
    if (!metaData)
        return SQL_INVALID_PARAMETER;
    *metaData = nullptr;
    if (!Attached())
        return SQL_INVALID_HANDLE;
    *metaData = new (std::nothrow) TFbMetaData(this);
    return *metaData ? SQL_SUCCESS : SQL_NO_MEMORY;
}

SQLResult TFbConnection::setOption(int32_t option, intptr_t value) {
    switch (option) {
    case SQL_CONN_AUTO_COMMIT: autoCommit_ = value != 0; break;
    case SQL_CONN_BLOCKING_MODE: blockingMode_ = value != 0; break;
    case SQL_CONN_BLOB_SIZE: blobSize_ = static_cast<int32_t>(value); break;
    case SQL_CONN_ROLE_NAME: roleName_ = textOption(value); break;
    case SQL_CONN_WAIT_ON_LOCKS: waitOnLocks_ = value != 0; break;
    case SQL_CONN_COMMIT_RETAIN: commitRetain_ = value != 0; break;
    case SQL_CONN_TRANSACTION_ISOLATION:
        if (value < SQL_ISOLATION_READ_COMMITTED || value > SQL_ISOLATION_DIRTY_READ)
            return SQL_INVALID_ISOLATION;
        isolation_ = static_cast<int32_t>(value);
        break;
    case SQL_CONN_TRACE_CALLBACK: traceCallback_ = reinterpret_cast<SQLTraceCallback>(value); break;
    case SQL_CONN_TRACE_DATA: traceData_ = reinterpret_cast<void*>(value); break;
    case SQL_CONN_HOST_NAME: hostName_ = textOption(value); break;
    case SQL_CONN_SERVER_CHARSET: serverCharSet_ = textOption(value); break;
    case SQL_CONN_SQL_DIALECT:
        if (value < 1 || value > 3)
            return SQL_INVALID_PARAMETER;
        dialect_ = static_cast<int32_t>(value);
        break;
    case SQL_CONN_OS_AUTHENTICATION: osAuthentication_ = value != 0; break;
    case SQL_CONN_MULTIPLE_TRANSACTION: multipleTransaction_ = value != 0; break;
    case SQL_CONN_SERVER_PORT: serverPort_ = textOption(value); break;
    case SQL_CONN_TRIM_CHAR: trimChar_ = value != 0; break;
    case SQL_CONN_CUSTOM_STRING: customString_ = textOption(value); break;
    case SQL_CONN_TIMEOUT: timeout_ = static_cast<int32_t>(value); break;
    default: return SQL_NOT_SUPPORTED;
    }
    return SQL_SUCCESS;
}

SQLResult TFbConnection::getOption(int32_t option, void* buffer, int32_t length, int32_t* outLength) {
    switch (option) {
    case SQL_CONN_AUTO_COMMIT: return fb::PutOption(buffer, length, outLength, autoCommit_);
    case SQL_CONN_BLOCKING_MODE: return fb::PutOption(buffer, length, outLength, blockingMode_);
    case SQL_CONN_BLOB_SIZE: return fb::PutOption(buffer, length, outLength, blobSize_);
    case SQL_CONN_ROLE_NAME: return fb::PutOption(buffer, length, outLength, roleName_);
    case SQL_CONN_WAIT_ON_LOCKS: return fb::PutOption(buffer, length, outLength, waitOnLocks_);
    case SQL_CONN_COMMIT_RETAIN: return fb::PutOption(buffer, length, outLength, commitRetain_);
    case SQL_CONN_TRANSACTION_ISOLATION: return fb::PutOption(buffer, length, outLength, isolation_);
    case SQL_CONN_HOST_NAME: return fb::PutOption(buffer, length, outLength, hostName_);
    // Firebird keeps no limit of open statements per attachment.
    case SQL_CONN_MAX_ACTIVE_STATEMENTS: return fb::PutOption(buffer, length, outLength, 0);
    case SQL_CONN_SERVER_CHARSET: return fb::PutOption(buffer, length, outLength, serverCharSet_);
    case SQL_CONN_SQL_DIALECT: return fb::PutOption(buffer, length, outLength, dialect_);
    case SQL_CONN_OS_AUTHENTICATION: return fb::PutOption(buffer, length, outLength, osAuthentication_);
    case SQL_CONN_MULTIPLE_TRANSACTION: return fb::PutOption(buffer, length, outLength, multipleTransaction_);
    case SQL_CONN_SERVER_PORT: return fb::PutOption(buffer, length, outLength, serverPort_);
    case SQL_CONN_TRIM_CHAR: return fb::PutOption(buffer, length, outLength, trimChar_);
    case SQL_CONN_CUSTOM_STRING: return fb::PutOption(buffer, length, outLength, customString_);
    case SQL_CONN_TIMEOUT: return fb::PutOption(buffer, length, outLength, timeout_);
    default: return SQL_NOT_SUPPORTED;
    }
}

SQLResult TFbConnection::startTransaction(int32_t isolation, AnsiString& error) {
    // Firebird reads nothing dirtier than committed data: a dirty read is a read committed that
    // sees the newest committed version of a row. Every transaction is read-only: the tool promises
    // never to write to the shop's database, and the server holds it to that.
    std::string tpb{static_cast<char>(isc_tpb_version3), static_cast<char>(isc_tpb_read)};
    if (isolation == SQL_ISOLATION_REPEATABLE_READ) {
        tpb += static_cast<char>(isc_tpb_concurrency);
    } else {
        tpb += static_cast<char>(isc_tpb_read_committed);
        tpb += static_cast<char>(isc_tpb_rec_version);
    }
    tpb += static_cast<char>(waitOnLocks_ ? isc_tpb_wait : isc_tpb_nowait);
    ISC_STATUS_ARRAY status;
    if (api_.start_transaction(status, &tr_, 1, &db_, static_cast<int>(tpb.size()), tpb.data())) {
        tr_ = 0;
        error = fb::StatusText(api_, status);
        return SQL_SERVER_ERROR;
    }
    return SQL_SUCCESS;
}

SQLResult TFbConnection::endTransaction(bool commitIt, bool keep) {
    ISC_STATUS_ARRAY status;
    ISC_STATUS failed = commitIt ? (keep ? api_.commit_retaining(status, &tr_) : api_.commit_transaction(status, &tr_))
                                 : api_.rollback_transaction(status, &tr_);
    if (failed)
        return error_.Fail(SQL_SERVER_ERROR, fb::StatusText(api_, status));
    if (!keep)
        tr_ = 0;
    explicitTransaction_ = false;
    snapshot_ = false;
    return SQL_SUCCESS;
}

bool TFbConnection::Transaction(isc_tr_handle*& tr, AnsiString& error) {
    if (!tr_ && startTransaction(isolation_, error) != SQL_SUCCESS)
        return false;
    tr = &tr_;
    return true;
}

bool TFbConnection::ReadTransaction(isc_tr_handle*& tr, AnsiString& error) {
    if (explicitTransaction_ || snapshot_)
        return Transaction(tr, error);
    // The implicit transaction of a statement prepared meanwhile holds only reads: it gives way.
    if (tr_ && endTransaction(true, false) != SQL_SUCCESS) {
        ISC_STATUS_ARRAY status;
        api_.rollback_transaction(status, &tr_);
        tr_ = 0;
    }
    if (startTransaction(SQL_ISOLATION_REPEATABLE_READ, error) != SQL_SUCCESS)
        return false;
    snapshot_ = true;
    readers_ = 0;
    tr = &tr_;
    return true;
}

void TFbConnection::ReaderClosed() {
    if (readers_ > 0)
        --readers_;
    ReadsDone();
}

void TFbConnection::ReadsDone() {
    if (!snapshot_ || readers_ > 0 || !tr_)
        return;
    // It only read: a commit that fails (the server gone) loses nothing; the handle is let go all the same.
    // Retaining keeps the blob identifiers of the rows already read valid until the next read begins.
    if (endTransaction(true, true) != SQL_SUCCESS) {
        ISC_STATUS_ARRAY status;
        api_.rollback_transaction(status, &tr_);
        tr_ = 0;
    }
    snapshot_ = false;
}

bool TFbConnection::StatementDone(AnsiString& error) {
    // The snapshot only read; committing it would end the view its open cursors share.
    if (!autoCommit_ || explicitTransaction_ || !tr_ || snapshot_)
        return true;
    // Retaining keeps cursors of the same transaction open.
    ISC_STATUS_ARRAY status;
    if (api_.commit_retaining(status, &tr_)) {
        error = fb::StatusText(api_, status);
        return false;
    }
    return true;
}

void TFbConnection::Trace(const char* text) const {
    if (traceCallback_)
        traceCallback_(traceData_, text);
}

SQLResult TFbConnection::beginTransaction(uint32_t id, int32_t isolation) {
    if (!Attached())
        return SQL_INVALID_HANDLE;
    if (explicitTransaction_)
        return SQL_TRANSACTION_ACTIVE;
    if (isolation < SQL_ISOLATION_READ_COMMITTED || isolation > SQL_ISOLATION_DIRTY_READ)
        return SQL_INVALID_ISOLATION;
    // The implicit transaction holds nothing uncommitted; it ends so that the new one gets its isolation.
    readers_ = 0;
    if (tr_) {
        if (SQLResult r = endTransaction(true, false))
            return r;
    }
    AnsiString error;
    if (SQLResult r = startTransaction(isolation, error))
        return error_.Fail(r, error);
    explicitTransaction_ = true;
    transactionId_ = id;
    return SQL_SUCCESS;
}

SQLResult TFbConnection::commit(uint32_t id) {
    if (!explicitTransaction_ || id != transactionId_)
        return SQL_INVALID_TRANSACTION_ID;
    return endTransaction(true, commitRetain_);
}

SQLResult TFbConnection::rollback(uint32_t id) {
    if (!explicitTransaction_ || id != transactionId_)
        return SQL_INVALID_TRANSACTION_ID;
    return endTransaction(false, false);
}
