// TSQLConnection over the real driver library and real Firebird databases.
#include "core/Registry.h"
#include "core/SysUtils.h"
#include "data/SQLConnection.h"
#include "support/Fifo.h"
#include "support/FirebirdDb.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Replaces one line of a registry file written by WriteConnectionFiles (an empty `to` removes it).
void editFile(const std::string& path, const std::string& from, const std::string& to) {
    std::string text = readFile(path);
    size_t at = text.find(from + "\n");
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size() + 1, to.empty() ? "" : to + "\n");
    std::ofstream(path, std::ios::binary) << text;
}

// The window's connection: registry files, loading parameters on connect, no login prompt.
std::unique_ptr<TSQLConnection> windowConnection() {
    auto c = std::make_unique<TSQLConnection>(nullptr);
    c->SetName("SQLConnection1");
    c->SetConnectionName("Kestrin");
    c->SetDriverName("Firebird");
    c->SetLoadParamsOnConnect(true);
    c->SetLoginPrompt(false);
    return c;
}

std::string connectError(TSQLConnection& c) {
    try {
        c.SetConnected(true);
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(c.ConnectionState(), csStateClosed);
        EXPECT_FALSE(c.Connected());
        return e.Message();
    }
    return "(connected)";
}

int32_t intOption(TSQLConnection& c, SQLConnectionOption option) {
    int32_t value = -99, length = 0;
    EXPECT_EQ(c.DriverConnection()->getOption(option, &value, sizeof value, &length), SQL_SUCCESS);
    return value;
}

std::string textOption(TSQLConnection& c, SQLConnectionOption option) {
    char value[256] = {};
    int32_t length = 0;
    EXPECT_EQ(c.DriverConnection()->getOption(option, value, sizeof value, &length), SQL_SUCCESS);
    return value;
}

class Client : public TSQLConnectionClient {
public:
    void ConnectionChanged(bool connected) override { events += connected ? "connected;" : "disconnecting;"; }
    bool IsActive() const override { return active; }
    void CloseForDisconnect() override {
        events += "close;";
        active = false;
    }
    std::string events;
    bool active = false;
};

// Points the registry values at other paths (empty: the value goes).
void pointRegistryAt(const std::string& connections, const std::string& drivers) {
    TRegistry reg;
    reg.OpenKey("\\Software\\Kestrin\\DbDriver", true);
    for (auto [name, value] : {std::pair{"Connection Registry File", connections}, {"Driver Registry File", drivers}}) {
        if (value.empty())
            reg.DeleteValue(name);
        else
            reg.WriteString(name, value);
    }
}

} // namespace

TEST(SQLConnection, RelativeRegistryPathsAreTakenFromTheProgramsFolder) {
    TestDatabase db;
    WriteConnectionFiles(db.Dir(), db.Path());
    // The files in a folder beside the program, named relative to it; the working folder is elsewhere.
    std::string folder = "harden-" + std::to_string(getpid());
    std::filesystem::create_directory(ExeDir() + folder);
    std::filesystem::copy_file(db.Dir() + "/dbconnections.ini", ExeDir() + folder + "/dbconnections.ini");
    std::filesystem::copy_file(db.Dir() + "/dbdrivers.ini", ExeDir() + folder + "/dbdrivers.ini");
    pointRegistryAt(folder + "/dbconnections.ini", folder + "/dbdrivers.ini");
    std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(db.Dir());
    auto c = windowConnection();
    EXPECT_EQ(c->ConnectionRegistryFile(), ExeDir() + folder + "/dbconnections.ini");
    EXPECT_EQ(connectError(*c), "(connected)");

    // Bare names: the files right beside the program, not in the profile folder.
    std::filesystem::rename(ExeDir() + folder + "/dbconnections.ini", ExeDir() + folder + "-connections.ini");
    std::filesystem::rename(ExeDir() + folder + "/dbdrivers.ini", ExeDir() + folder + "-drivers.ini");
    pointRegistryAt(folder + "-connections.ini", folder + "-drivers.ini");
    auto bare = windowConnection();
    EXPECT_EQ(bare->ConnectionRegistryFile(), ExeDir() + folder + "-connections.ini");
    EXPECT_EQ(connectError(*bare), "(connected)");
    EXPECT_EQ(bare->LibraryName(), "libsqldrvfb.so");
    std::filesystem::current_path(cwd);
    std::filesystem::remove_all(ExeDir() + folder);
    std::filesystem::remove(ExeDir() + folder + "-connections.ini");
    std::filesystem::remove(ExeDir() + folder + "-drivers.ini");
}

