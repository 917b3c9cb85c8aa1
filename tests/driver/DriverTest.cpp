// The Firebird driver library through its published interfaces, against real databases.
#include "core/AnsiString.h"
#include "core/Library.h"
#include "interfaces/SQLDriver.h"
#include "interfaces/SQLPtr.h"
#include "support/FirebirdDb.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

GetDriverFunc driverEntry() {
    static ModuleHandle module = LoadModule("libsqldrvfb.so");
    return module ? reinterpret_cast<GetDriverFunc>(FindEntry(module, "getSQLDriverFIREBIRD")) : nullptr;
}

template <class I> std::string errorText(I* object) {
    uint16_t len = 0;
    if (!object || object->getErrorMessageLen(&len) != SQL_SUCCESS)
        return "";
    std::string text(len + 1u, '\0');
    object->getErrorMessage(text.data());
    text.resize(len);
    return text;
}

// A driver connection to a test database, released at the end.
struct Attached {
    ISQLDriver* driver = nullptr;
    ISQLConnection* conn = nullptr;
    SQLResult result = SQL_SUCCESS;

    explicit Attached(const std::string& database, const char* password = "x",
                      const std::vector<std::pair<int32_t, intptr_t>>& options = {}) {
        GetDriverFunc entry = driverEntry();
        EXPECT_NE(entry, nullptr);
        EXPECT_EQ(entry("libfbclient.so.2", "", &driver), SQL_SUCCESS);
        EXPECT_EQ(driver->getSQLConnection(&conn), SQL_SUCCESS);
        for (auto [option, value] : options)
            conn->setOption(option, value);
        result = conn->connect(database.c_str(), "SYSDBA", password);
    }
    ~Attached() {
        if (conn) {
            conn->disconnect();
            conn->release();
        }
        if (driver)
            driver->release();
    }

    // Runs a statement; returns its cursor (or null) and the command in `cmd`.
    ISQLCursor* run(const std::string& sql, ISQLCommand*& cmd, int32_t rowsPerFetch = 20) {
        EXPECT_EQ(conn->getSQLCommand(&cmd), SQL_SUCCESS);
        cmd->setOption(SQL_CMD_ROWS_PER_FETCH, rowsPerFetch);
        EXPECT_EQ(cmd->prepare(sql.c_str(), 0), SQL_SUCCESS) << errorText(cmd);
        ISQLCursor* cursor = nullptr;
        EXPECT_EQ(cmd->execute(&cursor), SQL_SUCCESS) << errorText(cmd);
        return cursor;
    }
};

std::string text(ISQLCursor* cursor, uint16_t column, bool* isNull = nullptr) {
    uint32_t length = 0;
    cursor->getColumnLength(column, &length);
    std::string buffer(length + 1u, 'X');
    bool null = false;
    EXPECT_EQ(cursor->getString(column, buffer.data(), &null), SQL_SUCCESS);
    if (isNull)
        *isNull = null;
    return buffer.c_str();
}

} // namespace

