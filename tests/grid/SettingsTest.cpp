// The grid's settings from outside its own properties: the file name a connected form's settings
// object gives layout persistence.
#include "grid/support/GridFixture.h"
#include "grid/support/KxIntl.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

TEST(GridSettings, AConnectedFormsFileNameKeepsTheLayout) {
    const std::string dir = MakeTempDir();
    {
        GridHarness h(CustomersDb(5));
        auto* placed = new TkxIntl(h.form);
        placed->SetIniFileName(AnsiString(dir + "/layout"));
        placed->SetConnected(true);
        TkxIniAttributes* ia = h.grid->IniAttributes();
        ia->SetEnabled(true);
        ia->SetSectionName("Customers");
        h.ShowLikeTheWindow();
        h.Field("CUST_NAME")->SetDisplayWidth(21);
    } // saved when the grid goes
    kxProcessIntl->SetIniFileName("");
    std::ifstream in(dir + "/layout.ini", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find(Ansi("[Customers]\nSELECT_YN=4;;選擇;;T\n")), std::string::npos) << text.str();
    EXPECT_NE(text.str().find(Ansi("CUST_NAME=21;;客戶名稱;;F\n")), std::string::npos) << text.str();
}
