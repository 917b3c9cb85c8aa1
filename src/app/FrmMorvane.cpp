#include "app/FrmMorvane.h"

#include "app/ButtonPicture.h"
#include "core/Format.h"
#include "ui/Application.h"

#include <string_view>

namespace {
// The stored database parameters; connecting replaces them with the connection registry file's.
TStringList storedParams(const char* databaseFolder) {
    return TStringList{"DriverName=Firebird",
                       AnsiString("Database=127.0.0.1:C:\\Kestrin\\Data\\") + databaseFolder + "\\POSDATA.GDB",
                       "RoleName=RoleName",
                       "User_Name=SYSDBA",
                       "Password=quorvalex",
                       "ServerCharSet=",
                       "SQLDialect=3",
                       "BlobSize=-1",
                       "CommitRetain=False",
                       "WaitOnLocks=True",
                       "ErrorResourceFile=",
                       "LocaleCode=0000",
                       "Firebird TransIsolation=ReadCommited",
                       "Trim Char=False"};
}

void setStoredConnection(TSQLConnection* c, const char* databaseFolder) {
    c->SetConnectionName("Kestrin");
    c->SetDriverName("Firebird");
    c->SetGetDriverFunc("getSQLDriverFIREBIRD");
    c->SetLibraryName("libsqldrvfb.so");
    c->SetLoadParamsOnConnect(true);
    c->SetLoginPrompt(false);
    c->SetParams(storedParams(databaseFolder));
    c->SetVendorLib("libfbclient.so.2");
}

// The header fields' background: red 151, green 199, blue 251.
constexpr TColor kHeaderFieldColor = 16500631;
} // namespace

AnsiString BillStatement(const char* table, const AnsiString& billNumber) {
    AnsiString literal = "'";
    for (char c : billNumber) {
        literal += c;
        if (c == '\'')
            literal += '\'';
    }
    return AnsiString("SELECT * FROM ") + table + "  WHERE MASTERBILLID = " + literal + "'";
}

template <class T> T* TFormMorvane::create(const char* name) {
    T* component = new T(this);
    // Stored switches assigned from here on are only remembered until the loaded notification.
    component->SetLoading(true);
    component->SetName(name);
    return component;
}

TFormMorvane::TFormMorvane(TComponent* owner) : TForm(owner) {
    BeginLoading();
    SetName("FormMorvane");
    SetBounds(193, 115, 829, 573);
    SetCaption("FormMorvane");
    SetClientWidth(821);
    SetClientHeight(539);
    SetColor(clBtnFace);
    TFont font;
    font.SetCharset(CHINESEBIG5_CHARSET);
    font.SetColor(clWindowText);
    font.SetHeight(15);
    font.SetName(Ansi("細明體"));
    SetFont(font);
    SetOldCreateOrder(false);
    OnCreate = [this](TObject* sender) { FormCreate(sender); };
    SetPixelsPerInch(96);
    SetTextHeight(15);

    createControls();
    createData();
    resolveReferences();
    ApplyDesignScaling();
    // The window first, then every control where its description ends, then the data components:
    // the connection connects, the bill lines and the customers open.
    EndLoading(dataOrder_);
    // With OldCreateOrder off the creation handler runs once the whole window is built.
    DoCreate();
    // Ctrl+F and F3, wherever the focus is in the window, find in the customer list: a code by its
    // start, a name anywhere in it.
    kxDBGrid1->SetFindFields({{"CUST_ID", true}, {"CUST_NAME", false}});
    findKeys_ = Application->AddKeyHook([this](TWinControl* target, Word key, TShiftState shift) {
        return target && target->GetParentForm() == this && kxDBGrid1->FindKey(key, shift);
    });
}

TFormMorvane::~TFormMorvane() { Application->RemoveKeyHook(findKeys_); }