TEST(FirebirdDriver, DescribesColumnsAndReadsTypedValuesWithNulls) {
    TestDatabase db(
        "CREATE TABLE T (C CHAR(5), V VARCHAR(10) NOT NULL, S SMALLINT, I INTEGER, B BIGINT, D DOUBLE PRECISION, "
        "F FLOAT, N NUMERIC(15,2), N2 NUMERIC(4,1), DT DATE, TM TIME, TS TIMESTAMP, M BLOB SUB_TYPE 1, "
        "BN BLOB SUB_TYPE 0, BL BOOLEAN);"
        "INSERT INTO T VALUES ('ab', 'xyz', -7, 123456, 9000000000, 2.5, 0.5, 1234.56, -12.3, '2006-07-24', "
        "'13:45:06.1234', '1858-11-17 23:59:59', 'memo text', 'bin', TRUE);"
        "INSERT INTO T (V) VALUES ('');",
        false);
    Attached a(db.Path());
    ASSERT_EQ(a.result, SQL_SUCCESS) << errorText(a.conn);
    ISQLCommand* cmd = nullptr;
    ISQLCursor* cur = a.run("SELECT T.*, 'N' AS SELECT_YN FROM T ORDER BY S NULLS LAST", cmd);
    ASSERT_NE(cur, nullptr);

    uint16_t count = 0;
    cur->getColumnCount(&count);
    ASSERT_EQ(count, 16);
    struct Expect {
        const char* name;
        uint16_t type, subType;
        uint32_t length;
        int16_t scale;
        bool nullable;
    } expected[] = {
        {"C", SQL_COL_TEXT, SQL_SUBTYPE_FIXEDCHAR, 5, 0, true},
        {"V", SQL_COL_TEXT, SQL_SUBTYPE_NONE, 10, 0, false},
        {"S", SQL_COL_INT16, 0, 2, 0, true},
        {"I", SQL_COL_INT32, 0, 4, 0, true},
        {"B", SQL_COL_INT64, 0, 8, 0, true},
        {"D", SQL_COL_FLOAT, 0, 8, 0, true},
        {"F", SQL_COL_FLOAT, 0, 8, 0, true},
        {"N", SQL_COL_BCD, 0, 18, 2, true},
        {"N2", SQL_COL_BCD, 0, 4, 1, true},
        {"DT", SQL_COL_DATE, 0, sizeof(SQLDate), 0, true},
        {"TM", SQL_COL_TIME, 0, sizeof(SQLTime), 0, true},
        {"TS", SQL_COL_TIMESTAMP, 0, sizeof(SQLTimeStamp), 0, true},
        {"M", SQL_COL_BLOB, SQL_SUBTYPE_MEMO, 0, 0, true},
        {"BN", SQL_COL_BLOB, SQL_SUBTYPE_BINARY, 0, 0, true},
        {"BL", SQL_COL_BOOL, 0, 2, 0, true},
        {"SELECT_YN", SQL_COL_TEXT, SQL_SUBTYPE_FIXEDCHAR, 1, 0, false},
    };
    for (uint16_t i = 1; i <= count; ++i) {
        const Expect& e = expected[i - 1];
        uint16_t nameLen = 0, type = 0, sub = 0;
        cur->getColumnNameLength(i, &nameLen);
        std::string name(nameLen + 1u, '\0');
        cur->getColumnName(i, name.data());
        EXPECT_STREQ(name.c_str(), e.name);
        cur->getColumnType(i, &type, &sub);
        EXPECT_EQ(type, e.type) << e.name;
        EXPECT_EQ(sub, e.subType) << e.name;
        uint32_t length = 0;
        int16_t scale = -1;
        bool nullable = false, readOnly = true;
        cur->getColumnLength(i, &length);
        cur->getColumnScale(i, &scale);
        cur->isNullable(i, &nullable);
        cur->isReadOnly(i, &readOnly);
        EXPECT_EQ(length, e.length) << e.name;
        EXPECT_EQ(scale, e.scale) << e.name;
        EXPECT_EQ(nullable, e.nullable) << e.name;
        EXPECT_EQ(readOnly, i == 16) << e.name;  // only the expression cannot be written back
    }
    uint16_t type = 0, sub = 0;
    EXPECT_EQ(cur->getColumnType(17, &type, &sub), SQL_OUT_OF_RANGE);

    ASSERT_EQ(cur->next(), SQL_SUCCESS);
    bool isNull = true;
    EXPECT_EQ(text(cur, 1, &isNull), "ab   ");  // CHAR is fixed text
    EXPECT_FALSE(isNull);
    EXPECT_EQ(text(cur, 2), "xyz");
    int16_t s = 0;
    int32_t l = 0;
    int64_t b = 0;
    double d = 0;
    SQLBcd bcd{};
    EXPECT_EQ(cur->getShort(3, &s, &isNull), SQL_SUCCESS);
    EXPECT_EQ(s, -7);
    EXPECT_EQ(cur->getLong(4, &l, &isNull), SQL_SUCCESS);
    EXPECT_EQ(l, 123456);
    EXPECT_EQ(cur->getInt64(5, &b, &isNull), SQL_SUCCESS);
    EXPECT_EQ(b, 9000000000);
    EXPECT_EQ(cur->getDouble(6, &d, &isNull), SQL_SUCCESS);
    EXPECT_EQ(d, 2.5);
    EXPECT_EQ(cur->getDouble(7, &d, &isNull), SQL_SUCCESS);
    EXPECT_EQ(d, 0.5);
    EXPECT_EQ(cur->getBcd(8, &bcd, &isNull), SQL_SUCCESS);
    EXPECT_EQ(bcd.value, 123456);
    EXPECT_EQ(bcd.scale, 2);
    EXPECT_EQ(cur->getDouble(9, &d, &isNull), SQL_SUCCESS);
    EXPECT_DOUBLE_EQ(d, -12.3);
    SQLDate date{};
    SQLTime time{};
    SQLTimeStamp ts{};
    EXPECT_EQ(cur->getDate(10, &date, &isNull), SQL_SUCCESS);
    EXPECT_EQ(date.year, 2006);
    EXPECT_EQ(date.month, 7);
    EXPECT_EQ(date.day, 24);
    EXPECT_EQ(cur->getTime(11, &time, &isNull), SQL_SUCCESS);
    EXPECT_EQ(time.hour, 13);
    EXPECT_EQ(time.minute, 45);
    EXPECT_EQ(time.second, 6);
    EXPECT_EQ(time.fraction, 1234u);
    EXPECT_EQ(cur->getTimeStamp(12, &ts, &isNull), SQL_SUCCESS);
    EXPECT_EQ(ts.year, 1858);
    EXPECT_EQ(ts.month, 11);
    EXPECT_EQ(ts.day, 17);
    EXPECT_EQ(ts.hour, 23);
    EXPECT_EQ(ts.second, 59);
    uint32_t size = 0;
    EXPECT_EQ(cur->getBlobSize(13, &size, &isNull), SQL_SUCCESS);
    ASSERT_EQ(size, 9u);
    std::string memo(size, '\0');
    EXPECT_EQ(cur->getBlob(13, memo.data(), &isNull, size), SQL_SUCCESS);
    EXPECT_EQ(memo, "memo text");
    char part[4] = {};
    EXPECT_EQ(cur->getBlob(14, part, &isNull, 2), SQL_SUCCESS);  // a short buffer takes the beginning
    EXPECT_EQ(std::string(part), "bi");
    EXPECT_EQ(cur->getShort(15, &s, &isNull), SQL_SUCCESS);
    EXPECT_EQ(s, 1);
    // A getter of the wrong kind refuses instead of reinterpreting bytes.
    EXPECT_EQ(cur->getLong(2, &l, &isNull), SQL_INVALID_FIELD_TYPE);
    EXPECT_EQ(cur->getLong(8, &l, &isNull), SQL_INVALID_FIELD_TYPE);

    // The second row: everything but V is null, and V is an empty text.
    ASSERT_EQ(cur->next(), SQL_SUCCESS);
    EXPECT_EQ(text(cur, 1, &isNull), "");
    EXPECT_TRUE(isNull);
    EXPECT_EQ(text(cur, 2, &isNull), "");
    EXPECT_FALSE(isNull);
    for (uint16_t c : {3, 4, 5, 6, 8, 10, 11, 12, 13, 15}) {
        isNull = false;
        switch (c) {
        case 3: case 15: cur->getShort(c, &s, &isNull); break;
        case 4: cur->getLong(c, &l, &isNull); break;
        case 5: cur->getInt64(c, &b, &isNull); break;
        case 6: cur->getDouble(c, &d, &isNull); break;
        case 8: cur->getBcd(c, &bcd, &isNull); break;
        case 10: cur->getDate(c, &date, &isNull); break;
        case 11: cur->getTime(c, &time, &isNull); break;
        case 12: cur->getTimeStamp(c, &ts, &isNull); break;
        case 13: cur->getBlobSize(c, &size, &isNull); break;
        }
        EXPECT_TRUE(isNull) << "column " << c;
    }
    EXPECT_EQ(cur->next(), SQL_EOF);
    EXPECT_EQ(cur->next(), SQL_EOF);
    cur->release();
    cmd->release();
}