TEST(SQLConnection, RefusesRegistryFilesThatAreNoRegularFilesOrTooLarge) {
    TestDatabase db;
    std::string conns = db.Dir() + "/dbconnections.ini", drivers = db.Dir() + "/dbdrivers.ini";
    auto notFound = [](const std::string& path) { return "Driver/Connection Registry File '" + path + "' not found"; };
    WriteConnectionFiles(db.Dir(), db.Path());
    {
        // A pipe or a device in place of either file: the file is not there to read.
        Fifo fifo(db.Dir() + "/pipe.ini");
        ASSERT_TRUE(fifo.Made());
        for (const std::string& odd : {fifo.Path(), std::string("/dev/null"), db.Dir()}) {
            pointRegistryAt(odd, drivers);
            auto c = windowConnection();
            EXPECT_EQ(connectError(*c), notFound(odd));
            pointRegistryAt(conns, odd);
            auto d = windowConnection();
            EXPECT_EQ(connectError(*d), notFound(odd));
        }
    }
    // A missing driver file still reads as one without the driver's section.
    pointRegistryAt(conns, db.Dir() + "/none.ini");
    auto missing = windowConnection();
    EXPECT_EQ(connectError(*missing), "SQLConnection1: DLL/Shared Library Name not Set");

    // Beyond 16 MB a settings file is refused, not read.
    std::string huge = db.Dir() + "/huge.ini";
    std::filesystem::copy_file(conns, huge);
    std::filesystem::resize_file(huge, 16 * 1024 * 1024 + 1);
    for (auto [c, d] : {std::pair{huge, drivers}, {conns, huge}}) {
        pointRegistryAt(c, d);
        auto big = windowConnection();
        EXPECT_EQ(connectError(*big), "Driver/Connection Registry File '" + huge + "' is larger than 16 MB");
    }
    std::filesystem::resize_file(huge, 16 * 1024 * 1024);
    pointRegistryAt(huge, drivers);
    auto limit = windowConnection();
    EXPECT_EQ(connectError(*limit), "(connected)");
}

TEST(SQLConnection, ConnectsWithTheRegistryFilesAndHandsTheParametersToTheDriver) {
    TestDatabase db;
    WriteConnectionFiles(db.Dir(), db.Path());
    int busy = 0, busyCalls = 0;
    TSQLConnection::Hourglass = [&](bool on) {
        busy += on ? 1 : -1;
        ++busyCalls;
    };
    auto c = windowConnection();
    c->Params().SetText("Stale=1");
    c->SetLibraryName("stale.so");
    EXPECT_EQ(c->ConnectionRegistryFile(), db.Dir() + "/dbconnections.ini");
    c->SetConnected(true);
    TSQLConnection::Hourglass = nullptr;
    ASSERT_TRUE(c->Connected());
    EXPECT_EQ(c->ConnectionState(), csStateOpen);
    EXPECT_EQ(busy, 0);
    EXPECT_GT(busyCalls, 0);
    // The files replaced the stored settings.
    EXPECT_EQ(c->Params().Count(), 14);
    EXPECT_EQ(c->Params().Values("stale"), "");
    EXPECT_EQ(c->LibraryName(), "libsqldrvfb.so");
    EXPECT_EQ(c->VendorLib(), "libfbclient.so.2");
    EXPECT_EQ(c->GetDriverFunc(), "getSQLDriverFIREBIRD");
    // What the stored list sends: role, wait on locks, no commit retain, isolation 0 for the
    // misspelt "ReadCommited", dialect 3, no trimming, no blob limit, and no character set.
    EXPECT_EQ(textOption(*c, SQL_CONN_ROLE_NAME), "RoleName");
    EXPECT_EQ(intOption(*c, SQL_CONN_WAIT_ON_LOCKS), 1);
    EXPECT_EQ(intOption(*c, SQL_CONN_COMMIT_RETAIN), 0);
    EXPECT_EQ(intOption(*c, SQL_CONN_TRANSACTION_ISOLATION), 0);
    EXPECT_EQ(intOption(*c, SQL_CONN_SQL_DIALECT), 3);
    EXPECT_EQ(intOption(*c, SQL_CONN_TRIM_CHAR), 0);
    EXPECT_EQ(intOption(*c, SQL_CONN_BLOB_SIZE), -1);
    EXPECT_EQ(textOption(*c, SQL_CONN_SERVER_CHARSET), "");
    EXPECT_EQ(c->MaxStmtsPerConn(), 0);
    EXPECT_EQ(c->QuoteChar(), '"');
    EXPECT_TRUE(c->TransactionsSupported());
    EXPECT_FALSE(c->MultipleTransactionsSupported());
    // Connecting again does nothing; disconnecting releases the driver's objects.
    ISQLConnection* driverConnection = c->DriverConnection();
    c->SetConnected(true);
    EXPECT_EQ(c->DriverConnection(), driverConnection);
    c->SetConnected(false);
    EXPECT_EQ(c->ConnectionState(), csStateClosed);
    EXPECT_EQ(c->DriverConnection(), nullptr);
    EXPECT_EQ(c->MetaData(), nullptr);
}

