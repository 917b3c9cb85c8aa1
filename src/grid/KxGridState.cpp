#include "grid/KxGridState.h"

#include "core/Format.h"
#include "grid/KxCustomDBGrid.h"
#include "grid/KxGridDataLink.h"
#include "ui/Application.h"

#include <algorithm>

namespace {
const char* boolText(bool v) {
    return v ? "true" : "false";
}
} // namespace

std::string GridStateJson(const TkxCustomDBGrid& grid) {
    const int ind = grid.IndicatorOffset(), columns = grid.DataColumnCount();
    std::string json = "{\n    \"columns\": [";
    for (int i = 0; i < columns; ++i) {
        const int c = i + ind;
        json += Format(
            "%s\n      {\"field\": %s, \"title\": %s, \"width\": %d, \"readOnly\": %s, \"tabStop\": %s, "
            "\"controlType\": %s}",
            i ? "," : "", JsonString(grid.GridColumnFieldName(c)), JsonString(grid.TitleText(i)),
            grid.ColWidths(c), boolText(grid.ColumnAt(i).ReadOnly()), boolText(grid.TabStops(c)),
            JsonString(grid.CacheItem(c).Type));
    }
    const TScrollInfo bar = grid.GetScrollInfo(sbVertical);
    json += Format(
        "\n    ],\n    \"fixedCols\": %d,\n    \"fixedGridCols\": %d,\n    \"col\": %d,\n    \"row\": %d,\n"
        "    \"topRow\": %d,\n    \"vertScrollBar\": {\"min\": %d, \"max\": %d, \"page\": %d, \"position\": "
        "%d},\n"
        "    \"rows\": [",
        grid.FixedCols(), grid.TCustomGrid::FixedCols(), grid.Col(), grid.Row(), grid.TopRow(), bar.Min,
        bar.Max, bar.Page, bar.Pos);
    TkxGridDataLink& link = grid.DataLink();
    const int rows = link.Active() ? std::min(link.RecordCount(), grid.VisibleRowCount()) : 0;
    for (int r = 0; r < rows; ++r) {
        TActiveRecordScope scope(link, r);
        std::string cells, checked;
        for (int i = 0; i < columns; ++i) {
            cells += (i ? ", " : "") + JsonString(grid.GetCellText(i));
            const bool box = grid.CacheItem(i + ind).Type == "CheckBox";
            checked += std::string(i ? ", " : "") + (box ? boolText(grid.CellShowsChecked(i + ind)) : "null");
        }
        json += Format("%s\n      {\"cells\": [%s], \"checked\": [%s]}", r ? "," : "", cells, checked);
    }
    return json + (rows ? "\n    ]\n  }" : "]\n  }");
}
