// Multi-selection of records (dgMultiSelect): the bookmarks of the records the user picked, the
// shift-selection anchor and the range between it and the current record.
//
// The selection is a set of bookmarks ordered by their bytes: a record's bookmark is the same bytes
// for as long as the record lives, so membership, adding and removing cost O(log n) byte
// comparisons, whatever the dataset's size. Painting asks IsRowSelected for each row it draws, which
// reads the row's bookmark and looks it up; with nothing selected it answers at once. A range
// selection walks the records between the anchor and the current record once, with the dataset's
// controls disabled, and puts the record window back as it was.
#include "data/DataSource.h"
#include "grid/KxCustomDBGrid.h"
#include "grid/KxGridDataLink.h"

#include <algorithm>

void TkxCustomDBGrid::AddToSelection() {
    TDataSet* ds = DataSet();
    if (!link_->Active() || !ds) return;
    // A pending change is posted first: the bookmark is the posted record's.
    ds->CheckBrowseMode();
    TBookmark b = ds->GetBookmark();
    if (b.empty() || selection_.count(b)) return;
    bool accept = true;
    if (OnMultiSelectRecord) OnMultiSelectRecord(this, true, accept);
    if (!accept) return;
    selection_.insert(std::move(b));
    InvalidateRow(Row());
}

void TkxCustomDBGrid::RemoveFromSelection() {
    TDataSet* ds = DataSet();
    if (!link_->Active() || !ds) return;
    const auto it = selection_.find(ds->GetBookmark());
    if (it == selection_.end()) return;
    // Taking a record out is told, not asked: the handler's answer does not keep it in.
    bool accept = true;
    if (OnMultiSelectRecord) OnMultiSelectRecord(this, false, accept);
    selection_.erase(it);
    InvalidateRow(Row());
}

void TkxCustomDBGrid::ClearMultiSelection() {
    bool accept = true;
    if (OnMultiSelectAllRecords) OnMultiSelectAllRecords(this, false, accept);
    if (!accept) return;
    selection_.clear();
    Invalidate();
}

bool TkxCustomDBGrid::IsActiveRecordSelected() const {
    TDataSet* ds = DataSet();
    if (selection_.empty() || !link_->Active() || !ds) return false;
    const TBookmark b = ds->GetBookmark();
    return !b.empty() && selection_.count(b) != 0;
}

bool TkxCustomDBGrid::IsRowSelected(int bufferRow) const {
    if (selection_.empty() || !link_->Active() || bufferRow < 0 || bufferRow >= link_->RecordCount())
        return false;
    TActiveRecordScope scope(*link_, bufferRow);
    return IsActiveRecordSelected();
}

std::vector<TBookmark> TkxCustomDBGrid::SelectedBookmarks() const {
    TDataSet* ds = DataSet();
    std::vector<TBookmark> list;
    if (!ds) return list;
    for (const TBookmark& b : selection_)
        if (ds->BookmarkValid(b)) list.push_back(b);
    std::sort(list.begin(), list.end(),
              [ds](const TBookmark& a, const TBookmark& b) { return ds->CompareBookmarks(a, b) < 0; });
    return list;
}

void TkxCustomDBGrid::SelectRangeToAnchor() {
    TDataSet* ds = DataSet();
    if (!link_->Active() || !ds || anchorBookmark_.empty() || !ds->BookmarkValid(anchorBookmark_)) return;
    ds->CheckBrowseMode();
    const TBookmark current = ds->GetBookmark();
    if (current.empty()) return;
    const int order = ds->CompareBookmarks(anchorBookmark_, current);
    if (order != -1 && order != 0 && order != 1) return;
    const TBookmark from = order <= 0 ? anchorBookmark_ : current;
    const TBookmark to = order <= 0 ? current : anchorBookmark_;
    const int row = link_->ActiveRecord();
    ds->DisableControls();
    try {
        ds->GotoBookmark(from);
        while (!ds->Eof()) {
            TBookmark b = ds->GetBookmark();
            const bool end = ds->CompareBookmarks(b, to) >= 0;
            if (!selection_.count(b)) {
                bool accept = true;
                if (OnMultiSelectRecord) OnMultiSelectRecord(this, true, accept);
                if (accept) selection_.insert(std::move(b));
            }
            if (end) break;
            ds->Next();
        }
        RestoreRecordWindow(current, row);
    } catch (...) {
        ds->EnableControls();
        throw;
    }
    ds->EnableControls();
    Invalidate();
}

void TkxCustomDBGrid::RestoreRecordWindow(const TBookmark& current, int activeRecord) {
    TDataSet* ds = DataSet();
    // Going to a bookmark puts the record in the middle of the window; a move past the window's
    // far edge and back brings it to the row it had.
    ds->GotoBookmark(current);
    const int now = link_->ActiveRecord(), last = link_->BufferCount() - 1;
    int moved = 0;
    if (now > activeRecord)
        moved = ds->MoveBy(last - activeRecord);
    else if (now < activeRecord)
        moved = ds->MoveBy(-activeRecord);
    if (moved) ds->MoveBy(-moved);
}
