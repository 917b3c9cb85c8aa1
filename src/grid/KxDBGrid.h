#pragma once
// TkxDBGrid: the selection grid as a form stores it. It publishes the settings of TkxCustomDBGrid
// by name and adds what the published grid does beyond the common one: the set-up of embedded
// controls, the control-cell test, the refinements of cell text, what activation does after the
// layout (the column list applied onto the fields), the tab stops of calculated control columns,
// the field-changed mark and the layout persistence settings.
#include "grid/KxCustomDBGrid.h"
#include "grid/support/KxExportOptions.h"
#include "grid/support/KxIniAttributes.h"

class TkxGridExportFace;

// ---- layout persistence and export: event types ----
// Grid, the field offered, Accept (preset True; False leaves the field out of the export).
using TkxExportFieldEvent = std::function<void(TObject* grid, TField* field, bool& accept)>;
// Grid, the field, the SYLK number format chosen for it (may be replaced).
using TkxExportSYLKFormatEvent = std::function<void(TObject* grid, TField* field, AnsiString& sylkFormat)>;
class TkxDBCustomDateTimePicker;
// Sender, the picker just made.
using TkxCreateDateTimePickerEvent = std::function<void(TObject* sender, TkxDBCustomDateTimePicker* picker)>;

// ---- memo dialog: types ----
// How the grid treats memo fields: mGridShow shows their text in the cells instead of "(Memo)".
enum class TkxMemoAttribute { mGridShow };
using TkxMemoAttributes = TSmallSet<TkxMemoAttribute>;
constexpr TkxMemoAttribute mGridShow = TkxMemoAttribute::mGridShow;

class TkxDBGrid : public TkxCustomDBGrid {
    MORVANE_CLASS_PROPS(TkxDBGrid, TkxCustomDBGrid)
public:
    explicit TkxDBGrid(TComponent* owner);
    ~TkxDBGrid() override;

    TkxIniAttributes* IniAttributes() const { return iniAttributes_.get(); }
    // Titles behave as push buttons (their looks and clicks come with painting and the mouse).
    bool TitleButtons() const { return titleButtons_; }
    void SetTitleButtons(bool v);
    // The classic look even where the platform's visual styles are active.
    bool DisableThemes() const { return disableThemes_; }
    void SetDisableThemes(bool v);
    // A field of the current record changed since the editor's text was last written; the editor's
    // commit reads and clears it.
    bool FieldChangedMark() const { return fieldChangedMark_; }
    void SetFieldChangedMark(bool v) { fieldChangedMark_ = v; }
    bool EmbeddedControlsSetUp() const { return embeddedSetUp_; }

    // An embedded-control type answers no type while custom controls are disabled.
    void GetControlType(std::string_view fieldName, AnsiString& type, AnsiString& parameters) const override;
    // Check box, picture, image, embedded control (when found) or date/time cell.
    bool IsControlCell(int gridCol, int gridRow) const override;
    // Once: the controls the control-type list names are hidden, put into the grid and bound.
    void SetUpEmbeddedControls() override;
    void ActivationChanged(bool active) override;
    void ApplyColumnWidths() override;
    void RecordsScrolled(int distance) override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;
    AnsiString GetCellText(int dataCol) const override;
    void Loaded() override;

    // ---- painting (KxGridPaint.cpp) ----
    bool ThemedLook() const override;
    bool TitleButtonsShown() const override { return titleButtons_; }

    // ---- layout persistence and export (KxGridLayout.cpp, KxGridExport.cpp) ----
    // Layout persistence: the column layout read back at the first window creation and written at
    // destruction while IniAttributes()->Enabled(). A save made while the grid is being destroyed
    // hands a failure to the application instead of raising it.
    virtual void LoadLayout();
    virtual void SaveLayout();
    // The export events' dispatchers (nothing without a handler).
    virtual void DoExportField(TField* field, bool& accept);
    virtual void DoExportSYLKFormat(TField* field, AnsiString& sylkFormat);
    TkxExportOptions* ExportOptions() const { return exportOptions_.get(); }
    // Copy (KxGridCopy.cpp): the current record, or the records of the multi-selection when there
    // is one, or the records `accept` takes (asked on each record in dataset order), to the
    // clipboard through ExportOptions(). Ctrl+C copies the current record or the selection.
    virtual void CopyToClipboard();
    void CopyToClipboard(const std::function<bool()>& accept);
    TkxExportFieldEvent OnExportField;
    TkxExportSYLKFormatEvent OnExportSYLKFormat;

    // ---- in-place editor and date/time picker (KxGridEditing.cpp) ----
    // The grid's date/time picker, made the first time a date/time column becomes current; null
    // until then.
    TkxDBCustomDateTimePicker* DateTimePicker() const;
    // Fired once, after the picker was made.
    TkxCreateDateTimePickerEvent OnCreateDateTimePicker;

    // ---- memo dialog (KxMemoDialog.cpp) ----
    TkxMemoAttributes MemoAttributes() const { return memoAttributes_; }
    void SetMemoAttributes(TkxMemoAttributes v);
    // F2 on a memo cell: the memo dialog for the current field, then the cell is repainted.
    virtual void OpenMemoDialog();

protected:
    void CreateWnd() override;
    // A column became current: its embedded control is placed over the cell, or for a date/time
    // field the picker is made (once), bound to the field, made read-only as the field or column
    // is, hidden and placed over the cell.
    void UpdateCurrentEmbeddedControl() override;

    // ---- mouse and keys (KxGridInput.cpp), sizing and moving (KxGridSizing.cpp) ----
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    // A press that fired OnClick itself (frozen-column editing) is not clicked again at its release.
    void Click() override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void GridKeyDown(Word& key, TShiftState shift) override;
    void GridExit() override;
    void ColumnMoved(int fromIndex, int toIndex) override;
    bool TitleButtonsOn() const override { return titleButtons_; }
    void RowResized(int row) override;

private:
    bool pressClicked_ = false; // this press fired OnClick: the release's click is taken
    std::unique_ptr<TkxIniAttributes> iniAttributes_;
    // ---- layout persistence and export ----
    void saveLayout();
    std::unique_ptr<TkxGridExportFace> exportFace_;
    std::unique_ptr<TkxExportOptions> exportOptions_;
    bool titleButtons_ = false;
    bool disableThemes_ = false;
    bool fieldChangedMark_ = false;
    bool embeddedSetUp_ = false;
    bool layoutLoadPending_ = true;
    int activating_ = 0; // activation in progress (nested count)
    // ---- memo dialog ----
    TkxMemoAttributes memoAttributes_;
};
