#include "app/CustomerGridMenu.h"

#include "app/FrmMorvane.h"
#include "core/Guard.h"
#include "ui/FileDialog.h"

std::vector<TMenuItemInfo> TCustomerGridMenu::ContextMenuItems() {
    const bool open = form_.CDS_CUST->Active();
    return {{Ansi("複製"), open, [this] { form_.kxDBGrid1->CopyToClipboard(); }},
            {Ansi("複製已選客戶"), open, [this] { CopyTickedCustomers(); }},
            {Ansi("匯出…"), open, [this] { Export(); }}};
}

void TCustomerGridMenu::CopyTickedCustomers() {
    // A tick still pending counts, as at the confirmation.
    if (form_.CDS_CUST->State() == dsEdit)
        form_.CDS_CUST->Post();
    TStringField* tick = form_.CDS_CUSTSELECT_YN;
    form_.kxDBGrid1->CopyToClipboard([tick] { return tick->AsString() == "Y"; });
}

void TCustomerGridMenu::Export() {
    const TkxExportOptions& eo = *form_.kxDBGrid1->ExportOptions();
    AnsiString fileName = eo.FileName();
    int filter = eo.ExportType() == kxgetHTML ? 1 : eo.ExportType() == kxgetSYLK ? 2 : 0;
    const std::vector<TFileFilter> filters = {{Ansi("文字檔"), "*.txt *.csv"},
                                              {Ansi("HTML 網頁"), "*.htm *.html"},
                                              {Ansi("SYLK 試算表"), "*.slk"}};
    if (PromptForSaveFile(Ansi("匯出"), fileName, filters, filter))
        ExportTo(fileName, filter);
}

void TCustomerGridMenu::ExportTo(const AnsiString& fileName, int filterIndex) {
    TkxExportOptions& eo = *form_.kxDBGrid1->ExportOptions();
    const AnsiString savedName = eo.StoredFileName();
    const TkxGridExportType savedType = eo.ExportType();
    const TkxExportSaveOptions savedOptions = eo.Options();
    TAtScopeEnd restore([&] {
        eo.SetFileName(savedName);
        eo.SetExportType(savedType);
        eo.SetOptions(savedOptions);
    });
    eo.SetFileName(fileName);
    eo.SetExportType(filterIndex == 1 ? kxgetHTML : filterIndex == 2 ? kxgetSYLK : kxgetTxt);
    eo.SetOptions(savedOptions - TkxExportSaveOptions{esoClipboard});
    eo.RunExport();
}
