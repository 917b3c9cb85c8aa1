#include "support/FirebirdDb.h"

#include "core/AnsiString.h"
#include "core/Registry.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

std::string MakeTempDir() {
    std::string tmpl = (fs::temp_directory_path() / "morvane-db-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("cannot create a temporary folder");
    // The server runs as its own user and must reach files made here.
    fs::permissions(tmpl, fs::perms::all);
    return tmpl;
}

std::string DbDir() {
    // The project's db/ as the build knows it; the variable points elsewhere.
    const char* dir = std::getenv("MORVANE_TEST_SQL_DIR");
    return dir && *dir ? dir : MORVANE_SOURCE_DB_DIR;
}

std::string ReadDbFile(const std::string& name) {
    std::string path = DbDir() + "/" + name;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

namespace {
// Ends the last statement of a script that leaves its ";" off.
std::string terminated(const std::string& sql) {
    size_t end = sql.find_last_not_of(" \t\r\n");
    if (end == std::string::npos)
        return "";
    return sql.substr(0, end + 1) + (sql[end] == ';' ? "\n" : ";\n");
}

void runIsql(const std::string& dir, const std::string& script, const std::string& database,
             const std::string& password = "x") {
    std::string scriptPath = dir + "/script.sql", outPath = dir + "/isql.out";
    std::ofstream(scriptPath, std::ios::binary) << codepage::FromUtf8(script);
    std::string cmd = "isql-fb -q -b -user SYSDBA -password '" + password + "' ";
    if (!database.empty())
        cmd += "'" + database + "' ";
    cmd += "-i '" + scriptPath + "' > '" + outPath + "' 2>&1";
    int rc = std::system(cmd.c_str());
    if (rc != 0) {
        std::ifstream in(outPath);
        std::stringstream s;
        s << in.rdbuf();
        throw std::runtime_error("isql-fb failed: " + s.str());
    }
}
} // namespace

TestDatabase::TestDatabase(const std::string& sql, bool withSchema) : dir_(MakeTempDir()) {
    path_ = dir_ + "/test.fdb";
    std::string script = "CREATE DATABASE '" + path_ + "' USER 'SYSDBA' PASSWORD 'x' DEFAULT CHARACTER SET NONE;\n";
    if (withSchema)
        script += ReadDbFile("schema.sql") + "\n";
    script += terminated(sql) + "COMMIT;\n";
    runIsql(dir_, script, "");
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                               fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
}

TestDatabase::~TestDatabase() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

void TestDatabase::Run(const std::string& sql) const { runIsql(dir_, terminated(sql) + "COMMIT;\n", path_); }

void TestDatabase::RunAtServer(const std::string& sql) const {
    runIsql(dir_, terminated(sql) + "COMMIT;\n", ServerPath(), ServerPassword());
}

void WriteConnectionFiles(const std::string& dir, const std::string& database, const std::string& password,
                          const std::string& extraParams) {
    std::ofstream(dir + "/dbconnections.ini")
        << "[Kestrin]\nDriverName=Firebird\nDatabase=" << database
        << "\nRoleName=RoleName\nUser_Name=SYSDBA\nPassword=" << password
        << "\nServerCharSet=\nSQLDialect=3\nBlobSize=-1\nCommitRetain=False\nWaitOnLocks=True\n"
           "ErrorResourceFile=\nLocaleCode=0000\nFirebird TransIsolation=ReadCommited\nTrim Char=False\n"
        << extraParams;
    std::ofstream(dir + "/dbdrivers.ini") << "[Firebird]\nLibraryName=libsqldrvfb.so\nVendorLib=libfbclient.so.2\n"
                                             "GetDriverFunc=getSQLDriverFIREBIRD\n";
    TRegistry reg;
    reg.OpenKey("\\Software\\Kestrin\\DbDriver", true);
    reg.WriteString("Connection Registry File", dir + "/dbconnections.ini");
    reg.WriteString("Driver Registry File", dir + "/dbdrivers.ini");
}

bool ServerAvailable() { return std::getenv("MORVANE_FB_PASSWORD") != nullptr; }

std::string ServerPassword() {
    const char* p = std::getenv("MORVANE_FB_PASSWORD");
    return p ? p : "";
}
