#pragma once
// The window FormMorvane: the source bill named on the command line (header fields over its lines)
// beside every customer of the shop, each with a tick box, and the confirm button that posts a
// pending tick and walks the customer list. The database is only read; ticks live in memory.
//
// The constructor builds the window from its stored description: it creates every component and
// assigns its stored values in description order, resolves the references between components once
// all exist, scales the layout to the screen, sends the loaded notifications in description order
// (the connection connects, the bill lines and the customers open), then runs FormCreate. A failure
// before FormCreate leaves the constructor; FormCreate's own failure is shown and building goes on.
#include "app/CustomerGridMenu.h"
#include "app/Handoff.h"
#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "data/Provider.h"
#include "data/SQLConnection.h"
#include "data/SQLDataSet.h"
#include "grid/KxDBGrid.h"
#include "ui/DBEdit.h"
#include "ui/DBGrid.h"
#include "ui/Edit.h"
#include "ui/Form.h"
#include "ui/Label.h"
#include "ui/Panel.h"
#include "ui/SpeedButton.h"

#include <cstdio>
#include <memory>
#include <vector>

// The 44 columns of a bill header as the window declares them: name, field class, size (0: none).
#define MORVANE_BILL_HEADER_FIELDS(X)                                                                         \
    X(MASTERBILLID, String, 20) X(BILL_DATE, String, 10) X(SALES_ID, String, 10) X(SALES_NAME, String, 20)    \
    X(CUST_ID, String, 10) X(CUST_NAME, String, 50) X(SOURCEID, String, 20) X(SOURCE_DATE, String, 10)        \
    X(TOTAL_AMT, Float, 0) X(TOTAL_TAX, Float, 0) X(TOTAL_MONEY, Float, 0) X(NOW_REC, Float, 0)               \
    X(TOTAL_DISCOUNT, Float, 0) X(SURPLUS, Float, 0) X(RECED_AMT, Float, 0) X(STORE_ID, String, 10)           \
    X(STOCK_ID, String, 10) X(STOCK_NAME, String, 20) X(FLAG, String, 10) X(TAX_KIND, String, 1)              \
    X(FR_FLAG, String, 10) X(NOTE, String, 100) X(PRICE_FLAG, String, 1) X(REC_MEM, String, 50)               \
    X(REC_ADD, String, 50) X(REC_PHONE, String, 20) X(INVOICE_NUM, String, 10) X(CHG_DATE, String, 10)        \
    X(CHG_USER, String, 10) X(HOME_BILLID, String, 20) X(U_DIS, Float, 0) X(ACC_DATE, String, 10)             \
    X(INVOICE_CLASS, String, 10) X(PROJ_ID, String, 20) X(TRNIN_FLAG, String, 1) X(TOTAL_DISCOUNT2, Float, 0) \
    X(DEP_NO, String, 10) X(NEXT_DATE, String, 10) X(NEXT_PROCE, String, 50) X(CUST_IDAC, String, 10)         \
    X(BILLAC_TYPE, String, 10) X(TFREE_AMT, Float, 0) X(SECBILLID, String, 20) X(TB_AMT, Float, 0)

// The statement that selects the rows of `table` belonging to one bill. The number becomes an SQL
// string literal with every single quote doubled, so no number can break or widen the statement.
AnsiString BillStatement(const char* table, const AnsiString& billNumber);

class TFormMorvane : public TForm {
    MORVANE_CLASS(TFormMorvane, TForm)
public:
    explicit TFormMorvane(TComponent* owner);
    ~TFormMorvane() override;

    // ---- controls ----
    TPanel* Panel1 = nullptr;
    TLabel* Label1 = nullptr;
    TEdit* Ed_billid = nullptr;
    TSpeedButton* SpeedButton1 = nullptr;
    TPanel* Panel2 = nullptr;
    TPanel* Panel4 = nullptr;
    TPanel* Panel6 = nullptr;
    TLabel* Label2 = nullptr;
    TLabel* Label3 = nullptr;
    TLabel* Label4 = nullptr;
    TDBEdit* DBEdit1 = nullptr;
    TDBEdit* DBEdit2 = nullptr;
    TDBEdit* DBEdit3 = nullptr;
    TPanel* Panel7 = nullptr;
    TDBGrid* DBGrid1 = nullptr;
    TPanel* Panel5 = nullptr;
    TkxDBGrid* kxDBGrid1 = nullptr;
    TPanel* Panel3 = nullptr;

    // ---- data ----
    TSQLConnection* SQLConnection1 = nullptr;
    TSQLDataSet* SQL_BILLM = nullptr;
    TDataSetProvider* DSP_BILLM = nullptr;
    TClientDataSet* CDS_SaleMaster = nullptr;
#define MORVANE_DECLARE_FIELD(name, kind, size) T##kind##Field* CDS_SaleMaster##name = nullptr;
    MORVANE_BILL_HEADER_FIELDS(MORVANE_DECLARE_FIELD)
#undef MORVANE_DECLARE_FIELD
    TDataSource* DS_BILLM = nullptr;
    TSQLDataSet* SQL_BILLS = nullptr;
    TDataSetProvider* DSP_BILLS = nullptr;
    TClientDataSet* CDS_SaleSub = nullptr;
    TDataSource* DS_BILLS = nullptr;
    TSQLDataSet* SQL_CUST = nullptr;
    TDataSetProvider* DSP_CUST = nullptr;
    TClientDataSet* CDS_CUST = nullptr;
    TStringField* CDS_CUSTSELECT_YN = nullptr;
    TStringField* CDS_CUSTCUST_ID = nullptr;
    TStringField* CDS_CUSTCUST_NAME = nullptr;
    TStringField* CDS_CUSTCUST_CLASSID = nullptr;
    TDataSource* DS_CUST = nullptr;
    // Declared like SQLConnection1 but never connected; its statements are never run.
    TSQLConnection* SQLConnection2 = nullptr;
    TSQLQuery* SQL_Master = nullptr;
    TSQLQuery* SQL_Sub = nullptr;
    TSQLQuery* SQL_ID = nullptr;

    // ---- handlers ----
    // Loads the bill named by the first command-line argument into the header and the lines.
    void FormCreate(TObject* sender);
    // Posts a pending tick, walks the customer list from the first to the last row and hands the
    // ticked customers on (app/Handoff.h).
    void SpeedButton1Click(TObject* sender);

    // The codes of the customers ticked at the last confirmation, in list order.
    const std::vector<AnsiString>& TickedCustomers() const { return tickedCustomers_; }
    // Where the confirmation hands the selection on: standard output unless a test says otherwise.
    void SetSelectionOutput(std::FILE* out) {
        selectionFd_ = fileno(out);
        handoff_.reset();
    }
    // The customer grid's context menu: copy, copy the ticked customers, export.
    TCustomerGridMenu& CustomerGridMenu() { return customerGridMenu_; }

private:
    // Creates a component of the description: owned by the window, named, loading until its
    // loaded notification.
    template <class T> T* create(const char* name);
    // The description of a data component has ended: it is notified at this place, after the controls.
    void described(TComponent* component) { dataOrder_.push_back(component); }
    void createControls();
    void createData();
    void resolveReferences();

    std::vector<TComponent*> dataOrder_;
    std::vector<AnsiString> tickedCustomers_;
    int selectionFd_ = 1;
    std::unique_ptr<TSelectionHandoff> handoff_;  // made at the first confirmation
    TCustomerGridMenu customerGridMenu_{*this};
    int findKeys_ = 0;  // the keyboard hook of the customer find
};
