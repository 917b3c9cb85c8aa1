// The window's exports read back by a real spreadsheet: LibreOffice Calc (headless) converts each
// export of the customer grid to UTF-8 CSV, and every cell must read back as the grid shows it, for
// customers whose texts a spreadsheet likes to misread (leading zeros, quotes, markup characters,
// tabs, line breaks, Big5 characters whose second byte is "\", "|" or "~", empty values, formulas).
// A line break reads back as LF whatever the grid holds (CR LF or LF). HTML folds a tab to a blank.
// Fixed-width text is read by position, byte by byte (a Big5 character is two columns wide, as on
// the screen); there only values that fit their column and hold no line break must come back.
#include "app/AppSupport.h"
#include "app/FrmMorvane.h"
#include "grid/KxGridExport.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

extern char** environ;

namespace {
namespace fs = std::filesystem;

const char* const kCustomers =
    "INSERT INTO CUSTOMER VALUES ('007', 'He said \"hi\"', '0123');"
    "INSERT INTO CUSTOMER VALUES ('0123', 'A&B <Ltd>; x,y', NULL);"
    "INSERT INTO CUSTOMER VALUES ('F1', '=1+2', '@SUM(A1)');"
    "INSERT INTO CUSTOMER VALUES ('T1', 'a' || ASCII_CHAR(9) || 'b', '');"
    "INSERT INTO CUSTOMER VALUES ('L1', 'one' || ASCII_CHAR(13) || ASCII_CHAR(10) || 'two', 'x');"
    "INSERT INTO CUSTOMER VALUES ('L2', 'one' || ASCII_CHAR(10) || 'two', NULL);"
    "INSERT INTO CUSTOMER VALUES ('B5', '許功蓋弋四', '外');"
    "INSERT INTO CUSTOMER VALUES ('E1', '', NULL);"
    "INSERT INTO CUSTOMER VALUES ('S1', 'two  blanks', '-1');"
    "INSERT INTO CUSTOMER VALUES ('Q1', '\"', '1E3')";

using Table = std::vector<std::vector<std::string>>;

std::string readFile(const std::string& path) {
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// RFC 4180 text as rows of cells.
Table parseCsv(const std::string& text) {
    Table rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"')
                rows.back().back() += c;
            else if (i + 1 < text.size() && text[i + 1] == '"')
                rows.back().back() += text[++i];
            else
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\n') {
            rows.emplace_back(1);
        } else if (c != '\r') {
            rows.back().back() += c;
        }
    }
    if (rows.back() == std::vector<std::string>(1)) rows.pop_back();
    return rows;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// A run of a program to its end (at most two minutes); its exit code.
int run(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.push_back(*e);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    const pid_t pid = Spawn(args, env, "/dev/null", "/dev/null");
    if (pid <= 0) return -1;
    const int code = WaitFor(pid, std::chrono::minutes(2));
    if (code == -1) Stop(pid);
    return code;
}

struct Format {
    const char* name;
    int filter;            // the save dialog's filter
    const char* delimiter; // the grid's delimiter for the export
    std::string infilter;
    bool big5Locale; // the reader takes the system's character set
};
} // namespace

