#pragma once
// Shared pieces of the window tests: shop databases with a changed schema, the application on the
// offscreen platform, and runs of the real program in a child process.
#include "app/XDisplay.h"
#include "support/FirebirdDb.h"
#include "ui/Control.h"

#include <QJsonArray>
#include <QJsonObject>

#include <string>
#include <vector>

// db/schema.sql with each `cut` removed (a column line, a constraint) or replaced by its pair's second.
std::string SchemaWith(const std::vector<std::pair<std::string, std::string>>& edits);

// SQL adding `count` lines of the bill `bill` to SAL_SUB, numbered from 1, their TEMPPRODID "P00001" on.
std::string BillLines(int count, const std::string& bill);

// SQL adding customers G0000001 … G<count> (named N<number>) to `table`; and a shop whose customer
// list is a view of 1000 of them that fails to compute its 500th row (division by zero).
std::string Customers(int count, const char* table = "CUSTOMER");
std::string CustomersFailingAtRow500();

// The demo shop (schema and db/demo.sql), made once per test program.
const TestDatabase& DemoDatabase();

// Starts the application as the program entry does, the grid library's settings object included.
void StartApplication();

// One run of build/bin/morvane with the arguments, offscreen, message boxes answered at once, the
// window's state written when it is shown.
struct ProgramRun {
    int exitCode = -1;
    std::string errors;  // standard error: one "caption: text" line per message box
    bool hasState = false;
    QJsonObject state;

    // The lines of the message boxes shown ("caption: text", the text's line breaks kept).
    std::string Boxes() const;
    // A control's text and a dataset's entry of the state.
    QString Text(const char* control) const;
    QJsonObject DataSet(const char* name) const;
};
// `env`: further "NAME=value" settings, replacing the test's own of the same name.
ProgramRun RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& env = {});

// The centre of `r` (in `c`'s client coordinates) as a spot of the window `form`.
Spot SpotIn(const TControl& form, const TControl& c, const TRect& r);

// UTF-8 literal as the state file writes it.
inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }
