#pragma once
// TSQLConnection: a database connection through a driver library. With LoadParamsOnConnect every
// connect takes its parameters from the connection registry file (section ConnectionName) and its
// driver library settings from the driver registry file (section DriverName); the driver library is
// loaded with LibraryName and asked, through its entry GetDriverFunc, for a driver over the client
// library VendorLib. Driver failures become EDatabaseError messages composed of the library's text
// for the result code and the failing object's own (server) text.
#include "core/Component.h"
#include "core/Exception.h"
#include "core/Library.h"
#include "core/StringList.h"
#include "interfaces/SQLDriver.h"
#include "interfaces/SQLPtr.h"

#include <functional>
#include <memory>
#include <vector>

enum TConnectionState { csStateClosed = 0, csStateOpen = 1, csStateConnecting = 2, csStateDisconnecting = 5 };

enum TTransIsolationLevel { xilReadCommitted = 0, xilRepeatableRead = 1, xilDirtyRead = 2 };

// Which objects a table list shows, as bits of TableScope.
enum TTableScope { tsSynonym = 1, tsSysTable = 2, tsTable = 4, tsView = 8 };

// A statement dataset as its connection sees it. The dataset registers itself with the connection
// it uses and unregisters before it goes.
class TSQLConnectionClient {
public:
    virtual ~TSQLConnectionClient() = default;
    // After the connection connected, and before it disconnects.
    virtual void ConnectionChanged(bool connected) { (void)connected; }
    virtual bool IsActive() const = 0;
    // While disconnecting: close when open and free the prepared statement, whose driver objects
    // die with the connection.
    virtual void CloseForDisconnect() = 0;
};

// The library part of a driver failure's message ("Driver Error: ..."); empty for codes without one.
AnsiString DriverLibraryErrorText(SQLResult code);
// The whole message: the library part, the server part after CR LF, else `lastError`, else
// "Driver Error: Unknown Error Code '<code>'".
AnsiString ComposeDriverError(SQLResult code, const AnsiString& serverText, const AnsiString& lastError);

// The failing driver object's own text (connection, command, cursor or metadata); empty when none.
template <class I> AnsiString DriverServerText(I* source) {
    uint16_t length = 0;
    if (!source || source->getErrorMessageLen(&length) != SQL_SUCCESS || length == 0)
        return {};
    AnsiString text(length + 1u, '\0');
    if (source->getErrorMessage(text.data()) != SQL_SUCCESS)
        return {};
    text.resize(std::char_traits<char>::length(text.c_str()));
    return text;
}

template <class I> AnsiString DriverErrorMessage(SQLResult code, I* source, const AnsiString& lastError) {
    return ComposeDriverError(code, DriverServerText(source), lastError);
}

// The registry files' paths: the value under "\Software\Kestrin\DbDriver" of the current user, else
// the file beside the program; empty when the registry value is not text.
AnsiString ConnectionRegistryFilePath();
AnsiString DriverRegistryFilePath();

class TSQLConnection : public TComponent {
    MORVANE_CLASS_PROPS(TSQLConnection, TComponent)
public:
    explicit TSQLConnection(TComponent* owner);
    ~TSQLConnection() override;