TEST(FirebirdDriver, PassesBig5BytesUnchangedAndTrimsCharOnlyWhenAsked) {
    TestDatabase db("INSERT INTO CUSTOMER VALUES ('C001', '王小明股份有限公司', '批發');"
                    "CREATE TABLE F (C CHAR(6));"
                    "INSERT INTO F VALUES ('許');");
    AnsiString name = Ansi("王小明股份有限公司");
    ASSERT_EQ(name.size(), 18u);  // Big5: two bytes a character
    {
        Attached a(db.Path());
        ASSERT_EQ(a.result, SQL_SUCCESS) << errorText(a.conn);
        ISQLCommand* cmd = nullptr;
        ISQLCursor* cur = a.run("SELECT CUST_NAME, CUST_CLASSID FROM CUSTOMER", cmd);
        ASSERT_EQ(cur->next(), SQL_SUCCESS);
        EXPECT_EQ(text(cur, 1), name);
        EXPECT_EQ(text(cur, 2), Ansi("批發"));
        cur->release();
        cmd->release();
        cur = a.run("SELECT C FROM F", cmd);
        ASSERT_EQ(cur->next(), SQL_SUCCESS);
        EXPECT_EQ(text(cur, 1), Ansi("許") + "    ");
        cur->release();
        cmd->release();
    }
    Attached trimmed(db.Path(), "x", {{SQL_CONN_TRIM_CHAR, 1}});
    ISQLCommand* cmd = nullptr;
    ISQLCursor* cur = trimmed.run("SELECT C FROM F", cmd);
    ASSERT_EQ(cur->next(), SQL_SUCCESS);
    EXPECT_EQ(text(cur, 1), Ansi("許"));
    cur->release();
    cmd->release();
}