TEST(SQLConnection, ReadsSectionsAndNamesInAnyLetterCaseAndReReadsTheFileOnReconnect) {
    TestDatabase db;
    WriteConnectionFiles(db.Dir(), db.Path());
    std::string conns = db.Dir() + "/dbconnections.ini", drivers = db.Dir() + "/dbdrivers.ini";
    editFile(conns, "[Kestrin]", "[KESTRIN]");
    editFile(conns, "DriverName=Firebird", "drivername = Firebird");
    editFile(conns, "Database=" + db.Path(), "DATABASE=  " + db.Path() + "  ");
    editFile(conns, "User_Name=SYSDBA", "USER_NAME=SYSDBA");
    editFile(conns, "SQLDialect=3", "sqldialect=3");
    editFile(conns, "Firebird TransIsolation=ReadCommited", "FIREBIRD TRANSISOLATION=RepeatableRead");
    editFile(drivers, "[Firebird]", "[firebird]");
    editFile(drivers, "LibraryName=libsqldrvfb.so", "LIBRARYNAME=libsqldrvfb.so");
    editFile(drivers, "VendorLib=libfbclient.so.2", "vendorlib= libfbclient.so.2 ");
    auto c = windowConnection();
    c->SetConnected(true);
    ASSERT_TRUE(c->Connected());
    EXPECT_EQ(intOption(*c, SQL_CONN_TRANSACTION_ISOLATION), 1);
    EXPECT_EQ(c->TransIsolation(), xilRepeatableRead);
    c->SetConnected(false);

    // Every connect reads the file anew.
    editFile(conns, "RoleName=RoleName", "RoleName=Clerk");
    editFile(conns, "Trim Char=False", "Trim Char=true");
    c->SetConnected(true);
    EXPECT_EQ(c->Params().Values("RoleName"), "Clerk");
    EXPECT_EQ(textOption(*c, SQL_CONN_ROLE_NAME), "Clerk");
    EXPECT_EQ(intOption(*c, SQL_CONN_TRIM_CHAR), 1);
}

