// The grid's side of the export: TkxGridExportFace answers the export options from a TkxDBGrid,
// and the grid's two export-event dispatchers. Each answer is a lookup in the grid's column model,
// control types or data link; putting the record back on its row costs two dataset moves of at
// most a window of records.
#include "grid/KxGridExport.h"

#include "data/DataSource.h"
#include "grid/KxDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "grid/KxListLines.h"

#include <utility>

// ---- the grid's own parts ----

void TkxDBGrid::DoExportField(TField* field, bool& accept) {
    if (OnExportField) OnExportField(this, field, accept);
}

void TkxDBGrid::DoExportSYLKFormat(TField* field, AnsiString& format) {
    if (OnExportSYLKFormat) OnExportSYLKFormat(this, field, format);
}

// ---- data ----

TDataSet* TkxGridExportFace::DataSet() const {
    return grid_.DataSource() ? grid_.DataSet() : nullptr;
}

bool TkxGridExportFace::LinkActive() const {
    return grid_.DataLink().Active();
}

int TkxGridExportFace::FieldCount() const {
    return grid_.MappedFieldCount();
}

TField* TkxGridExportFace::Field(int col) const {
    return grid_.MappedField(col);
}

AnsiString TkxGridExportFace::CellText(int col) const {
    return grid_.GetCellText(col);
}

std::vector<TBookmark> TkxGridExportFace::SelectedBookmarks() const {
    return grid_.SelectedBookmarks();
}

int TkxGridExportFace::VisibleRow() const {
    return grid_.DataLink().ActiveRecord();
}

void TkxGridExportFace::MoveRecordToRow(int row) {
    TDataSet* ds = DataSet();
    if (!ds) return;
    TkxGridDataLink& link = grid_.DataLink();
    const int now = link.ActiveRecord();
    // The window starts too early: go past its end by the difference and back, so that it moves down.
    // Too late: go above its start by the difference and back, so that it moves up.
    int moved = 0;
    if (now > row)
        moved = ds->MoveBy(link.BufferCount() - 1 - row);
    else if (now < row)
        moved = ds->MoveBy(-row);
    if (moved) ds->MoveBy(-moved);
}

// ---- columns ----

AnsiString TkxGridExportFace::Title(int col) const {
    return grid_.ColumnAt(col).DisplayLabel();
}

int TkxGridExportFace::WidthInChars(int col) const {
    return grid_.ColumnAt(col).DisplayWidth();
}

int TkxGridExportFace::PixelWidth(int col) const {
    const int c = col + grid_.IndicatorOffset();
    return c >= 0 && c < grid_.ColCount() ? grid_.ColWidths(c) : 0;
}

AnsiString TkxGridExportFace::GroupHeaderName(int col) const {
    return grid_.ColumnAt(col).GroupHeaderName();
}

AnsiString TkxGridExportFace::FooterText(int col) const {
    return grid_.ColumnAt(col).FooterText();
}

AnsiString TkxGridExportFace::ControlType(int col, AnsiString& parameters) const {
    AnsiString type;
    parameters.clear();
    if (TField* f = Field(col)) grid_.GetControlType(f->FieldName(), type, parameters);
    return type;
}

bool TkxGridExportFace::CheckBoxValues(int col, AnsiString& checked, AnsiString& unchecked) const {
    return grid_.FindCheckBoxValues(col + grid_.IndicatorOffset(), grid_.TitleRowCount(), checked, unchecked);
}

bool TkxGridExportFace::ComboItems(int col, std::vector<AnsiString>& items, bool& mapList) const {
    AnsiString parameters;
    if (!SameText(ControlType(col, parameters), "CustomEdit")) return false;
    TWinControl* c = grid_.FindControlByName(SplitListLine(parameters, ';')[0]);
    if (!c || !c->InheritsFrom("TkxDBComboBox")) return false;
    const PropValue list = c->GetProperty("Items");
    const auto* persistent = std::get_if<TPersistent*>(&list);
    const auto* lines = persistent ? dynamic_cast<const TStringList*>(*persistent) : nullptr;
    items = lines ? lines->Lines() : std::vector<AnsiString>();
    const PropValue map = c->GetProperty("MapList");
    mapList = std::holds_alternative<bool>(map) && std::get<bool>(map);
    return true;
}

// Memo fields show their text only with mGridShow in the grid's MemoAttributes.
bool TkxGridExportFace::ShowsMemoText() const {
    return grid_.MemoAttributes().Contains(mGridShow);
}

// ---- looks ----

const TFont& TkxGridExportFace::Font() const {
    return std::as_const(grid_).Font();
}

const TFont& TkxGridExportFace::TitleFont() const {
    return grid_.TitleFont();
}

TColor TkxGridExportFace::Color() const {
    return grid_.Color();
}

TColor TkxGridExportFace::TitleColor() const {
    return grid_.TitleColor();
}

TAlignment TkxGridExportFace::TitleAlignment() const {
    return grid_.TitleAlignment();
}

int TkxGridExportFace::TitleLines() const {
    return grid_.TitleLines();
}

bool TkxGridExportFace::ShowsFooter() const {
    return grid_.Options().Contains(dgShowFooter);
}

TColor TkxGridExportFace::FooterColor() const {
    return grid_.FooterColor();
}

TColor TkxGridExportFace::FooterCellColor() const {
    return grid_.FooterCellColor();
}

TColor TkxGridExportFace::AlternatingRowColor() const {
    return grid_.PaintOptions()->AlternatingRowColor();
}

// Controls on this platform have no bidirectional mode: always left to right.
bool TkxGridExportFace::RightToLeft() const {
    return false;
}

// ---- events ----

bool TkxGridExportFace::ExportField(TField* field) {
    bool accept = true;
    grid_.DoExportField(field, accept);
    return accept;
}

void TkxGridExportFace::ExportSYLKFormat(TField* field, AnsiString& format) {
    grid_.DoExportSYLKFormat(field, format);
}

// The painting hooks, as a title or a data cell of the current record would be painted: the field
// name of the column, an empty draw state, no highlight.
void TkxGridExportFace::CalcTitleAttributes(int col, TFont& font, TBrush& brush, TAlignment& alignment) {
    if (!grid_.OnCalcTitleAttributes) return;
    TField* f = Field(col);
    grid_.OnCalcTitleAttributes(&grid_, f ? f->FieldName() : AnsiString(), &font, &brush, alignment);
}

void TkxGridExportFace::CalcCellColors(int col, TFont& font, TBrush& brush) {
    if (grid_.OnCalcCellColors)
        grid_.OnCalcCellColors(&grid_, Field(col), TGridDrawState{}, false, &font, &brush);
}