TEST(SpreadsheetReadBack, EveryExportOfTheWindowReadsBackCellByCell) {
    if (run({"soffice", "--version"}, {}) != 0) GTEST_SKIP() << "LibreOffice comes with scripts/setup.sh";
    const std::string dir = MakeTempDir();
    // The Big5 locale of the SYLK reader, built into the test's folder.
    fs::create_directories(dir + "/locale");
    ASSERT_EQ(run({"localedef", "-i", "zh_TW", "-f", "BIG5", dir + "/locale/zh_TW.BIG5"}, {}), 0);

    StartApplication();
    TestDatabase db(kCustomers);
    WriteConnectionFiles(db.Dir(), db.Path());
    TFormMorvane form(Application);
    form.Show();
    TkxDBGrid* g = form.kxDBGrid1;
    TkxGridExportFace face(*g);
    const int cols = g->MappedFieldCount();
    ASSERT_EQ(cols, 4);
    // What the grid shows: the titles, then each customer.
    Table shown(1);
    std::vector<int> widths; // fixed-width columns in bytes
    for (int c = 0; c < cols; ++c) {
        shown[0].push_back(codepage::ToUtf8(face.Title(c)));
        widths.push_back(std::max(int(face.Title(c).size()), face.WidthInChars(c)) + 2);
    }
    for (form.CDS_CUST->First(); !form.CDS_CUST->Eof(); form.CDS_CUST->Next()) {
        shown.emplace_back();
        for (int c = 0; c < cols; ++c)
            shown.back().push_back(replaceAll(codepage::ToUtf8(g->GetCellText(c)), "\r\n", "\n"));
    }
    form.CDS_CUST->First();

    std::string fixedColumns = "FIX,34,12,1,";
    for (int c = 0, at = 0; c < cols; at += widths[size_t(c)] + 1, ++c)
        fixedColumns += (c ? "/" : "") + std::to_string(at) + "/2";
    const Format formats[] = {
        {"delimited text", 0, ",", "Text - txt - csv (StarCalc):44,34,68,1,1/2/2/2/3/2/4/2", false},
        {"fixed width", 0, "", "Text - txt - csv (StarCalc):" + fixedColumns, false},
        {"HTML", 1, ",", "HTML (StarCalc)", false},
        {"SYLK", 2, ",", "SYLK", true},
    };
    const std::string profile = "-env:UserInstallation=file://" + dir + "/profile";
    for (const Format& f : formats) {
        SCOPED_TRACE(f.name);
        const std::string file = dir + "/" + std::to_string(f.filter) + f.delimiter + "export.txt";
        g->ExportOptions()->SetDelimiter(f.delimiter);
        form.CustomerGridMenu().ExportTo(file, f.filter);
        g->ExportOptions()->SetDelimiter(",");
        std::vector<std::string> env;
        if (f.big5Locale) env = {"LOCPATH=" + dir + "/locale", "LANG=zh_TW.BIG5", "LC_ALL=zh_TW.BIG5"};
        ASSERT_EQ(run({"soffice", profile, "--headless", "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76",
                       "--infilter=" + f.infilter, "--outdir", dir + "/out", file},
                      env),
                  0);
        const std::string csv = dir + "/out/" + fs::path(file).stem().string() + ".csv";
        Table read = parseCsv(readFile(csv));
        fs::remove(csv);
        if (f.delimiter[0] == 0) {
            // Read as ISO 8859-1, one character per byte: back to the bytes, then from Big5.
            for (auto& row : read)
                for (auto& cell : row)
                    cell = codepage::ToUtf8(QString::fromUtf8(cell).toLatin1().toStdString());
        }
        // The titles row, then the customers (HTML has a title row and an empty row around it).
        size_t at = 0;
        while (at < read.size() && read[at] != shown[0])
            ++at;
        ASSERT_LT(at, read.size()) << readFile(file);
        do
            ++at;
        while (at < read.size() && std::all_of(read[at].begin(), read[at].end(), [](auto& c) { return c.empty(); }));
        const bool fixed = f.delimiter[0] == 0;
        size_t lines = 0; // in the file: a line break inside a fixed-width value starts another line
        for (size_t r = 1; r < shown.size(); ++r)
            for (const std::string& cell : shown[r])
                lines += fixed ? std::count(cell.begin(), cell.end(), '\n') : 0;
        ASSERT_EQ(read.size() - at, shown.size() - 1 + lines);
        for (size_t r = 1; r < shown.size(); ++r) {
            for (int c = 0; c < cols; ++c) {
                std::string expected = shown[r][size_t(c)];
                const std::string got = size_t(c) < read[at].size() ? read[at][size_t(c)] : std::string();
                if (f.filter == 1) expected = replaceAll(expected, "\t", " ");
                // Fixed width: a value longer than its column pushes the next ones aside, a line
                // break moves the rest of its record to another line.
                if (fixed && (int(codepage::FromUtf8(expected).size()) > widths[size_t(c)] - 2 ||
                              std::any_of(shown[r].begin(), shown[r].end(),
                                          [](auto& v) { return v.find('\n') != std::string::npos; })))
                    continue;
                EXPECT_EQ(got, expected) << "row " << r << ", column " << c;
            }
            at += 1;
            for (const std::string& cell : shown[r])
                at += fixed ? std::count(cell.begin(), cell.end(), '\n') : 0;
        }
    }
    fs::remove_all(dir);
}
