// Copying from the grid: the current record, the multi-selection or the records a caller chooses go
// to the clipboard through the grid's export options, in the format and with the settings they
// hold; only esoClipboard is added for the copy. Copying the current record alone moves no record,
// so a pending change of it stays pending; a copy of other records posts it, as any move does.
// The cost is an export of the records copied (a walk over all records for a chosen set).
#include "core/Guard.h"
#include "grid/KxDBGrid.h"
#include "grid/KxGridDataLink.h"

namespace {
// Runs `run` with esoClipboard added to the options, which are put back afterwards.
template <class F> void withClipboard(TkxExportOptions& eo, F run) {
    const TkxExportSaveOptions saved = eo.Options();
    TAtScopeEnd restore([&] { eo.SetOptions(saved); });
    eo.SetOptions(saved + TkxExportSaveOptions{esoClipboard});
    run();
}
} // namespace

void TkxDBGrid::CopyToClipboard() {
    TDataSet* ds = DataSet();
    if (!DataLink().Active() || !ds) return;
    std::vector<TBookmark> records = SelectedBookmarks();
    if (records.empty() && !(ds->Bof() && ds->Eof())) records.push_back(ds->GetBookmark());
    withClipboard(*ExportOptions(), [&] { ExportOptions()->RunExportOf(std::move(records)); });
}

void TkxDBGrid::CopyToClipboard(const std::function<bool()>& accept) {
    if (!DataLink().Active() || !DataSet()) return;
    withClipboard(*ExportOptions(), [&] { ExportOptions()->RunExportWhere(accept); });
}