TEST(FirebirdDriver, FetchesEveryRowAcrossBatchBoundaries) {
    std::string sql = "CREATE TABLE N (I INTEGER);";
    for (int i = 1; i <= 50; ++i)
        sql += "INSERT INTO N VALUES (" + std::to_string(i) + ");";
    TestDatabase db(sql, false);
    Attached a(db.Path());
    ASSERT_EQ(a.result, SQL_SUCCESS) << errorText(a.conn);
    // Batches smaller than, equal to, dividing and larger than the result; a result ending exactly
    // at a batch's end; and an empty result.
    struct Case {
        const char* where;
        int32_t rowsPerFetch;
        int expected;
    } cases[] = {{"", 1, 50}, {"", 7, 50}, {"", 10, 50}, {"", 50, 50}, {"", 500, 50},
                 {"WHERE I <= 20", 10, 20}, {"WHERE I > 100", 3, 0}};
    for (const Case& c : cases) {
        ISQLCommand* cmd = nullptr;
        ISQLCursor* cur = a.run(std::string("SELECT I FROM N ") + c.where + " ORDER BY I", cmd, c.rowsPerFetch);
        ASSERT_NE(cur, nullptr);
        int rows = 0;
        SQLResult r;
        while ((r = cur->next()) == SQL_SUCCESS) {
            int32_t v = 0;
            bool isNull = true;
            cur->getLong(1, &v, &isNull);
            EXPECT_EQ(v, ++rows);
        }
        EXPECT_EQ(r, SQL_EOF);
        EXPECT_EQ(rows, c.expected) << c.where << " / " << c.rowsPerFetch;
        cur->release();
        // The command runs again once its cursor is given back.
        cur = nullptr;
        EXPECT_EQ(cmd->execute(&cur), SQL_SUCCESS);
        EXPECT_EQ(cur->next(), c.expected ? SQL_SUCCESS : SQL_EOF);
        cur->release();
        cmd->release();
    }
}

