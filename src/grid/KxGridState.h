#pragma once
// The customer grid's part of the headless state file (MORVANE_STATE): what the grid shows, read
// back as a calling program or a test sees it. One field read per shown cell; nothing is fetched.
#include <string>

class TkxCustomDBGrid;

// A JSON object: "columns" (per data column: field, title, width in pixels, readOnly, tabStop,
// controlType), "fixedCols" (the stored count of frozen data columns) and "fixedGridCols" (the base
// grid's fixed columns, indicator included), the current cell "col" and "row" and "topRow" (grid
// indices), "vertScrollBar" (min, max, page, position) and "rows": per data row shown, "cells" (the
// cell texts) and "checked" (per column whether its box shows checked; null for other columns).
std::string GridStateJson(const TkxCustomDBGrid& grid);