TEST(SQLConnection, MapsIsolationWordsAndBlobSizes) {
    TestDatabase db;
    struct Case {
        const char* isolation;
        int expected;
    } isolations[] = {{"repeatableread", 1}, {"REPEATABLEREAD", 1}, {"DirtyRead", 2}, {"ReadCommited", 0},
                      {"ReadCommitted", 0}, {"Snapshot", 0}};
    for (const Case& k : isolations) {
        WriteConnectionFiles(db.Dir(), db.Path());
        editFile(db.Dir() + "/dbconnections.ini", "Firebird TransIsolation=ReadCommited",
                 std::string("Firebird TransIsolation=") + k.isolation);
        auto c = windowConnection();
        c->SetConnected(true);
        EXPECT_EQ(intOption(*c, SQL_CONN_TRANSACTION_ISOLATION), k.expected) << k.isolation;
    }

    struct Blob {
        const char* line;
        int32_t expected;
    } blobs[] = {{"", -1}, {"BlobSize=", -1}, {"BlobSize= 64 ", 64}};
    for (const Blob& b : blobs) {
        WriteConnectionFiles(db.Dir(), db.Path());
        editFile(db.Dir() + "/dbconnections.ini", "BlobSize=-1", b.line);
        auto c = windowConnection();
        c->SetConnected(true);
        EXPECT_EQ(intOption(*c, SQL_CONN_BLOB_SIZE), b.expected) << b.line;
    }
    // A blob size that is no number fails after the server accepted the login; nothing stays open.
    WriteConnectionFiles(db.Dir(), db.Path());
    editFile(db.Dir() + "/dbconnections.ini", "BlobSize=-1", "BlobSize=lots");
    auto c = windowConnection();
    try {
        c->SetConnected(true);
        FAIL() << "connected";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'lots' is not a valid integer value");
    }
    EXPECT_EQ(c->ConnectionState(), csStateClosed);
    EXPECT_EQ(c->DriverConnection(), nullptr);
}

TEST(SQLConnection, ReportsMissingConfigurationWithTheSystemsMessages) {
    TestDatabase db;
    std::string conns = db.Dir() + "/dbconnections.ini", drivers = db.Dir() + "/dbdrivers.ini";
    {
        // The registry names a file that is not there: the message names that path.
        WriteConnectionFiles(db.Dir(), db.Path());
        TRegistry reg;
        reg.OpenKey("\\Software\\Kestrin\\DbDriver", true);
        reg.WriteString("Connection Registry File", db.Dir() + "/gone.ini");
        auto c = windowConnection();
        EXPECT_EQ(connectError(*c), "Driver/Connection Registry File '" + db.Dir() + "/gone.ini' not found");
        // Without the registry value the file beside the program is tried.
        reg.DeleteValue("Connection Registry File");
        // (scripts/demo.sh puts its settings there; then that file is found and there is nothing to check.)
        if (!FileExists(ExeDir() + "dbconnections.ini")) {
            auto beside = windowConnection();
            EXPECT_EQ(connectError(*beside),
                      "Driver/Connection Registry File '" + ExeDir() + "dbconnections.ini' not found");
        }
    }
    {
        WriteConnectionFiles(db.Dir(), db.Path());
        auto c = windowConnection();
        c->SetConnectionName("");
        EXPECT_EQ(connectError(*c), "Connection name missing");
    }
    {
        // No section of that name: an empty parameter list and no driver name.
        WriteConnectionFiles(db.Dir(), db.Path());
        editFile(conns, "[Kestrin]", "[Other]");
        auto c = windowConnection();
        c->Params().SetText("Database=x");
        EXPECT_EQ(connectError(*c), "Missing DriverName property");
        EXPECT_EQ(c->Params().Count(), 0);
        EXPECT_EQ(c->DriverName(), "");
    }
    {
        WriteConnectionFiles(db.Dir(), db.Path());
        editFile(drivers, "[Firebird]", "[OtherDriver]");
        auto c = windowConnection();
        EXPECT_EQ(connectError(*c), "SQLConnection1: DLL/Shared Library Name not Set");
        std::remove(drivers.c_str());
        auto noFile = windowConnection();
        EXPECT_EQ(connectError(*noFile), "SQLConnection1: DLL/Shared Library Name not Set");
    }
    {
        WriteConnectionFiles(db.Dir(), db.Path());
        editFile(drivers, "VendorLib=libfbclient.so.2", "VendorLib=  ");
        auto c = windowConnection();
        EXPECT_EQ(connectError(*c), "SQLConnection1: DLL/Shared Library Name not Set");
        EXPECT_EQ(c->LibraryName(), "libsqldrvfb.so");  // what was loaded stays
    }
    {
        WriteConnectionFiles(db.Dir(), db.Path());
        editFile(conns, "Database=" + db.Path(), "Database=");
        auto c = windowConnection();
        EXPECT_EQ(connectError(*c), "Missing Database property");
    }
}

