#include "support/FirebirdDb.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(TestDatabase, CreatesAFreshDatabaseWithTheShopSchema) {
    std::string dir;
    {
        TestDatabase db("INSERT INTO CUSTOMER VALUES ('C1', '王小明', 'A')");
        dir = db.Dir();
        EXPECT_TRUE(std::filesystem::exists(db.Path()));
        EXPECT_THROW(db.Run("SELECT * FROM NO_SUCH_TABLE;"), std::runtime_error);
    }
    EXPECT_FALSE(std::filesystem::exists(dir));
}