TEST(FirebirdDriver, ReportsFirebirdsOwnTextsForFailures) {
    TestDatabase db;
    // A database file that is not there: connection failed, with the server's explanation.
    {
        Attached missing(db.Dir() + "/missing.fdb");
        EXPECT_EQ(missing.result, SQL_CONNECTION_FAILED);
        EXPECT_NE(errorText(missing.conn).find("missing.fdb"), std::string::npos) << errorText(missing.conn);
    }
    Attached a(db.Path());
    ASSERT_EQ(a.result, SQL_SUCCESS) << errorText(a.conn);
    ISQLCommand* cmd = nullptr;
    ASSERT_EQ(a.conn->getSQLCommand(&cmd), SQL_SUCCESS);
    EXPECT_EQ(cmd->prepare("SELECT * FROM NO_SUCH_TABLE", 0), SQL_SERVER_ERROR);
    std::string message = errorText(cmd);
    EXPECT_NE(message.find("Table unknown"), std::string::npos) << message;
    EXPECT_NE(message.find("NO_SUCH_TABLE"), std::string::npos) << message;
    // A failure without server text does not repeat the previous one.
    ISQLCursor* cur = nullptr;
    EXPECT_EQ(cmd->execute(&cur), SQL_INVALID_HANDLE);
    EXPECT_EQ(errorText(cmd), "");
    // An error found while fetching comes from the cursor.
    ASSERT_EQ(cmd->prepare("SELECT 1 / (2 - RDB$RELATION_ID) FROM RDB$RELATIONS ORDER BY RDB$RELATION_ID", 0),
              SQL_SUCCESS);
    ASSERT_EQ(cmd->execute(&cur), SQL_SUCCESS);
    SQLResult r;
    while ((r = cur->next()) == SQL_SUCCESS) {
    }
    EXPECT_EQ(r, SQL_SERVER_ERROR);
    EXPECT_NE(errorText(cur).find("divide by zero"), std::string::npos) << errorText(cur);
    cur->release();
    cmd->release();
    // A client library that does not exist or is not Firebird's.
    ISQLDriver* driver = reinterpret_cast<ISQLDriver*>(1);
    EXPECT_NE(driverEntry()("libno-such-client.so", "", &driver), SQL_SUCCESS);
    EXPECT_EQ(driver, nullptr);
    EXPECT_NE(driverEntry()("libc.so.6", "", &driver), SQL_SUCCESS);
}

TEST(FirebirdDriver, NeverChangesDataInAnyTransaction) {
    // The tool only reads: every transaction the driver starts is read-only, so even a statement
    // that would change data is refused by the server, inside an explicit transaction or not.
    TestDatabase db("INSERT INTO CUSTOMER VALUES ('C1', 'a', 'x');"
                    "INSERT INTO CUSTOMER VALUES ('C2', 'b', 'x');");
    auto count = [&](Attached& a, const char* where) {
        ISQLCommand* cmd = nullptr;
        ISQLCursor* cur = a.run(std::string("SELECT COUNT(*) FROM CUSTOMER ") + where, cmd);
        int64_t n = -1;  // COUNT is a BIGINT
        bool isNull;
        cur->next();
        cur->getInt64(1, &n, &isNull);
        cur->release();
        cmd->release();
        return n;
    };
    Attached a(db.Path());
    ASSERT_EQ(a.result, SQL_SUCCESS);
    ISQLCommand* cmd = nullptr;
    ASSERT_EQ(a.conn->getSQLCommand(&cmd), SQL_SUCCESS);
    // A query says it gives a cursor before it runs; a change does not.
    int32_t returnsCursor = -1, length = 0;
    ASSERT_EQ(cmd->prepare("SELECT CUST_ID FROM CUSTOMER", 0), SQL_SUCCESS);
    EXPECT_EQ(cmd->getOption(SQL_CMD_RETURNS_CURSOR, &returnsCursor, 4, &length), SQL_SUCCESS);
    EXPECT_EQ(returnsCursor, 1);
    ASSERT_EQ(cmd->prepare("UPDATE CUSTOMER SET CUST_CLASSID = ? WHERE CUST_CLASSID = ?", 2), SQL_SUCCESS);
    EXPECT_EQ(cmd->getOption(SQL_CMD_RETURNS_CURSOR, &returnsCursor, 4, &length), SQL_SUCCESS);
    EXPECT_EQ(returnsCursor, 0);
    ISQLCursor* cur = reinterpret_cast<ISQLCursor*>(1);
    EXPECT_EQ(cmd->execute(&cur), SQL_PARAMETER_NOT_SET);
    cmd->setParameter(1, SQL_PARAM_IN, SQL_COL_TEXT, "y", 1, false);
    cmd->setParameter(2, SQL_PARAM_IN, SQL_COL_TEXT, "x", 1, false);
    EXPECT_EQ(cmd->execute(&cur), SQL_SERVER_ERROR);
    EXPECT_NE(errorText(cmd).find("read-only transaction"), std::string::npos) << errorText(cmd);
    uint32_t rows = 99;
    EXPECT_EQ(cmd->getRowsAffected(&rows), SQL_SUCCESS);
    EXPECT_EQ(rows, 0u);
    {
        Attached other(db.Path());
        EXPECT_EQ(count(other, "WHERE CUST_CLASSID = 'x'"), 2);
    }
    // An explicit transaction is read-only too; a second one cannot start meanwhile; the ids count.
    ASSERT_EQ(a.conn->beginTransaction(1, SQL_ISOLATION_REPEATABLE_READ), SQL_SUCCESS);
    EXPECT_EQ(a.conn->beginTransaction(2, SQL_ISOLATION_READ_COMMITTED), SQL_TRANSACTION_ACTIVE);
    ASSERT_EQ(cmd->prepare("DELETE FROM CUSTOMER", 0), SQL_SUCCESS);
    EXPECT_EQ(cmd->execute(&cur), SQL_SERVER_ERROR);
    EXPECT_EQ(count(a, ""), 2);
    EXPECT_EQ(a.conn->commit(2), SQL_INVALID_TRANSACTION_ID);
    EXPECT_EQ(a.conn->commit(1), SQL_SUCCESS);
    EXPECT_EQ(count(a, ""), 2);
    cmd->release();
}