TEST(SQLConnection, ChecksTheLibraryNamesAlsoWhenParametersAreNotLoaded) {
    TestDatabase db;
    WriteConnectionFiles(db.Dir(), db.Path());
    // The stored settings alone: a missing library name is named as such, not as a failed load.
    auto stored = [&] {
        auto c = windowConnection();
        c->SetLoadParamsOnConnect(false);
        c->Params().SetText("Database=" + db.Path() + "\nUser_Name=SYSDBA\nPassword=x");
        c->SetLibraryName("libsqldrvfb.so");
        c->SetVendorLib("libfbclient.so.2");
        c->SetGetDriverFunc("getSQLDriverFIREBIRD");
        return c;
    };
    auto noLibrary = stored();
    noLibrary->SetLibraryName("");
    EXPECT_EQ(connectError(*noLibrary), "SQLConnection1: DLL/Shared Library Name not Set");
    auto noVendor = stored();
    noVendor->SetVendorLib("  ");
    EXPECT_EQ(connectError(*noVendor), "SQLConnection1: DLL/Shared Library Name not Set");
    auto both = stored();
    EXPECT_EQ(connectError(*both), "(connected)");
}

TEST(SQLConnection, ReportsLibrariesAndEntriesThatCannotBeFound) {
    TestDatabase db;
    std::string drivers = db.Dir() + "/dbdrivers.ini";
    struct Case {
        const char* from;
        const char* to;
        const char* message;
    } cases[] = {
        {"LibraryName=libsqldrvfb.so", "LibraryName=libno-such-driver.so", "Unable to Load libno-such-driver.so"},
        {"GetDriverFunc=getSQLDriverFIREBIRD", "GetDriverFunc=getSQLDriverNONE", "Unable to Find Procedure getSQLDriverNONE"},
        {"GetDriverFunc=getSQLDriverFIREBIRD", "GetDriverFunc=", "Unable to Find Procedure "},
        {"VendorLib=libfbclient.so.2", "VendorLib=libno-such-client.so", "Unable to Load libno-such-client.so"},
    };
    for (const Case& k : cases) {
        WriteConnectionFiles(db.Dir(), db.Path());
        editFile(drivers, k.from, k.to);
        auto c = windowConnection();
        EXPECT_EQ(connectError(*c), k.message);
    }
    // A database file that is not there: the driver's code and Firebird's own explanation.
    WriteConnectionFiles(db.Dir(), db.Dir() + "/missing.fdb");
    auto c = windowConnection();
    std::string message = connectError(*c);
    EXPECT_EQ(message.rfind("Driver Error: [0x0015]: Connection failed\r\nSQL Server Error: ", 0), 0u) << message;
    EXPECT_NE(message.find("missing.fdb"), std::string::npos) << message;
    EXPECT_EQ(c->LastError(), message);
    EXPECT_EQ(c->Params().Values("Database"), db.Dir() + "/missing.fdb");
    // The next attempt reads the corrected file; the library, once loaded, serves it.
    WriteConnectionFiles(db.Dir(), db.Path());
    c->SetConnected(true);
    EXPECT_TRUE(c->Connected());
}

