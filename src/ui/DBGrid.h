#pragma once
// The framework's data grid: the records of a data source's dataset in rows, one column per entry of
// its column collection (or, with no stored columns, per visible field), under a title row and beside
// an indicator column that marks the current record. It shows only the records of its data link's
// window (as many as fit), scrolls by records, and edits cells in place: typed text goes into the
// field when the record is posted or left. Its options are TDBGridOption members (qualified: the
// unqualified dg names belong to the selection grid).
#include "ui/CustomGrid.h"

#include <memory>
#include <vector>

class TDataSource;
class TDataSet;
class TField;
class TDBGrid;
class TDataLink;
class TDBGridAccessibleFace;

enum class TDBGridOption {
    dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
    dgRowSelect, dgAlwaysShowSelection, dgConfirmDelete, dgCancelOnExit
};
using TDBGridOptions = TSmallSet<TDBGridOption>;

class TDBGridColumns;

// One stored column: the field it shows by name, its width in pixels and its title (empty: the
// field's display label). A column whose field the dataset lacks stays empty.
class TColumn : public TPersistent {
    MORVANE_CLASS_PROPS(TColumn, TPersistent)
public:
    explicit TColumn(TDBGridColumns* collection) : collection_(collection) {}

    const AnsiString& FieldName() const { return fieldName_; }
    void SetFieldName(const AnsiString& v);
    // Pixels; until set, the field's display width in characters of the grid's font.
    int Width() const;
    void SetWidth(int v);
    const AnsiString& Title() const { return title_; }
    void SetTitle(const AnsiString& v);
    // The title shown: Title, else the field's display label, else the field name.
    AnsiString TitleCaption() const;
    // The field of the grid's open dataset, or null.
    TField* Field() const;
    int Index() const;
    void SetIndex(int v);

private:
    friend class TDBGrid;
    TDBGridColumns* collection_;
    AnsiString fieldName_;
    int width_ = -1;
    AnsiString title_;
};

class TDBGridColumns {
public:
    explicit TDBGridColumns(TDBGrid* grid) : grid_(grid) {}
    TDBGridColumns(const TDBGridColumns&) = delete;
    TDBGridColumns& operator=(const TDBGridColumns&) = delete;

    TColumn* Add();
    int Count() const { return int(items_.size()); }
    TColumn* Items(int index) const { return items_.at(size_t(index)).get(); }
    TColumn* operator[](int index) const { return Items(index); }
    void Clear();
    void Move(int fromIndex, int toIndex);
    // Stored columns were added by the program; otherwise the grid made them from the fields.
    bool Stored() const { return stored_; }
    TDBGrid* Grid() const { return grid_; }

private:
    friend class TDBGrid;
    friend class TColumn;
    void changed();
    TDBGrid* grid_;
    std::vector<std::unique_ptr<TColumn>> items_;
    bool stored_ = false;
};

class TDBGrid : public TCustomGrid {
    MORVANE_CLASS_PROPS(TDBGrid, TCustomGrid)
public:
    explicit TDBGrid(TComponent* owner);
    ~TDBGrid() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;
    TDBGridColumns& Columns() { return columns_; }
    TDBGridOptions Options() const { return dbOptions_; }
    void SetOptions(TDBGridOptions v);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v) { readOnly_ = v; }
    // The font of the title row, kept apart from the grid's Font.
    TFont* TitleFont() { return &titleFont_; }
    const TFont& GetTitleFont() const { return titleFont_; }
    void SetTitleFont(const TFont& f) { titleFont_.Assign(f); }
    int IndicatorWidth() const { return 11; }
    // The column shown at a grid column (null for the indicator), and its field.
    TColumn* ColumnAt(int gridCol) const;
    TField* SelectedField() const;
    // The current record's row in the grid's record window (the data link's active record).
    int ActiveRecord() const;
    // What the grid tells assistive technology (DBGridAccessible.cpp), made when a client asks.
    IAccessibleTable* AccessibleTable() override;

    void KeyPress(char& key) override;
    void WMVScroll(int code, int pos) override;
    void Loaded() override;

    bool CanEditAcceptKey(char key) override;
    bool CanEditModify() override;
    bool CanEditShow() override;
    AnsiString GetEditText(int col, int row) override;
    void SetEditText(int col, int row, const AnsiString& value) override;
    AnsiString GetEditMask(int col, int row) override;
    int GetEditLimit() override;

protected:
    void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override;
    bool SelectCell(int col, int row) override;
    void ColWidthsChanged() override;
    void ColumnMoved(int fromIndex, int toIndex) override;
    void GridExit() override;
    void UpdateScrollRange() override;
    // Record navigation by keys; the rest goes to the base grid's.
    void GridKeyDown(Word& key, TShiftState shift) override;
    // A press on a record's cell moves the dataset to that record (and the current column there).
    void ClickCell(TGridCoord cell, TShiftState shift) override;
    bool DoMouseWheelDown(TShiftState shift, TPoint mousePos) override;
    bool DoMouseWheelUp(TShiftState shift, TPoint mousePos) override;
    void Resize() override;
    void FontChanged() override;
    // Scaling the window scales the stored column widths with every other size.
    void ChangeScale(int m, int d) override;
    void Notification(TComponent* component, Operation operation) override;

private:
    friend class DBGridLink;
    friend class TDBGridAccessibleFace;
    friend class TDBGridColumns;
    void layoutChanged();
    void linkActive();
    void dataChanged();
    void scrolled(int distance);
    void recordChanged(TField* field);
    void editingChanged();
    void updateData();
    void updateRowCount();
    void updateActive();
    void refreshEditor();
    int dataRows() const;
    int titleOffset() const { return dbOptions_.Contains(TDBGridOption::dgTitles) ? 1 : 0; }
    int indicatorOffset() const { return dbOptions_.Contains(TDBGridOption::dgIndicator) ? 1 : 0; }
    bool canModifyData() const;
    bool insertingUnchanged() const;
    void nextRecord();
    void priorRecord();
    void tabTo(bool forward);
    void deleteRecord();
    void drawIndicator(TCanvas& canvas, const TRect& rect, int dataRow);
    void writeText(TCanvas& canvas, const TRect& rect, const AnsiString& text, TAlignment alignment);

    TDataLink& dataLink() const;
    std::unique_ptr<class DBGridLink> link_;
    std::unique_ptr<TDBGridAccessibleFace> accessible_;
    TDBGridColumns columns_{this};
    TDBGridOptions dbOptions_;
    TFont titleFont_;
    bool titleFontStored_ = false;
    bool readOnly_ = false;
    int layoutBusy_ = 0;
    // The editor's text waiting to go into the field, and whether typing changed it.
    AnsiString pendingText_;
    bool modified_ = false;
};
