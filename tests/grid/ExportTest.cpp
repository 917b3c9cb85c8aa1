// Export over real customers: the bytes of every format for the cases that matter, the escaping of
// HTML, the quoting of text, the clipboard read back through Qt, and the dataset put back on its
// record, its row and its controls, also after a failure.
#include "core/Exception.h"
#include "core/SysUtils.h"
#include "grid/KxGridExport.h"
#include "grid/support/GridFixture.h"
#include "grid/support/KxExportOptions.h"
#include "support/FirebirdDb.h"
#include "ui/Clipboard.h"
#include "ui/Screen.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <unistd.h>

namespace {
// Three customers: markup characters, a quote and an empty class, Big5 characters whose second
// byte is "\" (許 B3 5C, 功 A5 5C, 蓋 BB 5C) or "~" (外 A5 7E).
const TestDatabase& exportDb() {
    static TestDatabase db("INSERT INTO CUSTOMER VALUES ('C001', 'A&B <Ltd>', 'A');"
                           "INSERT INTO CUSTOMER VALUES ('C002', '外功\"客', NULL);"
                           "INSERT INTO CUSTOMER VALUES ('C003', '許功蓋', 'B')");
    return db;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs an export of `options` into a new file and answers its bytes.
std::string exportToFile(TkxExportOptions& options) {
    const std::string file = MakeTempDir() + "/out";
    options.SetFileName(file);
    options.RunExport();
    return readFile(file);
}

const char* const kFs = "STYLE=\"font-family: 細明體;font-size: 11 pt;color:#000000;\"";

AnsiString width(const GridHarness& h, int dataCol) {
    return IntToStr(h.grid->ColWidths(dataCol + 1));
}

// The grid as the export sees it with a multi-selection of a test's choosing.
struct SelectionFace : TkxGridExportFace {
    using TkxGridExportFace::TkxGridExportFace;
    std::vector<TBookmark> selected;
    std::vector<TBookmark> SelectedBookmarks() const override { return selected; }
};

// The grid's colour hooks: the name cells in red, bold italic, on aqua; the ID title in Arial on
// yellow, centred.
void colourHooks(TkxDBGrid* g) {
    g->OnCalcCellColors = [](TObject*, TField* f, TGridDrawState, bool, TFont* font, TBrush* brush) {
        if (f->FieldName() != "CUST_NAME") return;
        font->SetColor(clRed);
        font->SetStyle({TFontStyle::fsBold, TFontStyle::fsItalic});
        brush->SetColor(clAqua);
    };
    g->OnCalcTitleAttributes = [](TObject*, const AnsiString& name, TFont* font, TBrush* brush,
                                  TAlignment& alignment) {
        if (name != "CUST_ID") return;
        font->SetName("Arial");
        brush->SetColor(clYellow);
        alignment = taCenter;
    };
}
// A combo box of the grid library as the export reads it: its items and whether they map shown texts
// to stored values.
class TkxDBComboBox : public TWinControl {
    MORVANE_CLASS_PROPS(TkxDBComboBox, TWinControl)
public:
    using TWinControl::TWinControl;
    TStringList items;
    bool mapList = false;
    const TStringList& Items() const { return items; }
    void SetItems(const TStringList& l) { items.Assign(l); }
    bool MapList() const { return mapList; }
    void SetMapList(bool v) { mapList = v; }
};
void TkxDBComboBox::DefineProperties(ClassInfo& info) {
    info.Add("Items", &TkxDBComboBox::Items, &TkxDBComboBox::SetItems);
    info.Add("MapList", &TkxDBComboBox::MapList, &TkxDBComboBox::SetMapList);
}
} // namespace

TEST(Export, TextDelimitedAndFixedWidth) {
    GridHarness h(exportDb());
    h.ShowLikeTheWindow();
    TkxExportOptions& eo = *h.grid->ExportOptions();
    EXPECT_EQ(eo.Options().Bits(), 1049u);
    // Defaults: quoted titles and values, an empty value stays empty; a quote inside a value is
    // doubled so that the line reads back.
    EXPECT_EQ(exportToFile(eo), Ansi("\"選擇\",\"客戶代號\",\"客戶名稱\",\"客戶類別\"\r\n"
                                     "\"N\",\"C001\",\"A&B <Ltd>\",\"A\"\r\n"
                                     "\"N\",\"C002\",\"外功\"\"客\",\r\n"
                                     "\"N\",\"C003\",\"許功蓋\",\"B\"\r\n"));

    // Fixed width: title or column width (bytes), + 2 for the quotes; the record number in 8. A
    // quote inside a value stays single: the column is found by its place, not by its quotes.
    eo.SetDelimiter("");
    eo.SetOptions(eo.Options() + TkxExportSaveOptions{esoShowRecordNo});
    EXPECT_EQ(exportToFile(eo),
              Ansi("       # \"選擇\" \"客戶代號\" \"客戶名稱\"          \"客戶類別\"\r\n"
                   "     \"1\" \"N\"    \"C001\"     \"A&B <Ltd>\"         \"A\"       \r\n"
                   "     \"2\" \"N\"    \"C002\"     \"外功\"客\"           \"\"        \r\n"
                   "     \"3\" \"N\"    \"C003\"     \"許功蓋\"            \"B\"       \r\n"));

    // A refused last field leaves the separator after the one before it; no header without
    // esoShowHeader; without quoting the values go as they are.
    h.grid->OnExportField = [](TObject*, TField* f, bool& accept) {
        accept = f->FieldName() != "CUST_CLASSID";
    };
    eo.SetDelimiter(";");
    eo.SetOptions({});
    EXPECT_EQ(exportToFile(eo), Ansi("N;C001;A&B <Ltd>;\r\nN;C002;外功\"客;\r\nN;C003;許功蓋;\r\n"));
    eo.SetDelimiter("");
    EXPECT_EQ(exportToFile(eo),
              Ansi("N    C001     A&B <Ltd>         \r\nN    C002     外功\"客           \r\n"
                   "N    C003     許功蓋            \r\n"));

    // QuoteField alone.
    eo.SetOptions({esoDblQuoteFields});
    EXPECT_EQ(eo.QuoteField(""), "\"\"");
    EXPECT_EQ(eo.QuoteField("a\"\"b"), "\"a\"\"b\"");
    eo.SetDelimiter(",");
    EXPECT_EQ(eo.QuoteField(""), "");
    EXPECT_EQ(eo.QuoteField("a\"\"b"), "\"a\"\"\"\"b\"");
    eo.SetOptions({});
    EXPECT_EQ(eo.QuoteField("\"x\""), "\"x\"");
}

TEST(Export, HtmlTableWithoutGroups) {
    GridHarness h(exportDb());
    h.ShowLikeTheWindow();
    TkxExportOptions& eo = *h.grid->ExportOptions();
    eo.SetExportType(kxgetHTML);
    eo.SetTitleName("Customers & <more>");
    const std::string file = MakeTempDir() + "/list&.htm";
    eo.SetFileName(file);
    eo.RunExport();
    const AnsiString fs = Ansi(kFs);
    auto row = [&](const char* id, const char* name, const char* cls) {
        // Text cells are marked as text for spreadsheets.
        return "<TR VALIGN=\"TOP\" " + fs + ">\r\n<TD NOWRAP SDNUM=\"1033;0;@\" WIDTH=\"" + width(h, 0) +
               "\" SCOPE=\"row\">N</TD>\r\n" + "<TD NOWRAP ALIGN=\"left\" SDNUM=\"1033;0;@\" WIDTH=\"" +
               width(h, 1) + "\" SCOPE=\"row\">" + id + "</TD>\r\n" +
               "<TD NOWRAP ALIGN=\"left\" SDNUM=\"1033;0;@\" WIDTH=\"" + width(h, 2) + "\" SCOPE=\"row\">" +
               Ansi(name) + "</TD>\r\n" + "<TD NOWRAP ALIGN=\"left\" SDNUM=\"1033;0;@\" WIDTH=\"" +
               width(h, 3) + "\" SCOPE=\"row\">" + cls + "</TD>\r\n</TR>\r\n";
    };
    auto title = [&](const char* text) {
        return "<TD ALIGN=\"left\" SCOPE=\"col\" bgcolor=#D4D0C8 RowSpan=\"2\">" + Ansi(text) + "</TD>\r\n";
    };
    // The code page declared right after <HEAD>; every text escaped, the format's markup not.
    const AnsiString expected =
        "<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
        "charset=big5\">\r\n<TITLE>" +
        file.substr(0, file.size() - 5) + "&amp;.htm</TITLE>\r\n</HEAD>\r\n<BODY>\r\n" +
        "<TABLE ALIGN=Center BORDER=\"1\" CELLPADDING=\"1\" CELLSPACING=\"0\" dir=\"LTR\" "
        "BGCOLOR=#FFFFFF>\r\n" +
        "<THEAD>\r\n<TR " + fs + " BGCOLOR=#D4D0C8>\r\n" +
        "<TH colspan=\"4\" scope=\"colgroup\">Customers &amp; &lt;more&gt;</TH>\r\n</TR>\r\n" + "<TR " + fs +
        " ALIGN=left>\r\n" + title("選擇") + title("客戶代號") + title("客戶名稱") + title("客戶類別") +
        "</TR>\r\n<TR></TR>\r\n</THEAD>\r\n<TBODY>\r\n" + row("C001", "A&amp;B &lt;Ltd&gt;", "A") +
        row("C002", "外功&quot;客", "") + row("C003", "許功蓋", "B") +
        "</TBODY>\r\n</BODY>\r\n</TABLE>\r\n</HTML>\r\n";
    EXPECT_EQ(readFile(file), expected);
}

TEST(Export, HtmlGroupsFooterAndAnEmptySelection) {
    GridHarness h(exportDb());
    h.grid->SetUseTFields(false);
    h.ShowLikeTheWindow();
    h.grid->SetSelected(TStringList{"CUST_ID\t8\tID\t\tInfo", "CUST_NAME\t17\tName~<Full>\t\tInfo",
                                    "CUST_CLASSID\t8\tClass"});
    h.grid->ApplyColumnList();
    h.grid->SetOptions(h.grid->Options() + TkxDBGridOptions{dgShowFooter});
    h.grid->ColumnAt(1).SetFooterText("Total <3>");
    // The footer band and its cells in the grid's footer colours.
    h.grid->SetFooterColor(clSilver);
    h.grid->SetFooterCellColor(clYellow);
    TkxExportOptions& eo = *h.grid->ExportOptions();
    eo.SetExportType(kxgetHTML);
    eo.SetOptions({esoShowHeader, esoShowFooter, esoSaveSelectedOnly, esoTransparentGrid});
    const std::string html = exportToFile(eo);
    const AnsiString fs = Ansi(kFs);
    const AnsiString head =
        "dir=\"LTR\">\r\n<THEAD>\r\n<TR " + fs + " ALIGN=left>\r\n" +
        "<TD SCOPE=\"col\" bgcolor=#D4D0C8 ALIGN=CENTER ColSpan=\"2\">Info</TD>\r\n" +
        "<TD ALIGN=\"left\" SCOPE=\"col\" bgcolor=#D4D0C8 RowSpan=\"2\">Class</TD>\r\n</TR>\r\n" + "<TR " +
        fs + " ALIGN=left>\r\n<TD ALIGN=\"left\" SCOPE=\"col\" bgcolor=#D4D0C8 >ID</TD>\r\n" +
        "<TD ALIGN=\"left\" SCOPE=\"col\" bgcolor=#D4D0C8 "
        ">Name<BR>&lt;Full&gt;</TD>\r\n</TR>\r\n</THEAD>\r\n" +
        "<TFOOT " + fs + " BGCOLOR=#C0C0C0>\r\n<TD>&nbsp;</TD>\r\n<TD ALIGN=left " + fs +
        " BGCOLOR=#FFFF00>Total &lt;3&gt;</TD>\r\n<TD>&nbsp;</TD>\r\n</TFOOT>\r\n<TBODY>\r\n" +
        "<TR BGCOLOR=#D4D0C8><TH colspan=3 scope=colgroup>No Records Selected</TH></TR>\r\n" +
        "</TBODY>\r\n</BODY>\r\n</TABLE>\r\n</HTML>\r\n";
    EXPECT_NE(html.find(head), std::string::npos) << html;

    // A refused member of the group: the group spans what is left.
    h.grid->OnExportField = [](TObject*, TField* f, bool& accept) { accept = f->FieldName() != "CUST_ID"; };
    const std::string refused = exportToFile(eo);
    EXPECT_NE(refused.find("ALIGN=CENTER ColSpan=\"1\">Info</TD>\r\n"), std::string::npos);
    EXPECT_EQ(refused.find(">ID</TD>"), std::string::npos);
}

TEST(Export, HtmlAlternatingRowsDynamicColoursControlsLinksAndWidths) {
    static TestDatabase db("INSERT INTO CUSTOMER VALUES ('C001', 'A&B <Ltd>', 'A');"
                           "INSERT INTO CUSTOMER VALUES ('C002', 'a@b.c#x\"y', 'B');"
                           "INSERT INTO CUSTOMER VALUES ('C003', 'home#http://k.example/?a=1&b=2#', 'A');"
                           "INSERT INTO CUSTOMER VALUES ('C004', 'ann@shop.tw', 'C')");
    GridHarness h(db, "select CUST_ID, CUST_NAME, CUST_CLASSID, CASE WHEN CUST_CLASSID = 'A' THEN 'Y' ELSE "
                      "'N' END AS SELECT_YN from CUSTOMER ORDER BY CUST_ID");
    h.ShowLikeTheWindow();
    TkxExportOptions& eo = *h.grid->ExportOptions();
    eo.SetExportType(kxgetHTML);
    eo.SetOptions({esoShowAlternating});
    // The body rows of an export.
    auto rows = [&] {
        const std::string html = exportToFile(eo);
        std::vector<std::string> found;
        for (size_t at = html.find("<TR VALIGN"); at != std::string::npos;) {
            const size_t next = html.find("<TR VALIGN", at + 1);
            found.push_back(html.substr(at, next == std::string::npos ? std::string::npos : next - at));
            at = next;
        }
        return found;
    };
    auto count = [](const std::string& s, const std::string& what) {
        size_t n = 0;
        for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
            ++n;
        return n;
    };
    // Without an alternating colour no cell gets a background; with the grid's the even records'
    // cells, and only with esoShowAlternating.
    for (const std::string& r : rows())
        EXPECT_EQ(count(r, "BGCOLOR"), 0u);
    h.grid->PaintOptions()->SetAlternatingRowColor(clYellow);
    std::vector<std::string> r = rows();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(count(r[0] + r[2], "BGCOLOR"), 0u);
    EXPECT_EQ(count(r[1], " BGCOLOR=#FFFF00 "), 4u);
    EXPECT_EQ(count(r[3], " BGCOLOR=#FFFF00 "), 4u);
    eo.SetOptions({});
    for (const std::string& row : rows())
        EXPECT_EQ(count(row, "BGCOLOR"), 0u);

    // Dynamic colours per record: the hook sees each exported record as the current one, an empty
    // state, no highlight, and the background the cell would get (the alternating colour on even
    // records); a class A record's cells go green, the others keep what they were given.
    std::vector<TColor> given;
    h.grid->OnCalcCellColors = [&](TObject* sender, TField* f, TGridDrawState state, bool highlight, TFont*,
                                   TBrush* brush) {
        EXPECT_EQ(sender, h.grid);
        EXPECT_TRUE(state.Empty());
        EXPECT_FALSE(highlight);
        given.push_back(brush->Color());
        if (f->DataSet()->FieldByName("CUST_CLASSID")->AsString() == "A") brush->SetColor(clLime);
    };
    eo.SetOptions({esoShowAlternating, esoDynamicColors});
    r = rows();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(count(r[0], " BGCOLOR=#00FF00 "), 4u); // C001, class A
    EXPECT_EQ(count(r[1], " BGCOLOR=#FFFF00 "), 4u); // C002, class B, an even record
    EXPECT_EQ(count(r[2], " BGCOLOR=#00FF00 "), 4u); // C003, class A
    EXPECT_EQ(count(r[3], " BGCOLOR=#FFFF00 "), 4u); // C004, class C
    EXPECT_EQ(given, (std::vector<TColor>{clWindow, clWindow, clWindow, clWindow, clYellow, clYellow,
                                          clYellow, clYellow, clWindow, clWindow, clWindow, clWindow,
                                          clYellow, clYellow, clYellow, clYellow}));
    h.grid->PaintOptions()->SetAlternatingRowColor(clNone);

    // The name cells in red, bold italic, on aqua; the ID title centred in Arial.
    colourHooks(h.grid);
    eo.SetOptions({esoShowHeader, esoDynamicColors});
    const std::string html = exportToFile(eo);
    EXPECT_NE(
        html.find(
            Ansi("<TD NOWRAP ALIGN=\"left\" SDNUM=\"1033;0;@\" STYLE=\"font-family: 細明體;font-size: 11 pt;color:#FF0000;\" "
                 "BGCOLOR=#00FFFF WIDTH=\"") +
            width(h, 2) + "\" SCOPE=\"row\"><B><I>A&amp;B &lt;Ltd&gt;</I></B></TD>"),
        std::string::npos)
        << html;
    EXPECT_NE(html.find("<TD STYLE=\"font-family: Arial;font-size: 11 pt;color:#000000;\" ALIGN=\"center\" "
                        "SCOPE=\"col\" bgcolor=#FFFF00 RowSpan=\"2\">"),
              std::string::npos);

    // Controls, links and widths: a check box per SELECT_YN value; links with their escaped address,
    // an e-mail address shown as itself gets "MailTo:"; widths scaled to 1440 twips (an inch).
    h.grid->SetControlType(TStringList{"SELECT_YN;CheckBox;Y;N", "CUST_NAME;URL-Link"});
    h.grid->ApplyColumnList();
    eo.SetOptions({esoAddControls, esoEmbedURL});
    eo.SetOutputWidthinTwips(1440);
    r = rows();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_NE(r[0].find("<TD NOWRAP WIDTH=\""), std::string::npos); // a check box cell has no alignment
    EXPECT_NE(r[0].find("<input align=\"middle\" type=\"checkbox\" checked >"), std::string::npos);
    EXPECT_NE(r[1].find("<INPUT ALIGN=\"middle\" TYPE=\"checkbox\" >"), std::string::npos);
    EXPECT_NE(r[0].find("<A href=\"A&amp;B &lt;Ltd&gt;\">A&amp;B &lt;Ltd&gt;</A>"), std::string::npos)
        << r[0];
    EXPECT_NE(r[1].find("<A href=\"x&quot;y\">a@b.c</A>"), std::string::npos) << r[1];
    EXPECT_NE(r[2].find("<A href=\"http://k.example/?a=1&amp;b=2\">home</A>"), std::string::npos);
    EXPECT_NE(r[3].find("<A href=\"MailTo:ann@shop.tw\">ann@shop.tw</A>"), std::string::npos);
    int w = 0;
    for (int c = 0; c < 4; ++c)
        w += h.grid->ColWidths(c + 1) + 5;
    const double scale = 1440.0 / (double(w) / Screen().PixelsPerInch() * 1440);
    EXPECT_NE(r[0].find("WIDTH=\"" + IntToStr(int64_t(h.grid->ColWidths(2) * scale)) + "\" SCOPE=\"row\">"),
              std::string::npos);
    eo.SetOptions({esoBestColFit});
    for (const std::string& row : rows())
        EXPECT_EQ(count(row, "WIDTH=\"0*\" SCOPE=\"row\">"), 4u);
}

TEST(Export, SylkFontsFormatsBoundsTitlesAndValues) {
    std::string note, split;
    for (int i = 0; i < 150; ++i)
        note += "a;";
    for (int i = 0; i < 100; ++i)
        split += "ab;";
    static TestDatabase db(
        "CREATE TABLE ITEMS (ID INTEGER, PRICE DOUBLE PRECISION, D DATE, T TIME, TS TIMESTAMP, "
        "OK BOOLEAN, NOTE VARCHAR(400)); COMMIT;"
        "INSERT INTO ITEMS VALUES (1, 0.1, '2024-03-01', '18:00:00', '2024-03-01 06:00:00', TRUE, '" +
        note + "'); INSERT INTO ITEMS (ID) VALUES (2); INSERT INTO ITEMS (ID, NOTE) VALUES (3, '" + split +
        "')");
    GridHarness h(db, "select * from ITEMS order by ID");
    TFont gridFont(*h.grid->Font());
    gridFont.SetStyle({TFontStyle::fsBold, TFontStyle::fsStrikeOut});
    h.grid->SetFont(gridFont);
    TFont titleFont(gridFont);
    titleFont.SetStyle({TFontStyle::fsBold, TFontStyle::fsItalic});
    h.grid->SetTitleFont(titleFont);
    h.grid->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
    const int widths[] = {5, 8, 10, 8, 18, 6, 30};
    for (int i = 0; i < 7; ++i)
        h.cds->Fields(i)->SetDisplayWidth(widths[i]);
    h.Field("NOTE")->SetDisplayLabel("Note;s");
    h.grid->OnExportField = [](TObject*, TField* f, bool& accept) { accept = f->FieldName() != "OK"; };
    h.grid->OnExportSYLKFormat = [](TObject*, TField* f, AnsiString& format) {
        if (f->FieldName() == "PRICE") format = "0.00";
    };
    TkxExportOptions& eo = *h.grid->ExportOptions();
    eo.SetExportType(kxgetSYLK);
    eo.SetOptions(eo.Options() + TkxExportSaveOptions{esoShowRecordNo});
    const std::string sylk = exportToFile(eo);

    std::string note255, note254;
    for (int i = 0; i < 85; ++i)
        note255 += "a;;";
    for (int i = 0; i < 63; ++i)
        note254 += "ab;;";
    note254 += "ab"; // a doubled ";" is never cut in two
    auto row = [](int y, const std::string& id, const std::string& price, const std::string& d,
                  const std::string& t, const std::string& ts, const std::string& note) {
        const std::string Y = ";Y" + std::to_string(y);
        return "F;SLRTBM1;FG0L" + Y + ";X1\r\nC;K" + std::to_string(y - 1) + "\r\n" + "F;SLTRBM1;FG0R" + Y +
               ";X2\r\nC;K" + id + "\r\n" + "F;P1;SLTRBM1;FG0R" + Y + ";X3\r\nC;K" + price + "\r\n" +
               "F;P2;SLTRBM1;FG0L" + Y + ";X4\r\nC;K" + d + "\r\n" + "F;P3;SLTRBM1;FG0L" + Y + ";X5\r\nC;K" +
               t + "\r\n" + "F;P4;SLTRBM1;FG0L" + Y + ";X6\r\nC;K" + ts + "\r\n" + "F;SLTRBM1;FG0L" + Y +
               ";X7\r\nC;K" + note + "\r\n";
    };
    auto title = [](int x, const char* text) {
        return "F;SLRTBM0;FG0L;Y1;X" + std::to_string(x) + "\r\nC;K\"" + text + "\"\r\n";
    };
    const std::string expected =
        Ansi("ID;PW2W 3000;N;E\r\nP;PGeneral\r\nP;P0.00\r\nP;Pm/d/yyyy\r\nP;Ph:mm\\ AM/PM\r\n"
             "P;Pm/d/yyyy\\ h:mm\\ AM/PM\r\nP;F細明體;M220;SBI\r\nP;F細明體;M220;SBS\r\n") +
        // Bounds: 3 records and the header; 7 fields, the refused OK among them, and the number.
        "B;Y4;X8\r\nF;G;M255\r\nF;W1 1 10\r\nF;W2 2 5\r\nF;W3 3 8\r\nF;W4 4 10\r\nF;W5 5 8\r\nF;W6 6 18\r\n"
        "F;W7 7 30\r\nF;SLRTM0;FG0C;Y1;X1\r\nC;K\"#\"\r\n" +
        title(2, "ID") + title(3, "PRICE") + title(4, "D") + title(5, "T") + title(6, "TS") +
        title(7, "Note;;s") + "\r\n" +
        row(2, "1", "0.1", "45352", "0.75", "45352.25", "\"" + note255 + "\"") +
        row(3, "2", "\"\"", "\"\"", "\"\"", "\"\"", "\"\"") +
        row(4, "3", "\"\"", "\"\"", "\"\"", "\"\"", "\"" + note254 + "\"") + "E";
    EXPECT_EQ(sylk, expected);
}

TEST(Export, SylkGroupsOverTwoTitleLinesAndDynamicFonts) {
    GridHarness h(exportDb());
    h.grid->SetUseTFields(false);
    h.grid->SetTitleLines(4);
    h.ShowLikeTheWindow();
    h.grid->SetSelected(TStringList{"CUST_ID\t8\tID\t\tInfo~More", "CUST_NAME\t17\tName~Full\t\tInfo~More",
                                    "CUST_CLASSID\t8\tA;B~C"});
    h.grid->ApplyColumnList();
    colourHooks(h.grid);
    TkxExportOptions& eo = *h.grid->ExportOptions();
    eo.SetExportType(kxgetSYLK);
    eo.SetOptions({esoShowHeader, esoDynamicColors});
    const std::string s = exportToFile(eo);
    // Fonts in order of first use: the title font, Arial from the ID title, the names' bold italic.
    EXPECT_NE(s.find(Ansi("P;F細明體;M220\r\nP;FArial;M220\r\nP;F細明體;M220;SBI\r\nB;Y4;X3\r\n")),
              std::string::npos);
    // Lines 1 and 2: the group name; 3 and 4: the columns' own titles; ";" doubled.
    const std::string titles = "F;SLTM0;FG0C;Y1;X1\r\nC;K\"Info\"\r\nF;STM0;FG0C;X2\r\nC;K\"\"\r\n"
                               "F;SLRTM0;FG0L;Y1;X3\r\nC;K\"A;;B\"\r\n"
                               "F;SLBM0;FG0C;Y2;X1\r\nC;K\"More\"\r\nF;SBM0;FG0C;Y2;X2\r\n"
                               "F;SLRM0;FG0L;Y2;X3\r\nC;K\"C\"\r\n"
                               "F;SLRM1;FG0C;Y3;X1\r\nC;K\"ID\"\r\nF;SLRM0;FG0L;Y3;X2\r\nC;K\"Name\"\r\n"
                               "F;SLRM0;FG0L;Y3;X3\r\n"
                               "F;SLRBM1;FG0C;Y4;X1\r\nF;SLRBM0;FG0L;Y4;X2\r\nC;K\"Full\"\r\n"
                               "F;SLRBM0;FG0L;Y4;X3\r\n\r\n"
                               "F;SLTRBM0;FG0L;Y5;X1\r\nC;K\"C001\"\r\nF;SLTRBM2;FG0L;Y5;X2\r\n";
    EXPECT_NE(s.find(titles), std::string::npos) << s;
}

TEST(Export, AnIntegerColumnEditedThroughAComboBox) {
    GridHarness h(exportDb(),
                  "select CUST_ID, CASE CUST_CLASSID WHEN 'A' THEN 1 WHEN 'B' THEN 2 ELSE 3 END AS KIND "
                  "from CUSTOMER ORDER BY CUST_ID");
    auto* combo = new TkxDBComboBox(h.form);
    combo->SetName("cbKind");
    combo->SetParent(h.form);
    combo->items = TStringList{"1", "2", "<3>"};
    h.grid->SetControlType(TStringList{"KIND;CustomEdit;cbKind"});
    h.grid->SetDataSource(h.source);
    h.cds->Open();
    h.Show();
    TkxExportOptions& eo = *h.grid->ExportOptions();
    eo.SetExportType(kxgetHTML);
    eo.SetOptions({esoAddControls});
    // The value's line breaks become <BR>, the list's own included.
    std::string html = exportToFile(eo);
    EXPECT_NE(
        html.find("<Select Name=\"kxCombo1\"><BR><Option Value=\"1\" selected>1<BR><Option Value=\"2\">2<BR>"
                  "<Option Value=\"&lt;3&gt;\">&lt;3&gt;<BR></Select><BR></TD>"),
        std::string::npos)
        << html;
    EXPECT_NE(html.find("<Select Name=\"kxCombo3\">"), std::string::npos);
    combo->mapList = true;
    combo->items = TStringList{"Retail\t1", "Trade\t2"};
    html = exportToFile(eo);
    EXPECT_NE(html.find("<Option Value=\"1\">Retail<BR><Option Value=\"2\">Trade<BR></Select>"),
              std::string::npos);

    // SYLK: the integer value, or with a map list and esoAddControls the quoted cell text.
    eo.SetExportType(kxgetSYLK);
    eo.SetOptions({esoDblQuoteFields});
    EXPECT_NE(exportToFile(eo).find("F;SLTRBM0;FG0R;Y1;X2\r\nC;K1\r\n"), std::string::npos);
    eo.SetOptions({esoDblQuoteFields, esoAddControls});
    EXPECT_NE(exportToFile(eo).find("F;SLTRBM0;FG0R;Y1;X2\r\nC;K\"1\"\r\n"), std::string::npos);
    combo->mapList = false;
    EXPECT_NE(exportToFile(eo).find("F;SLTRBM0;FG0R;Y1;X2\r\nC;K1\r\n"), std::string::npos);
}

TEST(Export, XmlTheDefaultFileNameAndNoGrid) {
    const std::string dir = MakeTempDir();
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    {
        GridHarness h(exportDb());
        h.ShowLikeTheWindow();
        TkxExportOptions& eo = *h.grid->ExportOptions();
        // The program's name before its first ".", with ".txt" for every type.
        for (TkxGridExportType type : {kxgetTxt, kxgetHTML, kxgetSYLK}) {
            eo.SetExportType(type);
            EXPECT_EQ(eo.FileName(), "test_grid.txt");
            eo.RunExport();
            EXPECT_FALSE(readFile(dir + "/test_grid.txt").empty());
        }
        // XML: an empty file; to the clipboard, an emptied clipboard.
        eo.SetExportType(kxgetXML);
        eo.RunExport();
        EXPECT_TRUE(readFile(dir + "/test_grid.txt").empty());
        QGuiApplication::clipboard()->setText("before");
        eo.SetOptions(eo.Options() + TkxExportSaveOptions{esoClipboard});
        eo.RunExport();
        EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
        // An inactive link writes nothing.
        eo.SetExportType(kxgetHTML);
        eo.SetOptions({});
        h.cds->Close();
        EXPECT_EQ(exportToFile(eo), "");
        // A file that cannot be made ends the export before anything else.
        h.cds->Open();
        h.cds->Last();
        eo.SetFileName("missing/out.txt");
        try {
            eo.RunExport();
            ADD_FAILURE() << "no failure";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(e.Message(),
                      "Cannot create file \"" + dir + "/missing/out.txt\". No such file or directory");
        }
        EXPECT_EQ(h.cds->RecNo(), 3);
    }
    // Options whose owner is no grid: an empty file.
    TkxExportOptions alone(nullptr, nullptr);
    EXPECT_EQ(exportToFile(alone), "");
    std::filesystem::current_path(cwd);
}

TEST(Export, ClipboardFormatsReadBackThroughQt) {
    GridHarness h(exportDb());
    h.ShowLikeTheWindow();
    TkxExportOptions& eo = *h.grid->ExportOptions();
    eo.SetOptions({esoShowHeader, esoClipboard});
    const QMimeData* data = nullptr;

    // Text: as Unicode (UTF-8 for the desktop), the Chinese intact.
    eo.RunExport();
    data = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(data->text().toStdString(), "選擇,客戶代號,客戶名稱,客戶類別\r\nN,C001,A&B <Ltd>,A\r\n"
                                          "N,C002,外功\"客,\r\nN,C003,許功蓋,B\r\n");
    EXPECT_EQ(data->data("text/plain").toStdString().substr(0, 6), "選擇");

    // SYLK: the code page's bytes under the SYLK format, and as text.
    eo.SetExportType(kxgetSYLK);
    eo.RunExport();
    data = QGuiApplication::clipboard()->mimeData();
    const QByteArray sylk = data->data("application/x-sylk");
    EXPECT_EQ(sylk.left(18).toStdString(), "ID;PW2W 3000;N;E\r\n");
    EXPECT_EQ(sylk.right(1).toStdString(), "E");
    EXPECT_EQ(codepage::FromUtf8(data->text().toStdString()),
              std::string(sylk.constData(), size_t(sylk.size())));

    // HTML: "HTML Format" with its byte offsets, the same string as text, and the document as
    // text/html declaring UTF-8.
    eo.SetExportType(kxgetHTML);
    eo.RunExport();
    data = QGuiApplication::clipboard()->mimeData();
    const QByteArray raw = data->data("application/x-qt-windows-mime;value=\"HTML Format\"");
    const std::string cf(raw.constData(), size_t(raw.size()));
    ASSERT_GT(cf.size(), 157u);
    auto offset = [&](const std::string& name) {
        const size_t at = cf.find(name + ":");
        return std::stoul(cf.substr(at + name.size() + 1, 10));
    };
    EXPECT_EQ(cf.substr(0, 13), "Version:0.9\r\n");
    EXPECT_EQ(offset("StartHTML"), 157u);
    EXPECT_EQ(offset("EndHTML"), cf.size());
    EXPECT_EQ(cf.substr(157, 20), "<!--StartFragment-->");
    EXPECT_EQ(offset("StartFragment"), 177u);
    EXPECT_EQ(offset("StartSelection"), 177u);
    EXPECT_EQ(cf.substr(offset("EndFragment")), "<!--EndFragment-->");
    EXPECT_EQ(offset("EndSelection"), offset("EndFragment"));
    EXPECT_EQ(cf.substr(177, 8), "\r\n<HTML>");
    EXPECT_NE(cf.find(Ansi("許功蓋")), std::string::npos);
    EXPECT_EQ(codepage::FromUtf8(data->text().toStdString()), cf);
    const std::string html = data->html().toStdString();
    EXPECT_EQ(html.substr(0, 14), "<HTML>\r\n<HEAD>");
    EXPECT_NE(html.find("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">\r\n<TITLE>"),
              std::string::npos);
    EXPECT_NE(html.find(">許功蓋</TD>"), std::string::npos);
    EXPECT_EQ(html.find("big5"), std::string::npos);
}

TEST(Export, TheRecordItsRowAndTheControlsComeBackAlsoAfterAFailure) {
    GridHarness h(CustomersDb(30));
    h.ShowLikeTheWindow();
    h.SetVisibleRows(10);
    TkxGridDataLink& link = h.grid->DataLink();
    h.cds->First();
    h.cds->MoveBy(20);
    h.cds->MoveBy(-6);
    const int recNo = h.cds->RecNo(), row = link.ActiveRecord(), gridRow = h.grid->Row(),
              top = h.grid->TopRow();
    ASSERT_EQ(recNo, 15);
    ASSERT_EQ(row, 3);
    auto same = [&] {
        EXPECT_EQ(h.cds->RecNo(), recNo);
        EXPECT_EQ(link.ActiveRecord(), row);
        EXPECT_EQ(h.grid->Row(), gridRow);
        EXPECT_EQ(h.grid->TopRow(), top);
        EXPECT_FALSE(h.cds->ControlsDisabled());
    };
    TkxExportOptions& eo = *h.grid->ExportOptions();
    eo.SetOptions({});
    const std::string all = exportToFile(eo);
    EXPECT_NE(all.find("N,C0030,"), std::string::npos);
    same();

    // Reading the fifth customer fails: the failure passes on, the file keeps the first four.
    h.Field("CUST_NAME")->OnGetText = [](TField* f, AnsiString& text, bool) {
        if (f->DataSet()->FieldByName("CUST_ID")->AsString() == "C0005") throw EDatabaseError("unreadable");
        text = f->AsString();
    };
    const std::string file = MakeTempDir() + "/out.txt";
    eo.SetFileName(file);
    EXPECT_THROW(eo.RunExport(), EDatabaseError);
    h.Field("CUST_NAME")->OnGetText = nullptr;
    same();
    EXPECT_EQ(readFile(file), all.substr(0, all.find("N,C0005") + 8));

    // The selected records in dataset order, whatever the order they were picked in.
    SelectionFace face(*h.grid);
    for (int n : {7, 2, 5}) {
        h.cds->First();
        h.cds->MoveBy(n - 1);
        face.selected.push_back(h.cds->GetBookmark());
    }
    h.cds->First();
    h.cds->MoveBy(14);
    TkxExportOptions selected(h.grid, &face);
    selected.SetOptions({esoSaveSelectedOnly, esoShowRecordNo});
    selected.SetDelimiter(";");
    EXPECT_EQ(exportToFile(selected),
              Ansi("1;N;C0002;外功客2;B\r\n2;N;C0005;外功客5;B\r\n3;N;C0007;外功客7;A\r\n"));
    EXPECT_EQ(h.cds->RecNo(), 15);
    EXPECT_FALSE(h.cds->ControlsDisabled());
}

// However the records are chosen (all of them, those a test accepts, their bookmarks) and wherever
// they go (a file through its buffer, the clipboard in memory), the same records give the same
// bytes, over many buffers' worth. SYLK names its row count before the rows: counted ahead where
// the records can be counted, else the rows are gathered; a count the walk then contradicts (the
// records changed under the export) fails the export rather than leaving a file that lies.
TEST(Export, EveryWayOfChoosingTheRecordsWritesTheSameBytes) {
    GridHarness h(CustomersDb(3000));
    h.ShowLikeTheWindow();
    TkxExportOptions& eo = *h.grid->ExportOptions();
    const std::string file = MakeTempDir() + "/out";
    eo.SetFileName(file);
    auto written = [&](const std::function<void()>& run) {
        run();
        return readFile(file);
    };
    // SYLK over customers not all read yet: the rest are read before they are counted.
    ASSERT_FALSE(h.cds->AllRecordsHeld());
    eo.SetExportType(kxgetSYLK);
    const std::string sylkWhileReading = written([&] { eo.RunExport(); });
    std::vector<TBookmark> all;
    for (h.cds->First(); !h.cds->Eof(); h.cds->Next())
        all.push_back(h.cds->GetBookmark());
    // Where two large outputs part (a full comparison would print them whole).
    auto same = [](const std::string& a, const std::string& b) -> testing::AssertionResult {
        if (a == b) return testing::AssertionSuccess();
        const size_t at = size_t(
            std::mismatch(a.begin(), a.begin() + std::min(a.size(), b.size()), b.begin()).first - a.begin());
        return testing::AssertionFailure()
               << "sizes " << a.size() << " and " << b.size() << ", first difference at " << at << ": "
               << a.substr(at, 40) << " | " << b.substr(at, 40);
    };
    const std::pair<TkxGridExportType, const char*> formats[] = {
        {kxgetTxt, ","}, {kxgetTxt, ""}, {kxgetHTML, ","}, {kxgetSYLK, ","}};
    for (const auto& [type, delimiter] : formats)
        for (const TkxExportSaveOptions options :
             {kxDefaultExportOptions, kxDefaultExportOptions + TkxExportSaveOptions{esoShowRecordNo}}) {
            SCOPED_TRACE(std::to_string(type) + delimiter + std::to_string(options.Bits()));
            eo.SetExportType(type);
            eo.SetDelimiter(delimiter);
            eo.SetOptions(options);
            const std::string whole = written([&] { eo.RunExport(); });
            EXPECT_GT(whole.size(), 64u * 1024);
            if (type == kxgetSYLK && options == kxDefaultExportOptions) {
                EXPECT_TRUE(same(sylkWhileReading, whole));
            }
            EXPECT_TRUE(same(written([&] { eo.RunExportWhere([] { return true; }); }), whole));
            EXPECT_TRUE(same(written([&] { eo.RunExportOf(all); }), whole));
            eo.SetOptions(options + TkxExportSaveOptions{esoClipboard});
            eo.RunExport();
            if (type != kxgetHTML) {
                EXPECT_TRUE(same(
                    type == kxgetSYLK ? Clipboard().GetFormat(CF_SYLK_NAME) : Clipboard().AsText(), whole));
            }
        }

    eo.SetOptions(kxDefaultExportOptions);
    int moves = 0;
    h.cds->AfterScroll = [&](TDataSet* ds) {
        if (++moves == 100) ds->Delete();
    };
    EXPECT_THROW(eo.RunExport(), EInOutError);
    h.cds->AfterScroll = nullptr;
}
