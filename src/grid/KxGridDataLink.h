#pragma once
// TkxGridDataLink: the selection grid's binding to its dataset. It turns the dataset's notifications
// into the grid's reactions (KxGridDataLink.cpp: layout rebuild, record window, row changes) and
// holds the column field map: the position in the dataset's field list of each data column's field.
//
// Field map: AddMapping is amortised O(1) (capacity 8, doubling, at most 16380 entries; the
// 16381st raises "Grid requested to display more than 256 columns"); reading an entry is O(1).
// Modified: the in-place editor's text differs from its field and has not been written. In update:
// the link is writing that text into the field.
#include "data/DataLink.h"

#include <vector>

class TkxCustomDBGrid;

class TkxGridDataLink : public TDataLink {
public:
    explicit TkxGridDataLink(TkxCustomDBGrid* grid);

    TkxCustomDBGrid* Grid() const { return grid_; }

    // ---- field map ----
    void AddMapping(int fieldIndex);
    void ClearMapping() { fieldMap_.clear(); }
    int MappedCount() const { return int(fieldMap_.size()); }
    // The field position of a map entry; -1 outside the map.
    int FieldIndex(int entry) const;
    // The field of a map entry; null outside the map, while inactive, or when the position is gone.
    TField* MappedField(int entry) const;
    int MapCapacity() const { return int(fieldMap_.capacity()); }
    static constexpr int kMaxMappedFields = 16380;

    bool Modified() const { return modified_; }
    // The editor starts changing a cell.
    void SetModified() { modified_ = true; }
    bool InUpdate() const { return inUpdate_; }
    // Escape: the editor's text goes back to the field's, else the record's changes are discarded
    // (after "Discard changes to this record?" when the record is modified).
    void ResetEdit();

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void EditingChanged() override;
    void FocusControl(TField** field) override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;

private:
    friend class TkxCustomDBGrid;
    TkxCustomDBGrid* grid_;
    std::vector<int> fieldMap_;
    bool modified_ = false;
    bool inUpdate_ = false;
};