void TFormMorvane::createControls() {
    Panel1 = create<TPanel>("Panel1");
    Panel1->SetParent(this);
    Panel1->SetBounds(0, 0, 821, 39);
    Panel1->SetAlign(alTop);
    Panel1->SetCaption("");
    Panel1->SetTabOrder(0);
    {
        Label1 = create<TLabel>("Label1");
        Label1->SetParent(Panel1);
        Label1->SetBounds(13, 12, 64, 15);
        Label1->SetCaption(Ansi("來源單號"));

        Ed_billid = create<TEdit>("Ed_billid");
        Ed_billid->SetParent(Panel1);
        Ed_billid->SetBounds(83, 8, 145, 23);
        Ed_billid->SetTabOrder(0);

        SpeedButton1 = create<TSpeedButton>("SpeedButton1");
        SpeedButton1->SetParent(Panel1);
        SpeedButton1->SetBounds(418, 3, 83, 33);
        SpeedButton1->SetCaption(Ansi("確定"));
        std::vector<uint8_t> picture = ConfirmButtonPicture();
        TBitmap glyph;
        glyph.LoadFromBytes(std::string_view(reinterpret_cast<const char*>(picture.data()), picture.size()));
        SpeedButton1->SetGlyph(glyph);
        SpeedButton1->OnClick = [this](TObject* sender) { SpeedButton1Click(sender); };
    }

    Panel2 = create<TPanel>("Panel2");
    Panel2->SetParent(this);
    Panel2->SetBounds(0, 39, 821, 459);
    Panel2->SetAlign(alClient);
    Panel2->SetCaption("");
    Panel2->SetTabOrder(1);
    {
        Panel4 = create<TPanel>("Panel4");
        Panel4->SetParent(Panel2);
        Panel4->SetBounds(1, 1, 416, 457);
        Panel4->SetAlign(alLeft);
        Panel4->SetCaption("Panel4");
        Panel4->SetTabOrder(0);
        {
            Panel6 = create<TPanel>("Panel6");
            Panel6->SetParent(Panel4);
            Panel6->SetBounds(1, 1, 414, 87);
            Panel6->SetAlign(alTop);
            Panel6->SetCaption("");
            Panel6->SetTabOrder(0);
            {
                struct HeaderLabel {
                    TLabel*& label;
                    const char* name;
                    int left, top, width;
                    const char* caption;
                };
                for (const HeaderLabel& l : {HeaderLabel{Label2, "Label2", -1, 8, 72, "BILL_DATE"},
                                             HeaderLabel{Label3, "Label3", 7, 32, 56, "CUST_ID"},
                                             HeaderLabel{Label4, "Label4", 7, 60, 72, "CUST_NAME"}}) {
                    l.label = create<TLabel>(l.name);
                    l.label->SetParent(Panel6);
                    l.label->SetBounds(l.left, l.top, l.width, 15);
                    l.label->SetCaption(l.caption);
                }
                struct HeaderEdit {
                    TDBEdit*& edit;
                    const char* name;
                    int top, width;
                    const char* field;
                };
                int tabOrder = 0;
                for (const HeaderEdit& e : {HeaderEdit{DBEdit1, "DBEdit1", 5, 154, "BILL_DATE"},
                                            HeaderEdit{DBEdit2, "DBEdit2", 30, 154, "CUST_ID"},
                                            HeaderEdit{DBEdit3, "DBEdit3", 56, 250, "CUST_NAME"}}) {
                    e.edit = create<TDBEdit>(e.name);
                    e.edit->SetParent(Panel6);
                    e.edit->SetBounds(84, e.top, e.width, 23);
                    e.edit->SetColor(kHeaderFieldColor);
                    e.edit->SetDataField(e.field);
                    e.edit->SetReadOnly(true);
                    e.edit->SetTabOrder(tabOrder++);
                }
            }

            Panel7 = create<TPanel>("Panel7");
            Panel7->SetParent(Panel4);
            Panel7->SetBounds(1, 88, 414, 368);
            Panel7->SetAlign(alClient);
            Panel7->SetCaption("");
            Panel7->SetTabOrder(1);
            {
                DBGrid1 = create<TDBGrid>("DBGrid1");
                DBGrid1->SetParent(Panel7);
                DBGrid1->SetBounds(1, 1, 412, 366);
                DBGrid1->SetAlign(alClient);
                DBGrid1->SetTabOrder(0);
                DBGrid1->SetTitleFont(*Font());
                // The stored columns: exactly these, whatever else the lines table holds.
                for (auto [field, width] : {std::pair{"TEMPPRODID", 114}, {"PROD_NAME", 128}, {"V_QTY", 47},
                                            {"V_UNIT", 54}, {"B_PRICE", 61}, {"U_DIS", 46}, {"V_PRICE", 62},
                                            {"AMT", 56}}) {
                    TColumn* column = DBGrid1->Columns().Add();
                    column->SetFieldName(field);
                    column->SetWidth(width);
                }
            }
        }

        Panel5 = create<TPanel>("Panel5");
        Panel5->SetParent(Panel2);
        Panel5->SetBounds(417, 1, 403, 457);
        Panel5->SetAlign(alClient);
        Panel5->SetCaption("");
        Panel5->SetTabOrder(1);
        {
            // The customers, each with its tick box: four columns from the list, the fields' own
            // order and attributes replaced by it when the customers open.
            kxDBGrid1 = create<TkxDBGrid>("kxDBGrid1");
            kxDBGrid1->SetParent(Panel5);
            kxDBGrid1->SetBounds(1, 1, 401, 455);
            kxDBGrid1->SetAlign(alClient);
            kxDBGrid1->SetTabOrder(0);
            kxDBGrid1->SetSelected(TStringList{Ansi("SELECT_YN\t4\t選擇\t\t"), Ansi("CUST_ID\t8\t客戶代號\t\t"),
                                               Ansi("CUST_NAME\t17\t客戶名稱\t\t"), Ansi("CUST_CLASSID\t8\t客戶類別\tT")});
            kxDBGrid1->SetControlType(TStringList{"SELECT_YN;CheckBox;Y;N"});
            kxDBGrid1->SetEditControlOptions({ecoCheckboxSingleClick, ecoSearchOwnerForm});
            kxDBGrid1->IniAttributes()->SetDelimiter(";;");
            kxDBGrid1->SetTitleColor(clBtnFace);
            kxDBGrid1->SetTitleAlignment(taLeftJustify);
            TFont titleFont;
            titleFont.SetCharset(CHINESEBIG5_CHARSET);
            titleFont.SetColor(clWindowText);
            titleFont.SetHeight(-15);
            titleFont.SetName(Ansi("細明體"));
            kxDBGrid1->SetTitleFont(titleFont);
            kxDBGrid1->SetTitleLines(1);
            kxDBGrid1->SetTitleButtons(false);
            kxDBGrid1->SetFixedCols(0);
            kxDBGrid1->SetShowHorzScrollBar(true);
            kxDBGrid1->SetDisableThemes(false);
            kxDBGrid1->SetPopupMenu(&customerGridMenu_);
        }
    }

    Panel3 = create<TPanel>("Panel3");
    Panel3->SetParent(this);
    Panel3->SetBounds(0, 498, 821, 41);
    Panel3->SetAlign(alBottom);
    Panel3->SetCaption("");
    Panel3->SetTabOrder(2);
}

