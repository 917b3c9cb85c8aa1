// The find: the records whose find fields hold a text, by the code page's whole characters with
// ASCII letters in either case (AnsiTextMatcher), and the find bar that asks for it as the user types.
//
// Costs: a search reads the stored text of the find fields record after record through the dataset's
// own reading (ScanRecords), which neither moves the current record nor tells the controls; rows not
// fetched yet are fetched as the reading reaches them. A search that finds nothing reads every record
// once; a match moves the dataset once (SetRecNo) and repaints the grid once. Nothing of the bar
// exists until it is first opened.
#include "data/DataSet.h"
#include "grid/KxCustomDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "ui/FindBar.h"
#include "ui/Keys.h"

#include <climits>

bool TkxCustomDBGrid::FindRecord(const AnsiString& text, int direction, bool skipCurrent) {
    TDataSet* ds = DataSet();
    if (text.empty() || !link_ || !link_->Active() || !ds || !ds->Active() || ds->IsEmpty()) return false;
    std::vector<TField*> fields;
    std::vector<bool> prefix;
    for (const FindField& f : findFields_)
        if (TField* field = ds->FindField(f.FieldName)) {
            fields.push_back(field);
            prefix.push_back(f.Prefix);
        }
    if (fields.empty()) return false;
    const AnsiTextMatcher matcher(text);
    auto matches = [&](const std::string_view* texts) {
        for (size_t i = 0; i < fields.size(); ++i)
            if (prefix[i] ? matcher.StartOf(texts[i]) : matcher.In(texts[i])) return true;
        return false;
    };
    // A new record has no number among the stored ones: it is posted (or, untouched, dropped, which
    // may leave no record) first.
    if (ds->State() == dsInsert) ds->CheckBrowseMode();
    if (!skipCurrent && !ds->IsEmpty()) {
        // The current record as the grid shows it, a pending edit included.
        std::vector<AnsiString> values;
        for (TField* f : fields)
            values.push_back(f->AsString());
        std::vector<std::string_view> texts(values.begin(), values.end());
        if (matches(texts.data())) return true;
    }
    const int current = ds->RecNo();
    if (current < 1) return false;
    auto visit = [&](int, const std::string_view* texts) { return matches(texts); };
    int found = 0;
    // Past the end the search goes on from the other end, up to the current record itself.
    if (direction >= 0) {
        found = ds->ScanRecords(current + 1, INT_MAX, fields, visit);
        if (found == 0) found = ds->ScanRecords(1, current, fields, visit);
    } else {
        if (current > 1) found = ds->ScanRecords(current - 1, 1, fields, visit);
        const int last = found == 0 ? ds->RecordCount() : 0;
        if (found == 0 && last >= current) found = ds->ScanRecords(last, current, fields, visit);
    }
    if (found <= 0) return false;
    if (found == current) return true;
    // An ordinary move: the dataset posts a pending edit, and the grid follows and shows the record.
    ds->SetRecNo(found);
    return true;
}

void TkxCustomDBGrid::ShowFindBar() {
    if (!findBar_) {
        findBar_ = new TFindBar(this);
        FreeNotification(findBar_);
        findBar_->Hide();
        findBar_->SetParent(Parent());
        findBar_->SetAlign(alBottom);
        findBar_->SetTop(Top() + Height());
        findBar_->OnFind = [this](const AnsiString& text, int direction) {
            return FindRecord(text, direction, direction != 0);
        };
        findBar_->OnClose = [this](TObject*) { CloseFindBar(); };
    }
    findBar_->Show();
    findBar_->FocusBox();
}

void TkxCustomDBGrid::CloseFindBar() {
    if (!findBar_ || !findBar_->Visible()) return;
    if (CanFocus()) SetFocus();
    findBar_->Hide();
}

bool TkxCustomDBGrid::FindKey(Word key, TShiftState shift) {
    const TShiftState mods = shift * TShiftState{ssShift, ssCtrl, ssAlt};
    if (findFields_.empty()) return false;
    if (key == 'F' && mods == TShiftState{ssCtrl}) {
        ShowFindBar();
        return true;
    }
    if (key != VK_F3 || !(mods.Empty() || mods == TShiftState{ssShift})) return false;
    if (!findBar_ || !findBar_->Visible())
        ShowFindBar();
    else
        findBar_->Find(mods.Empty() ? 1 : -1);
    return true;
}
