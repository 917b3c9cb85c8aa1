// The customer list read packet by packet through the Firebird server: rows fetched long after the
// open are those of the database as the open saw it, whatever other attachments commit meanwhile.
#include "data/ClientDataSet.h"
#include "data/SQLConnection.h"
#include "support/DataChain.h"
#include "support/FirebirdDb.h"

#include <gtest/gtest.h>

namespace {
const char* const kCustomers = "select CUST_ID, CUST_NAME, CUST_CLASSID,'N' AS SELECT_YN from CUSTOMER\r\n"
                               "ORDER BY CUST_ID";

// Customers G0000001 … G<count>, named N<number>; `table` holds them.
std::string customers(int count, const char* table = "CUSTOMER") {
    return std::string("SET TERM ^ ;\nEXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= ") +
           std::to_string(count) + ") DO BEGIN INSERT INTO " + table +
           " VALUES ('G' || LPAD(:i, 7, '0'), 'N' || :i, 'A'); i = i + 1; END END^\nSET TERM ; ^\n";
}

// The settings files point at the database through the server before the connection exists (it
// finds them when it is made).
struct ThroughServer {
    explicit ThroughServer(const TestDatabase& db) { WriteConnectionFiles(db.Dir(), db.ServerPath(), ServerPassword()); }
};

struct Customers : ThroughServer {
    TComponent owner{nullptr};
    DataChain chain;
    TClientDataSet* cds = new TClientDataSet(&owner);
    explicit Customers(const TestDatabase& db) : ThroughServer(db), chain(owner, kCustomers) {
        cds->SetProviderName("DSP");
    }
    std::vector<std::string> walk() {
        std::vector<std::string> rows;
        for (cds->First(); !cds->Eof(); cds->Next())
            rows.push_back(cds->FieldByName("CUST_ID")->AsString() + "\t" + cds->FieldByName("CUST_NAME")->AsString());
        return rows;
    }
};
} // namespace

TEST(LateRead, LatePacketsSeeTheDatabaseAsTheOpenSawIt) {
    if (!ServerAvailable())
        GTEST_SKIP() << "no Firebird server (MORVANE_FB_PASSWORD unset)";
    TestDatabase db(customers(3000));
    std::vector<std::string> atOpen;
    for (int i = 1; i <= 3000; ++i) {
        char id[16];
        std::snprintf(id, sizeof id, "G%07d", i);
        atOpen.push_back(std::string(id) + "\tN" + std::to_string(i));
    }
    Customers c(db);
    c.cds->Open();
    ASSERT_FALSE(c.cds->AllFetched());
    // Another attachment commits, before and behind the rows read so far.
    db.RunAtServer("DELETE FROM CUSTOMER WHERE CUST_ID IN ('G0000050', 'G0002500');\n"
                   "INSERT INTO CUSTOMER VALUES ('G0000050A', 'new', 'A');\n"
                   "INSERT INTO CUSTOMER VALUES ('G0002999A', 'new', 'A');\n"
                   "UPDATE CUSTOMER SET CUST_NAME = 'renamed' WHERE CUST_ID = 'G0002000'");
    EXPECT_EQ(c.walk(), atOpen);
    // Once every row is read the next open sees the commits.
    c.cds->Close();
    c.cds->Open();
    std::vector<std::string> now = c.walk();
    EXPECT_EQ(now.size(), 3000u);
    EXPECT_NE(now, atOpen);
}
