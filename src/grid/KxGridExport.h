#pragma once
// TkxGridExportFace: what the grid's export options read of a TkxDBGrid (IkxExportGrid, declared
// with the options in grid/support): its data link's fields, the columns' titles, widths, groups and
// control types, the looks, the export events, and the record window the export puts back. Every
// answer is read from the grid when asked; nothing is cached here.
#include "grid/support/KxExportOptions.h"

class TkxDBGrid;

class TkxGridExportFace : public IkxExportGrid {
public:
    explicit TkxGridExportFace(TkxDBGrid& grid) : grid_(grid) {}
    TkxDBGrid& Grid() const { return grid_; }

    TDataSet* DataSet() const override;
    bool LinkActive() const override;
    int FieldCount() const override;
    TField* Field(int col) const override;
    AnsiString CellText(int col) const override;
    std::vector<TBookmark> SelectedBookmarks() const override;
    int VisibleRow() const override;
    void MoveRecordToRow(int row) override;

    AnsiString Title(int col) const override;
    int WidthInChars(int col) const override;
    int PixelWidth(int col) const override;
    AnsiString GroupHeaderName(int col) const override;
    AnsiString FooterText(int col) const override;
    AnsiString ControlType(int col, AnsiString& parameters) const override;
    bool CheckBoxValues(int col, AnsiString& checked, AnsiString& unchecked) const override;
    bool ComboItems(int col, std::vector<AnsiString>& items, bool& mapList) const override;
    bool ShowsMemoText() const override;

    const TFont& Font() const override;
    const TFont& TitleFont() const override;
    TColor Color() const override;
    TColor TitleColor() const override;
    TAlignment TitleAlignment() const override;
    int TitleLines() const override;
    bool ShowsFooter() const override;
    TColor FooterColor() const override;
    TColor FooterCellColor() const override;
    TColor AlternatingRowColor() const override;
    bool RightToLeft() const override;

    bool ExportField(TField* field) override;
    void ExportSYLKFormat(TField* field, AnsiString& format) override;
    void CalcTitleAttributes(int col, TFont& font, TBrush& brush, TAlignment& alignment) override;
    void CalcCellColors(int col, TFont& font, TBrush& brush) override;

private:
    TkxDBGrid& grid_;
};
