#include "support/CustomerGrid.h"

#include "core/StringList.h"
#include "support/DataChain.h"
#include "ui/Application.h"

const char* const kCustomerStatement =
    "select CUST_ID, CUST_NAME, CUST_CLASSID,'N' AS SELECT_YN from CUSTOMER\r\nORDER BY CUST_ID";

std::unique_ptr<TForm> NewWindowFontForm(int width, int height) {
    auto form = std::make_unique<TForm>(Application);
    TFont font;
    font.SetCharset(CHINESEBIG5_CHARSET);
    font.SetHeight(15);
    font.SetName(Ansi("細明體"));
    form->SetFont(font);
    form->SetBounds(0, 0, width, height);
    return form;
}

TkxDBGrid* NewCustomerGrid(TForm* form, int top) {
    auto* grid = new TkxDBGrid(form);
    grid->SetParent(form);
    grid->SetBounds(1, top, 401, 455);
    grid->SetSelected(TStringList{Ansi("SELECT_YN\t4\t選擇\t\t"), Ansi("CUST_ID\t8\t客戶代號\t\t"),
                                  Ansi("CUST_NAME\t17\t客戶名稱\t\t"), Ansi("CUST_CLASSID\t8\t客戶類別\tT")});
    grid->SetControlType(TStringList{"SELECT_YN;CheckBox;Y;N"});
    grid->SetEditControlOptions({ecoCheckboxSingleClick, ecoSearchOwnerForm});
    return grid;
}

CustomerScene::CustomerScene(const char* statement) {
    const DataChain chain(owner, statement);
    cds = new TCountingDataSet(&owner);
    cds->SetProviderName("DSP");
    source = new TDataSource(&owner);
    source->SetDataSet(cds);
    form = NewWindowFontForm(460, 520);
    grid = NewCustomerGrid(form.get());
}