void TFormMorvane::createData() {
    SQLConnection1 = create<TSQLConnection>("SQLConnection1");
    setStoredConnection(SQLConnection1, "Data20060724");
    SQLConnection1->SetConnected(true);
    described(SQLConnection1);

    SQL_BILLM = create<TSQLDataSet>("SQL_BILLM");
    SQL_BILLM->SetCommandText("select * from SAL_MASTER");
    SQL_BILLM->SetMaxBlobSize(-1);
    described(SQL_BILLM);

    DSP_BILLM = create<TDataSetProvider>("DSP_BILLM");
    DSP_BILLM->SetOptions(1u << poAllowCommandText);
    described(DSP_BILLM);

    CDS_SaleMaster = create<TClientDataSet>("CDS_SaleMaster");
    CDS_SaleMaster->SetProviderName("DSP_BILLM");
    auto headerField = [this]<class F>(F*& field, const char* fieldName, int size) {
        field = create<F>((AnsiString("CDS_SaleMaster") + fieldName).c_str());
        field->SetFieldName(fieldName);
        if (size > 0)
            field->SetSize(size);
        field->SetDataSet(CDS_SaleMaster);
        described(field);
    };
#define MORVANE_CREATE_FIELD(name, kind, size) headerField(CDS_SaleMaster##name, #name, size);
    MORVANE_BILL_HEADER_FIELDS(MORVANE_CREATE_FIELD)
#undef MORVANE_CREATE_FIELD
    CDS_SaleMasterMASTERBILLID->SetRequired(true);
    described(CDS_SaleMaster);

    DS_BILLM = create<TDataSource>("DS_BILLM");
    described(DS_BILLM);

    SQL_BILLS = create<TSQLDataSet>("SQL_BILLS");
    SQL_BILLS->SetCommandText("select * from SAL_SUB");
    SQL_BILLS->SetMaxBlobSize(-1);
    described(SQL_BILLS);

    DSP_BILLS = create<TDataSetProvider>("DSP_BILLS");
    DSP_BILLS->SetOptions(1u << poAllowCommandText);
    described(DSP_BILLS);

    CDS_SaleSub = create<TClientDataSet>("CDS_SaleSub");
    CDS_SaleSub->SetProviderName("DSP_BILLS");
    CDS_SaleSub->SetActive(true);
    described(CDS_SaleSub);

    DS_BILLS = create<TDataSource>("DS_BILLS");
    described(DS_BILLS);

    SQL_CUST = create<TSQLDataSet>("SQL_CUST");
    SQL_CUST->SetCommandText("select CUST_ID, CUST_NAME, CUST_CLASSID,'N' AS SELECT_YN from CUSTOMER\r\nORDER BY CUST_ID");
    SQL_CUST->SetMaxBlobSize(-1);
    described(SQL_CUST);

    DSP_CUST = create<TDataSetProvider>("DSP_CUST");
    described(DSP_CUST);

    CDS_CUST = create<TClientDataSet>("CDS_CUST");
    CDS_CUST->SetProviderName("DSP_CUST");
    CDS_CUST->SetActive(true);
    struct CustomerField {
        TStringField*& field;
        const char* fieldName;
        int size;
        bool required;
        const char* label;
        int displayWidth;
    };
    for (const CustomerField& c : {CustomerField{CDS_CUSTSELECT_YN, "SELECT_YN", 1, true, "選擇", 4},
                                   CustomerField{CDS_CUSTCUST_ID, "CUST_ID", 10, true, "客戶代號", 8},
                                   CustomerField{CDS_CUSTCUST_NAME, "CUST_NAME", 50, false, "客戶名稱", 17},
                                   CustomerField{CDS_CUSTCUST_CLASSID, "CUST_CLASSID", 10, false, "客戶類別", 8}}) {
        c.field = create<TStringField>((AnsiString("CDS_CUST") + c.fieldName).c_str());
        c.field->SetFieldName(c.fieldName);
        c.field->SetSize(c.size);
        c.field->SetRequired(c.required);
        c.field->SetDisplayLabel(Ansi(c.label));
        c.field->SetDisplayWidth(c.displayWidth);
        c.field->SetDataSet(CDS_CUST);
        described(c.field);
    }
    CDS_CUSTSELECT_YN->SetFixedChar(true);
    described(CDS_CUST);

    DS_CUST = create<TDataSource>("DS_CUST");
    described(DS_CUST);

    SQLConnection2 = create<TSQLConnection>("SQLConnection2");
    setStoredConnection(SQLConnection2, "Data20060709");
    described(SQLConnection2);

    for (auto [query, name] : {std::pair{&SQL_Master, "SQL_Master"}, std::pair{&SQL_Sub, "SQL_Sub"},
                               std::pair{&SQL_ID, "SQL_ID"}}) {
        *query = create<TSQLQuery>(name);
        (*query)->SetMaxBlobSize(-1);
        described(*query);
    }
}