    // ---- stored settings ----
    const AnsiString& ConnectionName() const { return connectionName_; }
    void SetConnectionName(const AnsiString& value);
    const AnsiString& DriverName() const { return driverName_; }
    void SetDriverName(const AnsiString& value) { driverName_ = value; }
    const AnsiString& LibraryName() const { return libraryName_; }
    void SetLibraryName(const AnsiString& value) { libraryName_ = value; }
    const AnsiString& VendorLib() const { return vendorLib_; }
    void SetVendorLib(const AnsiString& value) { vendorLib_ = value; }
    const AnsiString& GetDriverFunc() const { return getDriverFunc_; }
    void SetGetDriverFunc(const AnsiString& value) { getDriverFunc_ = value; }
    const TStringList& Params() const { return params_; }
    TStringList& Params() { return params_; }
    void SetParams(const TStringList& value) { params_.Assign(value); }
    bool LoadParamsOnConnect() const { return loadParamsOnConnect_; }
    void SetLoadParamsOnConnect(bool value) { loadParamsOnConnect_ = value; }
    bool LoginPrompt() const { return loginPrompt_; }
    void SetLoginPrompt(bool value) { loginPrompt_ = value; }
    bool KeepConnection() const { return keepConnection_; }
    void SetKeepConnection(bool value) { keepConnection_ = value; }
    int TableScope() const { return tableScope_; }
    void SetTableScope(int value) { tableScope_ = value; }
    // While the component is being loaded a True is only remembered; Loaded() connects.
    bool Connected() const;
    void SetConnected(bool value);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }
    void Loaded() override;

    // ---- events ----
    std::function<void(TComponent* sender)> BeforeConnect;
    std::function<void(TComponent* sender)> AfterConnect;
    std::function<void(TComponent* sender)> BeforeDisconnect;
    std::function<void(TComponent* sender)> AfterDisconnect;
    // With LoginPrompt: may change the login list's USER_NAME and PASSWORD before connecting.
    std::function<void(TSQLConnection* sender, TStringList& login)> OnLogin;
    // The hourglass pointer while the driver loads and connects; the user-interface layer installs it.
    inline static std::function<void(bool busy)> Hourglass;
    // Told the database (trimmed) just before the driver attaches to it, so that a watcher outside
    // can name the file should the database engine fail hard while working on it.
    inline static std::function<void(const AnsiString& database)> Attaching;

    // ---- run-time state ----
    TConnectionState ConnectionState() const { return state_; }
    // Read once, when the component is created.
    const AnsiString& ConnectionRegistryFile() const { return connectionRegistryFile_; }
    ISQLConnection* DriverConnection() const { return connection_.get(); }
    ISQLMetaData* MetaData() const { return metaData_.get(); }
    int MaxStmtsPerConn() const { return maxStmtsPerConn_; }
    char QuoteChar() const { return quoteChar_; }
    bool TransactionsSupported() const { return transactionsSupported_; }
    bool MultipleTransactionsSupported() const { return multipleTransactionsSupported_; }
    TTransIsolationLevel TransIsolation() const { return transIsolation_; }
    const AnsiString& LastError() const { return lastError_; }

    // Turns a non-zero driver result of `source` (the object that failed, or null) into an
    // EDatabaseError, remembered as the last error.
    template <class I> void Check(SQLResult result, I* source) {
        if (result != SQL_SUCCESS)
            raiseDriverError(DriverErrorMessage(result, source, lastError_));
    }

    // ---- statement datasets ----
    void RegisterClient(TSQLConnectionClient* client);
    void UnregisterClient(TSQLConnectionClient* client);
    int ActiveStatements() const { return activeStatements_; }
    void StatementActivated() { ++activeStatements_; }
    void StatementDeactivated();
    // A statement dataset was closed and freed: without KeepConnection, and with no open
    // transaction and no active dataset, the connection disconnects.
    void DisconnectIfUnused();
    // A connection for a statement beyond the driver's limit per connection: named after this one
    // with "Clone1", with its settings, LoadParamsOnConnect and LoginPrompt off, connected when
    // this one is. The caller owns it.
    std::unique_ptr<TSQLConnection> CloneConnection() const;

    // ---- transactions ----
    bool InTransaction() const { return openTransactions_ > 0; }
    int OpenTransactions() const { return openTransactions_; }
    void StartTransaction(uint32_t id, TTransIsolationLevel isolation);
    void Commit(uint32_t id);
    void Rollback(uint32_t id);

private:
    void doConnect();
    void doDisconnect(bool runHooks);
    void checkLoginParams();
    void loadDriver();
    void connectDriver();
    void setConnectionParams();
    void releaseDriverObjects();
    [[noreturn]] void raiseDriverError(const AnsiString& message);
    [[noreturn]] void raisePrefixed(const AnsiString& message) const;

    AnsiString connectionName_;
    AnsiString driverName_;
    AnsiString libraryName_;
    AnsiString vendorLib_;
    AnsiString getDriverFunc_;
    TStringList params_;
    bool loadParamsOnConnect_ = false;
    bool loginPrompt_ = true;
    bool keepConnection_ = true;
    int tableScope_ = tsTable | tsView;
    bool streamedConnected_ = false;

    TConnectionState state_ = csStateClosed;
    AnsiString connectionRegistryFile_;
    bool paramsLoaded_ = false;
    ModuleHandle library_ = nullptr;
    ::GetDriverFunc driverEntry_ = nullptr;
    SQLPtr<ISQLDriver> driver_;
    SQLPtr<ISQLConnection> connection_;
    SQLPtr<ISQLMetaData> metaData_;
    int maxStmtsPerConn_ = 0;
    char quoteChar_ = '"';
    bool transactionsSupported_ = false;
    bool multipleTransactionsSupported_ = false;
    TTransIsolationLevel transIsolation_ = xilReadCommitted;
    AnsiString lastError_;
    int activeStatements_ = 0;
    int openTransactions_ = 0;
    std::vector<TSQLConnectionClient*> clients_;
};
