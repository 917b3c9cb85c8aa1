#include "data/SQLConnection.h"

#include "core/Format.h"
#include "core/IniFile.h"
#include "core/Registry.h"
#include "core/SysUtils.h"

#include <algorithm>
#include <optional>
#include <unordered_set>
#include <sys/stat.h>

namespace {

const char* const driverRegistryKey = "\\Software\\Kestrin\\DbDriver";

// A relative path in the registry is taken from the program's folder, where the default files lie,
// for the test that the file is there and for reading it alike.
AnsiString registryFilePath(const char* valueName, const char* defaultName) {
    try {
        TRegistry registry(RegistryHive::CurrentUser);
        if (registry.OpenKeyReadOnly(driverRegistryKey)) {
            AnsiString path = registry.ReadString(valueName);
            if (!path.empty())
                return path[0] == '/' ? path : ExeDir() + path;
        }
    } catch (const ERegistryException&) {
        return {};
    }
    return ExeDir() + defaultName;
}

// A registry file is read only when it is a regular file of a sane size: a pipe or a device named
// instead would hold or flood the start-up. `mayBeMissing`: an absent file reads as empty.
void checkRegistryFile(const AnsiString& path, bool mayBeMissing) {
    struct stat st;
    bool exists = !path.empty() && ::stat(path.c_str(), &st) == 0;
    if (!exists && mayBeMissing)
        return;
    if (!exists || !S_ISREG(st.st_mode))
        throw EDatabaseError(Format("Driver/Connection Registry File '%s' not found", path));
    if (st.st_size > MaxIniFileSize)
        throw EDatabaseError(Format("Driver/Connection Registry File '%s' is larger than 16 MB", path));
}

bool isTrue(const AnsiString& value) { return UpperCase(Trim(value)) == "TRUE"; }

// Shows the hourglass for as long as it lives.
class BusyPointer {
public:
    BusyPointer() { show(true); }
    ~BusyPointer() { show(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    static void show(bool busy) {
        if (TSQLConnection::Hourglass)
            TSQLConnection::Hourglass(busy);
    }
};

} // namespace

AnsiString DriverLibraryErrorText(SQLResult code) {
    static const char* const texts[] = {
        nullptr,
        "[0x0001]: Warning",
        "[0x0002]: Insufficient Memory for Operation",
        "[0x0003]: Invalid Field Type",
        "[0x0004]: Invalid Handle",
        "[0x0005]: Operation Not Supported",
        "[0x0006]: Invalid Time",
        "[0x0007]: Invalid Data Translation",
        "[0x0008]: Parameter/Column out of Range",
        "[0x0009]: Invalid Parameter",
        "[0x000A]: Result set at EOF",
        "Driver Error [0x000B]: Parameter Not Set",
        "[0x000C] Invalid Username/Password",
        "[0x000D]: Invalid Precision",
        "[0x000E]: Invalid Length",
        "[0x000F]: Invalid Transaction Isolation Level",
        "[0x0010]: Invalid Transaction ID",
        "[0x0011]: Duplicate Transaction ID",
        nullptr,
        "[0x0013]: Local Transaction already active",
        "[0x0014]: Multiple Transactions not Enabled",
        "[0x0015]: Connection failed",
        "[0x0016]: Driver initialization failed",
        "[0x0017]: Optimistic Locking failed",
        "[0x0018]: Invalid REF",
        "[0x0019]: No table found",
    };
    const char* text = nullptr;
    if (code == SQL_NO_MORE_DATA)
        text = "[0x0064]: No more data";
    else if (code == SQL_SERVER_ERROR)
        text = "[0x0065]: SQL Error";
    else if (code < std::size(texts))
        text = texts[code];
    return text ? Format("Driver Error: %s", text) : AnsiString();
}

AnsiString ComposeDriverError(SQLResult code, const AnsiString& serverText, const AnsiString& lastError) {
    AnsiString message = DriverLibraryErrorText(code);
    if (!serverText.empty()) {
        AnsiString server = Format("SQL Server Error: %s", serverText);
        message = message.empty() ? server : message + "\r\n" + server;
    }
    if (message.empty())
        message = lastError;
    if (message.empty())
        message = Format("Driver Error: Unknown Error Code '%s'", IntToStr(code));
    return message;
}

AnsiString ConnectionRegistryFilePath() { return registryFilePath("Connection Registry File", "dbconnections.ini"); }

AnsiString DriverRegistryFilePath() { return registryFilePath("Driver Registry File", "dbdrivers.ini"); }

void TSQLConnection::DefineProperties(ClassInfo& info) {
    info.Add("ConnectionName", &TSQLConnection::ConnectionName, &TSQLConnection::SetConnectionName);
    info.Add("DriverName", &TSQLConnection::DriverName, &TSQLConnection::SetDriverName);
    info.Add("GetDriverFunc", &TSQLConnection::GetDriverFunc, &TSQLConnection::SetGetDriverFunc);
    info.Add("KeepConnection", &TSQLConnection::KeepConnection, &TSQLConnection::SetKeepConnection);
    info.Add("LibraryName", &TSQLConnection::LibraryName, &TSQLConnection::SetLibraryName);
    info.Add("LoadParamsOnConnect", &TSQLConnection::LoadParamsOnConnect, &TSQLConnection::SetLoadParamsOnConnect);
    info.Add("LoginPrompt", &TSQLConnection::LoginPrompt, &TSQLConnection::SetLoginPrompt);
    info.Add<TSQLConnection, TStringList>(
        "Params", static_cast<const TStringList& (TSQLConnection::*)() const>(&TSQLConnection::Params),
        &TSQLConnection::SetParams);
    info.Add("TableScope", &TSQLConnection::TableScope, &TSQLConnection::SetTableScope);
    info.Add("VendorLib", &TSQLConnection::VendorLib, &TSQLConnection::SetVendorLib);
    info.Add("Connected", &TSQLConnection::Connected, &TSQLConnection::SetConnected);
}

TSQLConnection::TSQLConnection(TComponent* owner)
    : TComponent(owner), connectionRegistryFile_(ConnectionRegistryFilePath()) {}

TSQLConnection::~TSQLConnection() {
    // Going away closes the connection; a failure to say goodbye to the server cannot be reported now.
    try {
        doDisconnect(false);
    } catch (const Exception&) {
    }
    clients_.clear();
    releaseDriverObjects();
    driver_.reset();
}

void TSQLConnection::SetConnectionName(const AnsiString& value) {
    if (value != connectionName_)
        paramsLoaded_ = false;
    connectionName_ = value;
}

bool TSQLConnection::Connected() const {
    return connection_ && state_ != csStateClosed && state_ != csStateConnecting && state_ != csStateDisconnecting;
}

void TSQLConnection::SetConnected(bool value) {
    if (Loading()) {
        streamedConnected_ = value;
        return;
    }
    if (value == Connected())
        return;
    if (value)
        doConnect();
    else
        doDisconnect(true);
}

void TSQLConnection::Loaded() {
    TComponent::Loaded();
    if (streamedConnected_) {
        streamedConnected_ = false;
        SetConnected(true);
    }
}

void TSQLConnection::raiseDriverError(const AnsiString& message) {
    lastError_ = message;
    throw EDatabaseError(message);
}

void TSQLConnection::raisePrefixed(const AnsiString& message) const {
    throw EDatabaseError(Name().empty() ? message : Format("%s: %s", Name(), message));
}

void TSQLConnection::doConnect() {
    if (BeforeConnect)
        BeforeConnect(this);
    connectDriver();
    std::vector<TSQLConnectionClient*> clients = clients_;
    for (TSQLConnectionClient* client : clients)
        if (std::find(clients_.begin(), clients_.end(), client) != clients_.end())
            client->ConnectionChanged(true);
    if (AfterConnect)
        AfterConnect(this);
}

void TSQLConnection::checkLoginParams() {
    if (loadParamsOnConnect_) {
        if (!paramsLoaded_) {
            if (connectionName_.empty())
                throw EDatabaseError("Connection name missing");
            checkRegistryFile(connectionRegistryFile_, false);
            TIniFile connections(connectionRegistryFile_);
            TStringList lines;
            connections.ReadSectionValues(connectionName_, lines);
            params_.Assign(lines);
            paramsLoaded_ = true;
        }
        checkRegistryFile(connectionRegistryFile_, true);
        driverName_ = TIniFile(connectionRegistryFile_).ReadString(connectionName_, "DriverName");
    }
    if (driverName_.empty())
        throw EDatabaseError("Missing DriverName property");
    // The library settings come from the driver registry file when parameters are loaded, else they
    // are the stored ones; either way an empty name stops here.
    std::optional<TIniFile> drivers;
    if (loadParamsOnConnect_) {
        AnsiString driverFile = DriverRegistryFilePath();
        checkRegistryFile(driverFile, true);
        drivers.emplace(driverFile);
        libraryName_ = drivers->ReadString(driverName_, "LibraryName");
    }
    if (Trim(libraryName_).empty())
        raisePrefixed("DLL/Shared Library Name not Set");
    if (drivers)
        vendorLib_ = Trim(drivers->ReadString(driverName_, "VendorLib"));
    if (Trim(vendorLib_).empty())
        raisePrefixed("DLL/Shared Library Name not Set");
    if (drivers)
        getDriverFunc_ = drivers->ReadString(driverName_, "GetDriverFunc");
    if (Trim(params_.Values("Database")).empty())
        throw EDatabaseError(connectionName_.empty() ? "Connection name missing" : "Missing Database property");
}

void TSQLConnection::loadDriver() {
    BusyPointer busy;
    if (!library_) {
        library_ = LoadModule(Trim(libraryName_));
        if (!library_)
            throw EDatabaseError(Format("Unable to Load %s", libraryName_));
    }
    driverEntry_ = reinterpret_cast<::GetDriverFunc>(FindEntry(library_, Trim(getDriverFunc_)));
    if (!driverEntry_)
        throw EDatabaseError(Format("Unable to Find Procedure %s", getDriverFunc_));
}

void TSQLConnection::connectDriver() {
    checkLoginParams();
    state_ = csStateConnecting;
    try {
        loadDriver();
        BusyPointer busy;
        driver_.reset();
        AnsiString errorResourceFile = Trim(params_.Values("ErrorResourceFile"));
        // A driver that fails may leave anything in the out place: only a success hands a reference.
        ISQLDriver* driver = nullptr;
        if (driverEntry_(vendorLib_.c_str(), errorResourceFile.c_str(), &driver) != SQL_SUCCESS)
            throw EDatabaseError(Format("Unable to Load %s", vendorLib_));
        driver_ = SQLPtr<ISQLDriver>(driver);
        Check(driver_->getSQLConnection(connection_.Out()), static_cast<ISQLConnection*>(nullptr));

        // A parameter line that is already in the login list (letter case aside) is skipped. The
        // list's lines are also kept folded in a hash set, so building it stays linear in the lines.
        TStringList login;
        std::unordered_set<AnsiString> inLogin;
        auto add = [&](const AnsiString& line) {
            login.Add(line);
            inLogin.insert(UpperCase(line));
        };
        for (int i = 0; i < params_.Count(); ++i) {
            if (inLogin.count(UpperCase(params_[i])))
                continue;
            AnsiString name = params_.Names(i), value = params_.ValueFromIndex(i);
            if (SameText(name, "PASSWORD"))
                add("PASSWORD=" + value);
            else if (SameText(name, "USER_NAME"))
                add("USER_NAME=" + value);
            else if (SameText(name, "Database"))
                add("Database=" + Trim(value));
        }
        if (loginPrompt_ && OnLogin)
            OnLogin(this, login);

        setConnectionParams();
        AnsiString database = Trim(params_.Values("Database"));
        AnsiString userName = login.Values("USER_NAME"), password = login.Values("PASSWORD");
        if (Attaching)
            Attaching(database);
        Check(connection_->connect(database.c_str(), userName.c_str(), password.c_str()), connection_.get());

        int32_t value = 0, length = 0;
        connection_->getOption(SQL_CONN_MAX_ACTIVE_STATEMENTS, &value, sizeof value, &length);
        maxStmtsPerConn_ = value;

        Check(connection_->getSQLMetaData(metaData_.Out()), connection_.get());
        AnsiString schema = Trim(userName);
        if (!schema.empty())
            metaData_->setOption(SQL_META_SCHEMA_NAME, reinterpret_cast<intptr_t>(schema.c_str()));

        char quote = 0;
        if (metaData_->getOption(SQL_META_OBJECT_QUOTE_CHAR, &quote, 1, &length) == SQL_SUCCESS && quote)
            quoteChar_ = quote;
        AnsiString blobSize = Trim(params_.Values("BlobSize"));
        connection_->setOption(SQL_CONN_BLOB_SIZE, blobSize.empty() ? -1 : StrToInt(blobSize));
        value = 0;
        if (metaData_->getOption(SQL_META_TRANSACTIONS_SUPPORTED, &value, sizeof value, &length) == SQL_SUCCESS)
            transactionsSupported_ = value != 0;
        value = 0;
        if (metaData_->getOption(SQL_META_MULTIPLE_TRANSACTIONS, &value, sizeof value, &length) == SQL_SUCCESS)
            multipleTransactionsSupported_ = value != 0;
        state_ = csStateOpen;
    } catch (...) {
        // The library stays loaded; only its handle is forgotten. The parameters keep what was
        // loaded, but the next attempt reads the file again: it may have been put right meanwhile.
        state_ = csStateClosed;
        library_ = nullptr;
        paramsLoaded_ = false;
        releaseDriverObjects();
        throw;
    }
}

void TSQLConnection::setConnectionParams() {
    auto text = [&](const char* name, SQLConnectionOption option) {
        AnsiString value = Trim(params_.Values(name));
        if (!value.empty())
            connection_->setOption(option, reinterpret_cast<intptr_t>(value.c_str()));
    };
    auto flag = [&](const char* name, SQLConnectionOption option) {
        AnsiString value = params_.Values(name);
        if (!value.empty())
            connection_->setOption(option, isTrue(value) ? 1 : 0);
    };
    auto integer = [&](const AnsiString& name, SQLConnectionOption option) {
        AnsiString value = params_.Values(name);
        if (!value.empty())
            connection_->setOption(option, StrToInt(Trim(value)));
    };
    text("HostName", SQL_CONN_HOST_NAME);
    text("RoleName", SQL_CONN_ROLE_NAME);
    flag("WaitOnLocks", SQL_CONN_WAIT_ON_LOCKS);
    flag("CommitRetain", SQL_CONN_COMMIT_RETAIN);
    flag("AutoCommit", SQL_CONN_AUTO_COMMIT);
    flag("BlockingMode", SQL_CONN_BLOCKING_MODE);
    text("ServerCharSet", SQL_CONN_SERVER_CHARSET);
    if (AnsiString isolation = params_.Values(Format("%s TransIsolation", driverName_)); !isolation.empty()) {
        AnsiString word = LowerCase(Trim(isolation));
        transIsolation_ = word == "repeatableread" ? xilRepeatableRead
                          : word == "dirtyread"    ? xilDirtyRead
                                                   : xilReadCommitted;
        connection_->setOption(SQL_CONN_TRANSACTION_ISOLATION, transIsolation_);
    }
    integer("SqlDialect", SQL_CONN_SQL_DIALECT);
    flag("OS Authentication", SQL_CONN_OS_AUTHENTICATION);
    text("Server Port", SQL_CONN_SERVER_PORT);
    flag("Multiple Transaction", SQL_CONN_MULTIPLE_TRANSACTION);
    flag("Trim Char", SQL_CONN_TRIM_CHAR);
    text("Custom String", SQL_CONN_CUSTOM_STRING);
    integer("Connection Timeout", SQL_CONN_TIMEOUT);
}

void TSQLConnection::releaseDriverObjects() {
    metaData_.reset();
    connection_.reset();
}

void TSQLConnection::doDisconnect(bool runHooks) {
    if (runHooks && BeforeDisconnect)
        BeforeDisconnect(this);
    std::vector<TSQLConnectionClient*> clients = clients_;
    auto registered = [&](TSQLConnectionClient* c) {
        return std::find(clients_.begin(), clients_.end(), c) != clients_.end();
    };
    for (TSQLConnectionClient* client : clients)
        if (registered(client))
            client->ConnectionChanged(false);
    if (driver_) {
        state_ = csStateDisconnecting;
        // The teardown always completes; the first failure is raised afterwards.
        std::exception_ptr failure;
        for (TSQLConnectionClient* client : clients)
            if (registered(client)) {
                try {
                    client->CloseForDisconnect();
                } catch (...) {
                    if (!failure)
                        failure = std::current_exception();
                }
            }
        if (connection_) {
            try {
                Check(connection_->setOption(SQL_CONN_TRACE_CALLBACK, 0), connection_.get());
                Check(connection_->setOption(SQL_CONN_TRACE_DATA, 0), connection_.get());
            } catch (...) {
                if (!failure)
                    failure = std::current_exception();
            }
        }
        metaData_.reset();
        if (connection_) {
            connection_->disconnect();
            openTransactions_ = 0;
            connection_.reset();
        }
        library_ = nullptr;
        state_ = csStateClosed;
        driver_.reset();
        paramsLoaded_ = false;
        if (failure)
            std::rethrow_exception(failure);
    }
    paramsLoaded_ = false;
    if (runHooks && AfterDisconnect)
        AfterDisconnect(this);
}

void TSQLConnection::RegisterClient(TSQLConnectionClient* client) {
    if (client && std::find(clients_.begin(), clients_.end(), client) == clients_.end())
        clients_.push_back(client);
}

void TSQLConnection::UnregisterClient(TSQLConnectionClient* client) { std::erase(clients_, client); }

void TSQLConnection::StatementDeactivated() {
    if (activeStatements_ > 0)
        --activeStatements_;
}

void TSQLConnection::DisconnectIfUnused() {
    if (keepConnection_ || openTransactions_ > 0 || Loading())
        return;
    for (TSQLConnectionClient* client : clients_)
        if (client->IsActive())
            return;
    SetConnected(false);
}

std::unique_ptr<TSQLConnection> TSQLConnection::CloneConnection() const {
    auto clone = std::make_unique<TSQLConnection>(nullptr);
    clone->SetName(Name() + "Clone1");
    clone->SetDriverName(driverName_);
    clone->SetConnectionName(connectionName_);
    clone->SetParams(params_);
    clone->SetLibraryName(libraryName_);
    clone->SetVendorLib(vendorLib_);
    clone->SetGetDriverFunc(getDriverFunc_);
    clone->SetTableScope(tableScope_);
    clone->SetLoadParamsOnConnect(false);
    clone->SetLoginPrompt(false);
    if (Connected())
        clone->SetConnected(true);
    return clone;
}

void TSQLConnection::StartTransaction(uint32_t id, TTransIsolationLevel isolation) {
    SetConnected(true);
    Check(connection_->beginTransaction(id, isolation), connection_.get());
    ++openTransactions_;
}

void TSQLConnection::Commit(uint32_t id) {
    if (!connection_)
        return;
    Check(connection_->commit(id), connection_.get());
    if (openTransactions_ > 0)
        --openTransactions_;
}

void TSQLConnection::Rollback(uint32_t id) {
    if (!connection_)
        return;
    Check(connection_->rollback(id), connection_.get());
    if (openTransactions_ > 0)
        --openTransactions_;
}