void TFormMorvane::resolveReferences() {
    Label2->SetFocusControl(DBEdit1);
    Label3->SetFocusControl(DBEdit2);
    Label4->SetFocusControl(DBEdit3);
    for (TDBEdit* edit : {DBEdit1, DBEdit2, DBEdit3})
        edit->SetDataSource(DS_BILLM);
    DBGrid1->SetDataSource(DS_BILLS);
    kxDBGrid1->SetDataSource(DS_CUST);
    SQL_BILLM->SetSQLConnection(SQLConnection1);
    DSP_BILLM->SetDataSet(SQL_BILLM);
    DS_BILLM->SetDataSet(CDS_SaleMaster);
    SQL_BILLS->SetSQLConnection(SQLConnection1);
    DSP_BILLS->SetDataSet(SQL_BILLS);
    DS_BILLS->SetDataSet(CDS_SaleSub);
    SQL_CUST->SetSQLConnection(SQLConnection1);
    DSP_CUST->SetDataSet(SQL_CUST);
    DS_CUST->SetDataSet(CDS_CUST);
    for (TSQLQuery* query : {SQL_Master, SQL_Sub, SQL_ID})
        query->SetSQLConnection(SQLConnection2);
}


void TFormMorvane::FormCreate(TObject*) {
    Ed_billid->SetText(Application->ParamStr(1));
    CDS_SaleMaster->Close();
    CDS_SaleMaster->SetCommandText(BillStatement("SAL_MASTER", Ed_billid->Text()));
    CDS_SaleMaster->Open();
    CDS_SaleSub->Close();
    CDS_SaleSub->SetCommandText(BillStatement("SAL_SUB", Ed_billid->Text()));
    CDS_SaleSub->Open();
}

void TFormMorvane::SpeedButton1Click(TObject*) {
    // A tick still pending in the grid counts: it is validated and kept in memory first.
    if (CDS_CUST->State() == dsEdit)
        CDS_CUST->Post();
    tickedCustomers_.clear();
    // The customers as the database holds them: a row added in the window is not one, and codes or
    // names typed over stay in the window.
    std::string block;
    CDS_CUST->First();
    while (!CDS_CUST->Eof()) {
        if (CDS_CUSTSELECT_YN->AsString() == "Y" && CDS_CUST->RecordFromProvider()) {
            AnsiString code = CDS_CUST->ProvidedText(CDS_CUSTCUST_ID);
            tickedCustomers_.push_back(code);
            block += SelectionLine(code, CDS_CUST->ProvidedText(CDS_CUSTCUST_NAME));
        }
        CDS_CUST->Next();
    }
    // A read of the list that failed earlier ended the walk at the rows read: not every customer was
    // seen, so nothing is handed on.
    if (!CDS_CUST->FetchError().empty()) {
        tickedCustomers_.clear();
        DatabaseError(Format("Not every customer could be read, so the selection was not handed on: %s",
                             CDS_CUST->FetchError()));
    }
    block += '\n';
    if (!handoff_)
        handoff_ = std::make_unique<TSelectionHandoff>(selectionFd_);
    handoff_->Send(std::move(block));
}
