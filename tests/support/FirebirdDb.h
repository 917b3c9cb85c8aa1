#pragma once
// Real Firebird databases for tests: each TestDatabase is a fresh file in a temporary folder,
// created with isql-fb in embedded mode and filled from SQL. Text in the SQL is written in UTF-8
// and reaches the database as bytes of the process code page (Big5), as the shop's data does.
#include <string>

class TestDatabase {
public:
    // Creates the database and runs `sql` (statements separated by ";", COMMIT added at the end).
    // withSchema: run db/schema.sql first.
    explicit TestDatabase(const std::string& sql = "", bool withSchema = true);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    const std::string& Path() const { return path_; }
    const std::string& Dir() const { return dir_; }
    // "127.0.0.1:/path" for the server that scripts/test.sh starts.
    std::string ServerPath() const { return "127.0.0.1:" + path_; }
    // Runs more SQL against the database (embedded); throws std::runtime_error with isql's output.
    void Run(const std::string& sql) const;
    // The same as another attachment through the server, while the server may hold the database.
    void RunAtServer(const std::string& sql) const;

private:
    std::string dir_;
    std::string path_;
};

// The source tree's db/ folder, and the text of a file there.
std::string DbDir();
std::string ReadDbFile(const std::string& name);

// Writes dbconnections.ini (section "Kestrin") and dbdrivers.ini (section "Firebird") into `dir`,
// and points the registry values "Connection Registry File" and "Driver Registry File" at them.
// `extraParams` are further "name=value" lines of the connection section, one per line.
void WriteConnectionFiles(const std::string& dir, const std::string& database, const std::string& password = "x",
                          const std::string& extraParams = "");

// The Firebird server of the test script: true when it runs; its SYSDBA password.
bool ServerAvailable();
std::string ServerPassword();

// A new empty temporary folder.
std::string MakeTempDir();