TEST(SQLConnection, ComposesDriverErrorsFromLibraryAndServerParts) {
    EXPECT_EQ(ComposeDriverError(SQL_PARAMETER_NOT_SET, "", ""), "Driver Error: Driver Error [0x000B]: Parameter Not Set");
    EXPECT_EQ(ComposeDriverError(SQL_NO_MORE_DATA, "", ""), "Driver Error: [0x0064]: No more data");
    EXPECT_EQ(ComposeDriverError(SQL_CONNECTION_FAILED, "refused", "old"),
              "Driver Error: [0x0015]: Connection failed\r\nSQL Server Error: refused");
    EXPECT_EQ(ComposeDriverError(300, "refused", "old"), "SQL Server Error: refused");
    EXPECT_EQ(ComposeDriverError(30, "", "old"), "old");
    EXPECT_EQ(ComposeDriverError(30, "", ""), "Driver Error: Unknown Error Code '30'");

    // A statement error through Check: the command's own text is the server part.
    TestDatabase db;
    WriteConnectionFiles(db.Dir(), db.Path());
    auto c = windowConnection();
    c->SetConnected(true);
    ISQLCommand* cmd = nullptr;
    c->Check(c->DriverConnection()->getSQLCommand(&cmd), c->DriverConnection());
    try {
        c->Check(cmd->prepare("SELECT NOPE FROM CUSTOMER", 0), cmd);
        FAIL() << "prepared";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message().rfind("Driver Error: [0x0065]: SQL Error\r\nSQL Server Error: Dynamic SQL Error", 0), 0u)
            << e.Message();
        EXPECT_NE(e.Message().find("NOPE"), std::string::npos);
        EXPECT_EQ(c->LastError(), e.Message());
    }
    cmd->release();
}

TEST(SQLConnection, AppliesAStoredConnectedWhenLoadedAndServesItsStatementDatasets) {
    TestDatabase db;
    WriteConnectionFiles(db.Dir(), db.Path());
    TComponent form(nullptr);
    auto* c = new TSQLConnection(&form);
    c->SetLoading(true);
    c->SetName("SQLConnection1");
    EXPECT_TRUE(c->SetProperty("ConnectionName", PropValue(AnsiString("Kestrin"))));
    EXPECT_TRUE(c->SetProperty("LoadParamsOnConnect", PropValue(true)));
    EXPECT_TRUE(c->SetProperty("LoginPrompt", PropValue(false)));
    EXPECT_TRUE(c->SetProperty("Connected", PropValue(true)));
    EXPECT_FALSE(c->Connected());  // only remembered while loading
    EXPECT_EQ(std::get<bool>(c->GetProperty("KeepConnection")), true);
    Client active, idle;
    c->RegisterClient(&active);
    c->RegisterClient(&idle);
    c->Loaded();
    ASSERT_TRUE(c->Connected());
    EXPECT_EQ(active.events, "connected;");

    // The clone carries the settings and connects as its parent is.
    std::unique_ptr<TSQLConnection> clone = c->CloneConnection();
    EXPECT_EQ(clone->Name(), "SQLConnection1Clone1");
    EXPECT_TRUE(clone->Connected());
    EXPECT_FALSE(clone->LoadParamsOnConnect());
    EXPECT_EQ(clone->Params().Count(), 14);
    clone.reset();

    // Keeping the connection: with KeepConnection off it goes once no dataset is active and no
    // transaction is open.
    active.active = true;
    c->SetKeepConnection(false);
    c->DisconnectIfUnused();
    EXPECT_TRUE(c->Connected());
    active.active = false;
    c->StartTransaction(1, xilReadCommitted);
    c->DisconnectIfUnused();
    EXPECT_TRUE(c->Connected());
    c->Commit(1);
    EXPECT_FALSE(c->InTransaction());
    active.active = true;
    active.events.clear();
    c->SetConnected(false);
    EXPECT_EQ(active.events, "disconnecting;close;");
    EXPECT_FALSE(active.active);
    c->SetConnected(true);
    c->DisconnectIfUnused();
    EXPECT_FALSE(c->Connected());
    c->UnregisterClient(&active);
    c->UnregisterClient(&idle);
}

TEST(SQLConnection, WrongPasswordAtTheServerGivesTheDriverCodeAndTheServersText) {
    if (!ServerAvailable())
        GTEST_SKIP() << "no Firebird server (MORVANE_FB_PASSWORD unset)";
    TestDatabase db;
    WriteConnectionFiles(db.Dir(), db.ServerPath(), ServerPassword() + "-wrong");
    auto c = windowConnection();
    EXPECT_EQ(connectError(*c),
              "Driver Error: [0x0015]: Connection failed\r\nSQL Server Error: Your user name and password are not "
              "defined. Ask your database administrator to set up a Firebird login.");
    WriteConnectionFiles(db.Dir(), db.ServerPath(), ServerPassword());
    c->SetConnected(true);
    EXPECT_TRUE(c->Connected());
}