TEST(FirebirdDriver, ListsTablesAndColumns) {
    TestDatabase db;
    Attached a(db.Path());
    ASSERT_EQ(a.result, SQL_SUCCESS);
    ISQLMetaData* meta = nullptr;
    ASSERT_EQ(a.conn->getSQLMetaData(&meta), SQL_SUCCESS);
    ISQLCursor* cur = nullptr;
    ASSERT_EQ(meta->getTables("SAL%", SQL_TABLE_TYPE_TABLE, &cur), SQL_SUCCESS) << errorText(meta);
    std::vector<std::string> tables;
    while (cur->next() == SQL_SUCCESS)
        tables.push_back(text(cur, 1));
    cur->release();
    EXPECT_EQ(tables, (std::vector<std::string>{"SAL_MASTER", "SAL_SUB"}));
    ASSERT_EQ(meta->getColumns("CUSTOMER", &cur), SQL_SUCCESS);
    std::vector<std::string> columns;
    while (cur->next() == SQL_SUCCESS)
        columns.push_back(text(cur, 1));
    cur->release();
    EXPECT_EQ(columns, (std::vector<std::string>{"CUST_ID", "CUST_NAME", "CUST_CLASSID"}));
    char quote = 0;
    int32_t len = 0;
    EXPECT_EQ(meta->getOption(SQL_META_OBJECT_QUOTE_CHAR, &quote, 1, &len), SQL_SUCCESS);
    EXPECT_EQ(quote, '"');
    meta->release();
}

TEST(FirebirdDriver, StatementsOutlivingTheirAttachmentFailCleanly) {
    TestDatabase db("INSERT INTO CUSTOMER VALUES ('C1', 'a', 'x');"
                    "INSERT INTO CUSTOMER VALUES ('C2', 'b', 'x');");
    Attached a(db.Path());
    ASSERT_EQ(a.result, SQL_SUCCESS);
    ISQLCommand* cmd = nullptr;
    ISQLCursor* cur = a.run("SELECT CUST_ID FROM CUSTOMER ORDER BY CUST_ID", cmd, 1);
    ASSERT_EQ(cur->next(), SQL_SUCCESS);
    EXPECT_EQ(text(cur, 1), "C1");
    // The connection goes while the cursor is half read; the row already fetched stays readable.
    EXPECT_EQ(a.conn->disconnect(), SQL_SUCCESS);
    EXPECT_EQ(text(cur, 1), "C1");
    EXPECT_EQ(cur->next(), SQL_INVALID_HANDLE);
    ISQLCursor* again = nullptr;
    EXPECT_EQ(cmd->execute(&again), SQL_INVALID_HANDLE);
    // After reconnecting, the old statement is prepared anew on the new attachment.
    ASSERT_EQ(a.conn->connect(db.Path().c_str(), "SYSDBA", "x"), SQL_SUCCESS);
    EXPECT_EQ(cmd->execute(&again), SQL_INVALID_HANDLE);
    ASSERT_EQ(cmd->prepare("SELECT CUST_ID FROM CUSTOMER ORDER BY CUST_ID DESC", 0), SQL_SUCCESS);
    ASSERT_EQ(cmd->execute(&again), SQL_SUCCESS);
    ASSERT_EQ(again->next(), SQL_SUCCESS);
    EXPECT_EQ(text(again, 1), "C2");
    again->release();
    cur->release();
    cmd->release();
}

