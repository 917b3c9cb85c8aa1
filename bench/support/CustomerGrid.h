#pragma once
// The window's customer grid for the benchmarks: the window's customer statement, a counting client
// dataset reaching it through a provider, and the grid with the window's column list, control type,
// options and size on a form of the window's font. Nothing is attached, opened or shown: each
// benchmark does that in the order it measures.
#include "core/Component.h"
#include "data/DataSource.h"
#include "grid/KxDBGrid.h"
#include "support/CountingDataSet.h"
#include "ui/Form.h"

#include <memory>

extern const char* const kCustomerStatement;

// A form of the window's font (細明體, 15 pixels, Big5), owned by the application.
std::unique_ptr<TForm> NewWindowFontForm(int width, int height);
// The window's customer grid on `form`, 401 x 455 at (1, top).
TkxDBGrid* NewCustomerGrid(TForm* form, int top = 1);

struct CustomerScene {
    explicit CustomerScene(const char* statement = kCustomerStatement);
    TComponent owner{nullptr}; // the statement, provider, dataset and source
    TCountingDataSet* cds;
    TDataSource* source;
    std::unique_ptr<TForm> form;
    TkxDBGrid* grid;
};
