// Multi-selection of records: which records the user picked with dgMultiSelect. Until the mouse and
// keys choose records, nothing is ever selected.
#include "grid/KxCustomDBGrid.h"

void TkxCustomDBGrid::AddToSelection() {}
void TkxCustomDBGrid::RemoveFromSelection() {}
void TkxCustomDBGrid::ClearMultiSelection() {}
bool TkxCustomDBGrid::IsActiveRecordSelected() const { return false; }
bool TkxCustomDBGrid::IsRowSelected(int) const { return false; }