TEST(FirebirdDriver, HeldReferencesGoBackInAnyOrderAndBlobsCloseAfterEveryRead) {
    TestDatabase db("CREATE TABLE T (I INTEGER, M BLOB SUB_TYPE 1);"
                    "INSERT INTO T VALUES (1, 'the first memo');"
                    "INSERT INTO T VALUES (2, 'the second memo');",
                    false);
    // The references others hold on an object besides the one asked through.
    auto held = [](auto& p) {
        p->addRef();
        return p->release();
    };
    SQLPtr<ISQLDriver> driver;
    ASSERT_EQ(driverEntry()("libfbclient.so.2", "", driver.Out()), SQL_SUCCESS);
    EXPECT_EQ(held(driver), 1u);
    SQLPtr<ISQLConnection> conn;
    ASSERT_EQ(driver->getSQLConnection(conn.Out()), SQL_SUCCESS);
    EXPECT_EQ(held(driver), 2u);  // the connection keeps its driver
    {
        SQLPtr<ISQLConnection> copy = conn;
        EXPECT_EQ(held(conn), 2u);
        SQLPtr<ISQLConnection> moved = std::move(copy);
        EXPECT_FALSE(copy);
        EXPECT_EQ(held(conn), 2u);
        SQLPtr<ISQLConnection> shared = SQLPtr<ISQLConnection>::Share(conn.get());
        EXPECT_EQ(held(conn), 3u);
    }
    EXPECT_EQ(held(conn), 1u);
    ASSERT_EQ(conn->connect(db.Path().c_str(), "SYSDBA", "x"), SQL_SUCCESS) << errorText(conn.get());

    SQLPtr<ISQLCommand> cmd;
    ASSERT_EQ(conn->getSQLCommand(cmd.Out()), SQL_SUCCESS);
    ASSERT_EQ(cmd->prepare("SELECT I, M FROM T ORDER BY I", 0), SQL_SUCCESS) << errorText(cmd.get());
    SQLPtr<ISQLCursor> cur;
    ASSERT_EQ(cmd->execute(cur.Out()), SQL_SUCCESS) << errorText(cmd.get());
    EXPECT_EQ(held(cmd), 2u);  // the cursor keeps its command
    // Out gives the cursor held before back first: the command is kept by the new one alone.
    ASSERT_EQ(cmd->execute(cur.Out()), SQL_SUCCESS) << errorText(cmd.get());
    EXPECT_EQ(held(cmd), 2u);

    // The parents' references go first; the cursor keeps what it needs alive and reads on.
    driver.reset();
    conn.reset();
    cmd.reset();
    ASSERT_EQ(cur->next(), SQL_SUCCESS);
    // Each read opens the blob and closes it again, also when it stops early.
    bool isNull = false;
    for (int i = 0; i < 2000; ++i) {
        uint32_t size = 0;
        ASSERT_EQ(cur->getBlobSize(2, &size, &isNull), SQL_SUCCESS) << errorText(cur.get());
        ASSERT_EQ(size, 14u);
        char part[4] = {};
        ASSERT_EQ(cur->getBlob(2, part, &isNull, 3), SQL_SUCCESS) << errorText(cur.get());
        ASSERT_EQ(std::string(part), "the");
    }
    ASSERT_EQ(cur->next(), SQL_SUCCESS);
    std::string memo(15, '\0');
    EXPECT_EQ(cur->getBlob(2, memo.data(), &isNull, 15), SQL_SUCCESS);
    EXPECT_EQ(memo, "the second memo");
    EXPECT_EQ(held(cur), 1u);
}

