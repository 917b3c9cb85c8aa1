// The HTML format of the export: a table with a head (title row, column titles with their groups,
// footer) and one body row per record. Every text that comes from the data or the settings (values,
// titles, group names, footer texts, the title row, addresses, font names) is escaped; the markup
// the format writes itself is not. The head declares the code page, so that a browser reads Big5
// as Big5. Cells of text fields are marked as text and keep their blanks and line breaks, so that a
// spreadsheet reads them back as the grid shows them ("007" stays "007", "=1+2" is no formula, an
// empty cell stays empty). A row costs one cell text per column; the pieces that do not change per
// record are made once.
#include "core/SysUtils.h"
#include "grid/support/KxExportWriter.h"
#include "ui/Screen.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace {
AnsiString hex(TColor color) {
    const TColor rgb = ColorToRGB(color);
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
    return buf;
}

AnsiString bg(TColor color) {
    return "BGCOLOR=#" + hex(color);
}

AnsiString fs(const TFont& font) {
    return "STYLE=\"font-family: " + HtmlEscape(font.Name()) + ";font-size: " + IntToStr(font.Size()) +
           " pt;color:#" + hex(font.Color()) + ";\"";
}

// The tags EM(text, font) puts before and after the text: italic innermost, then bold, underline,
// strike-out.
void putEmOpen(TkxExportSink& out, TFontStyles s) {
    if (s.Contains(TFontStyle::fsStrikeOut)) out.Put("<STRIKE>");
    if (s.Contains(TFontStyle::fsUnderline)) out.Put("<U>");
    if (s.Contains(TFontStyle::fsBold)) out.Put("<B>");
    if (s.Contains(TFontStyle::fsItalic)) out.Put("<I>");
}
void putEmClose(TkxExportSink& out, TFontStyles s) {
    if (s.Contains(TFontStyle::fsItalic)) out.Put("</I>");
    if (s.Contains(TFontStyle::fsBold)) out.Put("</B>");
    if (s.Contains(TFontStyle::fsUnderline)) out.Put("</U>");
    if (s.Contains(TFontStyle::fsStrikeOut)) out.Put("</STRIKE>");
}

// Italic innermost, then bold, underline, strike-out.
AnsiString em(const AnsiString& text, const TFont& font) {
    const TFontStyles s = font.Style();
    AnsiString r = text;
    if (s.Contains(TFontStyle::fsItalic)) r = "<I>" + r + "</I>";
    if (s.Contains(TFontStyle::fsBold)) r = "<B>" + r + "</B>";
    if (s.Contains(TFontStyle::fsUnderline)) r = "<U>" + r + "</U>";
    if (s.Contains(TFontStyle::fsStrikeOut)) r = "<STRIKE>" + r + "</STRIKE>";
    return r;
}

const char* word(TAlignment a) {
    return a == taRightJustify ? "right" : a == taCenter ? "center" : "left";
}

// Name, size or colour differ.
bool differs(const TFont& a, const TFont& b) {
    return a.Name() != b.Name() || a.Size() != b.Size() || ColorToRGB(a.Color()) != ColorToRGB(b.Color());
}

// A title escaped, its "~" line breaks as <BR>.
AnsiString titleHtml(const AnsiString& title) {
    return ReplaceText(HtmlEscape(title), "~", "<BR>");
}

// Fields whose cells a spreadsheet may read as numbers, dates or truth values.
bool isNumeric(TFieldType t) {
    switch (t) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBoolean:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftAutoInc:
    case ftLargeint:
    case ftTimeStamp:
    case ftFMTBcd:
        return true;
    default:
        return false;
    }
}

// Marks a cell as text for spreadsheets, which otherwise read "007" as 7 and "=1+2" as a formula.
constexpr std::string_view kTextCell = " SDNUM=\"1033;0;@\"";

// The bytes putCellText treats: the markup characters, line breaks and blanks. All lie below every
// code page's second bytes (0x40 and up), so each such byte is a character of its own.
constexpr std::array<bool, 256> kCellSpecial = [] {
    std::array<bool, 256> special{};
    for (unsigned char c : std::string_view("&<>\"\r\n "))
        special[c] = true;
    return special;
}();

// A value as cell text, written straight into the output: escaped, each line break (CR LF, LF or CR)
// as <BR>, and a blank that starts the text or a line or follows another blank as &nbsp;, which a
// reader keeps where it folds blanks. Runs of other bytes are copied whole.
void putCellText(TkxExportSink& out, std::string_view text) {
    size_t run = 0;       // the first byte not yet written
    bool blankDue = true; // a blank here is written as &nbsp; (start of a line, after a blank)
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!kCellSpecial[c]) {
            blankDue = false;
            continue;
        }
        out.Put(text.substr(run, i - run));
        run = i + 1;
        switch (c) {
        case '&':
            out.Put("&amp;");
            break;
        case '<':
            out.Put("&lt;");
            break;
        case '>':
            out.Put("&gt;");
            break;
        case '"':
            out.Put("&quot;");
            break;
        case ' ':
            out.Put(blankDue ? std::string_view("&nbsp;") : std::string_view(" "));
            blankDue = true;
            continue;
        default: // a line break: CR LF, LF or CR
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') run = ++i + 1;
            out.Put("<BR>");
            blankDue = true;
            continue;
        }
        blankDue = false;
    }
    out.Put(text.substr(run));
}

// The same as a string.
AnsiString cellText(std::string_view text) {
    TkxExportSink s(nullptr);
    putCellText(s, text);
    return std::move(s.Text());
}

// The text without the blanks and control characters it ends with (TrimRight, without a copy).
std::string_view trimmedRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ')
        --n;
    return s.substr(0, n);
}

struct TitleLook {
    TFont font;
    TColor background = clNone;
    TAlignment alignment = taLeftJustify;
};

class HtmlWriter : public TkxExportWriter {
public:
    explicit HtmlWriter(TkxExportContext& cx) : cx_(cx), g_(cx.grid) {
        gridFs_ = fs(g_.Font());
        gridRgb_ = ColorToRGB(g_.Color());
        rowStart_ = "<TR VALIGN=\"TOP\" " + gridFs_ + ">\r\n";
        recordNoOpen_ = "<TD WIDTH=\"0*\" NOWRAP ALIGN=\"right\" scope=\"row\" " + fs(g_.TitleFont()) + " " +
                        bg(g_.TitleColor()) + ">";
        spanned_ = IntToStr(cx.fieldCount + (cx.Has(esoShowRecordNo) ? 1 : 0));
        int w = 0;
        for (const TkxExportColumn& c : cx.columns)
            w += g_.PixelWidth(c.col) + 5;
        const int twips = cx.options.OutputWidthinTwips();
        const double scale =
            twips == 0 || w == 0 ? 1.0 : twips / (double(w) / Screen().PixelsPerInch() * 1440.0);
        for (const TkxExportColumn& c : cx.columns) {
            const int px = g_.PixelWidth(c.col);
            AnsiString width;
            if (!cx.Has(esoBestColFit))
                width = IntToStr(static_cast<int64_t>(std::trunc(px * scale)));
            else if (SameText(c.type, "RichEdit") || (IsMemo(c.field) && g_.ShowsMemoText()))
                width = IntToStr(px);
            else
                width = "0*";
            widthParts_.push_back(" WIDTH=\"" + width + "\" SCOPE=\"row\">");
            const bool control = cx.Has(esoAddControls) && (c.type == "CheckBox" || c.type == "CustomEdit");
            markup_.push_back(control || (cx.Has(esoEmbedURL) && c.type == "URL-Link"));
            // A cell's start up to its colours: alignment (none for a check box), the text mark.
            AnsiString open = "<TD NOWRAP";
            if (c.type != "CheckBox") open += AnsiString(" ALIGN=\"") + word(c.field->Alignment()) + "\"";
            if (!control && !isNumeric(c.field->DataType())) open += kTextCell;
            cellOpen_.push_back(std::move(open));
        }
    }

    static bool IsMemo(const TField* f) { return f->DataType() == ftMemo || f->DataType() == ftOraClob; }

    void Header() override {
        TkxExportSink& out = cx_.out;
        const TFont& tf = g_.TitleFont();
        out.Put("<HTML>\r\n<HEAD>\r\n");
        out.Put(CharsetMeta(WebCharsetName()));
        out.Put("<TITLE>" + HtmlEscape(cx_.options.FileName()) + "</TITLE>\r\n</HEAD>\r\n<BODY>\r\n");
        out.Put("<TABLE ALIGN=Center BORDER=\"" + IntToStr(cx_.options.HTMLBorderWidth()) +
                "\" CELLPADDING=\"1\" CELLSPACING=\"0\"");
        out.Put(g_.RightToLeft() ? " dir=\"RTL\"" : " dir=\"LTR\"");
        out.Put(cx_.Has(esoTransparentGrid) ? ">" : " " + bg(g_.Color()) + ">");
        out.Put("\r\n<THEAD>\r\n");
        if (cx_.Has(esoShowHeader) && cx_.Has(esoShowTitle))
            out.Put("<TR " + fs(tf) + " " + bg(g_.TitleColor()) + ">\r\n<TH colspan=\"" + spanned_ +
                    "\" scope=\"colgroup\">" + HtmlEscape(cx_.options.TitleName()) + "</TH>\r\n</TR>\r\n");
        if (cx_.Has(esoShowHeader)) titleRows();
        out.Put("</THEAD>\r\n");
        if (cx_.Has(esoShowFooter) && g_.ShowsFooter()) footer();
        out.Put("<TBODY>\r\n");
    }

    void Row(int recordNo) override {
        TkxExportSink& out = cx_.out;
        out.Put(rowStart_);
        if (cx_.Has(esoShowRecordNo)) {
            out.Put(recordNoOpen_);
            out.PutInt(recordNo);
            out.Put("</TD>\r\n");
        }
        const TColor alternating = g_.AlternatingRowColor();
        const bool alternate = cx_.Has(esoShowAlternating) && recordNo % 2 == 0 && alternating != clNone;
        const TColor background = alternate ? alternating : g_.Color();
        std::string_view rowBg;
        if (ColorToRGB(background) != gridRgb_) {
            if (!rowBgKnown_ || rowBgColor_ != background) rowBg_ = " " + bg(background);
            rowBgKnown_ = true;
            rowBgColor_ = background;
            rowBg = rowBg_;
        }
        for (size_t i = 0; i < cx_.columns.size(); ++i) {
            const TkxExportColumn& c = cx_.columns[i];
            const AnsiString value = markup_[i] ? cellValue(c, recordNo) : g_.CellText(c.col);
            out.Put(cellOpen_[i]);
            if (cx_.Has(esoDynamicColors)) {
                TFont font(g_.Font());
                TBrush brush;
                brush.SetColor(background);
                g_.CalcCellColors(c.col, font, brush);
                if (differs(font, g_.Font())) out.Put(" " + fs(font));
                if (ColorToRGB(brush.Color()) != gridRgb_) out.Put(" " + bg(brush.Color()));
                out.Put(widthParts_[i]);
                putValue(value, markup_[i], font.Style());
            } else {
                out.Put(rowBg);
                out.Put(widthParts_[i]);
                putValue(value, markup_[i], g_.Font().Style());
            }
            out.Put("</TD>\r\n");
        }
        out.Put("</TR>\r\n");
    }

    void NoSelection() override {
        cx_.out.Put("<TR " + bg(g_.TitleColor()) + "><TH colspan=" + spanned_ +
                    " scope=colgroup>No Records Selected</TH></TR>\r\n");
    }

    void Trailer() override { cx_.out.Put("</TBODY>\r\n</BODY>\r\n</TABLE>\r\n</HTML>\r\n"); }

private:
    TitleLook titleLook(int col) const {
        TitleLook look;
        look.font.Assign(g_.TitleFont());
        look.background = g_.TitleColor();
        look.alignment = g_.TitleAlignment();
        if (cx_.Has(esoDynamicColors)) {
            TBrush brush;
            brush.SetColor(look.background);
            g_.CalcTitleAttributes(col, look.font, brush, look.alignment);
            look.background = brush.Color();
        }
        return look;
    }

    // " " and FS(font) when the font is not the title font.
    AnsiString x(const TFont& font) const {
        return differs(font, g_.TitleFont()) ? " " + fs(font) : AnsiString();
    }

    void titleRows() {
        TkxExportSink& out = cx_.out;
        const TFont& tf = g_.TitleFont();
        const AnsiString rowStart = "<TR " + fs(tf) + " ALIGN=" + word(g_.TitleAlignment()) + ">\r\n";
        out.Put(rowStart);
        if (cx_.Has(esoShowRecordNo))
            out.Put("<TD ALIGN=\"CENTER\" " + fs(tf) + " SCOPE=\"col\" bgcolor=#" + hex(g_.TitleColor()) +
                    " RowSpan=\"2\">" + em("#", tf) + "</TD>\r\n");
        std::vector<std::pair<size_t, TitleLook>> grouped;
        const std::vector<TkxExportColumn>& cols = cx_.columns;
        for (size_t i = 0; i < cols.size();) {
            TitleLook look = titleLook(cols[i].col);
            const AnsiString group = g_.GroupHeaderName(cols[i].col);
            if (!group.empty()) {
                const size_t end = cx_.GroupEnd(i, group);
                out.Put("<TD" + x(look.font) + " SCOPE=\"col\" bgcolor=#" + hex(look.background) +
                        " ALIGN=CENTER ColSpan=\"" + IntToStr(int64_t(end - i)) + "\">" +
                        em(HtmlEscape(group), look.font) + "</TD>\r\n");
                grouped.emplace_back(i, std::move(look));
                for (size_t j = i + 1; j < end; ++j)
                    grouped.emplace_back(j, titleLook(cols[j].col));
                i = end;
                continue;
            }
            out.Put("<TD" + x(look.font) + " ALIGN=\"" + word(look.alignment) + "\" SCOPE=\"col\" bgcolor=#" +
                    hex(look.background) + " RowSpan=\"2\">" +
                    em(titleHtml(g_.Title(cols[i].col)), look.font) + "</TD>\r\n");
            ++i;
        }
        out.Put("</TR>\r\n");
        if (grouped.empty()) {
            out.Put("<TR></TR>\r\n");
            return;
        }
        out.Put(rowStart);
        for (const auto& [i, look] : grouped)
            out.Put("<TD" + x(look.font) + " ALIGN=\"" + word(look.alignment) + "\" SCOPE=\"col\" bgcolor=#" +
                    hex(look.background) + " >" + em(titleHtml(g_.Title(cols[i].col)), look.font) +
                    "</TD>\r\n");
        out.Put("</TR>\r\n");
    }

    void footer() {
        TkxExportSink& out = cx_.out;
        out.Put("<TFOOT " + fs(g_.TitleFont()) + " " + bg(g_.FooterColor()) + ">\r\n");
        if (cx_.Has(esoShowRecordNo)) out.Put("<TD>&nbsp;</TD>\r\n");
        for (const TkxExportColumn& c : cx_.columns) {
            const AnsiString text = g_.FooterText(c.col);
            if (text.empty())
                out.Put("<TD>&nbsp;</TD>\r\n");
            else
                out.Put(AnsiString("<TD ALIGN=") + word(c.field->Alignment()) + " " + gridFs_ + " " +
                        bg(g_.FooterCellColor()) + ">" + HtmlEscape(text) + "</TD>\r\n");
        }
        out.Put("</TFOOT>\r\n");
    }

    // A cell's value in its font's style: markup as it is, a plain value as cell text.
    void putValue(std::string_view value, bool markup, TFontStyles style) {
        TkxExportSink& out = cx_.out;
        putEmOpen(out, style);
        if (markup)
            out.Put(value);
        else
            putCellText(out, trimmedRight(value));
        putEmClose(out, style);
    }

    // The value of a cell as markup: a form control, or the cell text (a link with esoEmbedURL),
    // line breaks as <BR>.
    AnsiString cellValue(const TkxExportColumn& c, int recordNo) const {
        const AnsiString text = TrimRight(g_.CellText(c.col));
        AnsiString value;
        std::vector<AnsiString> items;
        bool mapList = false;
        if (cx_.Has(esoAddControls) && c.type == "CheckBox") {
            AnsiString checked, unchecked;
            g_.CheckBoxValues(c.col, checked, unchecked);
            value = text == checked ? "<input align=\"middle\" type=\"checkbox\" checked >"
                                    : "<INPUT ALIGN=\"middle\" TYPE=\"checkbox\" >";
        } else if (cx_.Has(esoAddControls) && c.type == "CustomEdit" &&
                   g_.ComboItems(c.col, items, mapList)) {
            value = "<Select Name=\"kxCombo" + IntToStr(recordNo) + "\">\r\n";
            for (const AnsiString& item : items) {
                AnsiString shown = item, stored = item;
                if (mapList) {
                    const size_t tab = AnsiFind(item, "\t");
                    shown = item.substr(0, tab);
                    stored = tab == AnsiString::npos ? AnsiString() : item.substr(tab + 1);
                }
                value += "<Option Value=\"" + HtmlEscape(stored) + "\"" +
                         (SameText(shown, text) ? " selected" : "") + ">" + HtmlEscape(shown) + "\r\n";
            }
            value += "</Select>\r\n";
        } else {
            // An empty cell stays empty: a blank in it would read back as a blank.
            value = cellText(text);
        }
        if (cx_.Has(esoEmbedURL) && c.type == "URL-Link")
            value = "<A href=\"" + linkAddress(c) + "\">" + value + "</A>";
        if (value.find("\r\n") != AnsiString::npos) value = ReplaceText(value, "\r\n", "<BR>");
        return value;
    }

    // The address of a link cell, escaped; a shown e-mail address gets "MailTo:".
    AnsiString linkAddress(const TkxExportColumn& c) const {
        const AnsiString text = c.field->DisplayText();
        const size_t first = AnsiFind(text, "#");
        const AnsiString shown = text.substr(0, first);
        AnsiString address;
        if (first != AnsiString::npos) {
            const size_t second = AnsiFind(text, "#", first + 1);
            address =
                text.substr(first + 1, second == AnsiString::npos ? AnsiString::npos : second - first - 1);
        }
        if (address.empty()) address = shown;
        if (SameText(shown, address)) {
            const size_t at = AnsiFind(address, "@"), dot = AnsiFind(address, ".");
            if (at != AnsiString::npos && at >= 1 && dot != AnsiString::npos && at < dot &&
                UpperCase(address).find("MAILTO:") == AnsiString::npos)
                address = "MailTo:" + address;
        }
        return HtmlEscape(address);
    }

    TkxExportContext& cx_;
    IkxExportGrid& g_;
    AnsiString gridFs_;
    TColor gridRgb_;
    AnsiString spanned_;
    std::vector<AnsiString> widthParts_;
    std::vector<AnsiString> cellOpen_; // per exported column: "<TD NOWRAP", its alignment and text mark
    // Per exported column: its value is markup made by cellValue (a form control, a link), not plain
    // text escaped on its way into the output.
    std::vector<bool> markup_;
    AnsiString rowStart_;     // a body row's <TR> line
    AnsiString recordNoOpen_; // the record number cell up to the number
    // The background of the rows whose colour is not the grid's, made when the colour is met.
    AnsiString rowBg_;
    TColor rowBgColor_ = clNone;
    bool rowBgKnown_ = false;
};
} // namespace

std::unique_ptr<TkxExportWriter> MakeHtmlWriter(TkxExportContext& context) {
    return std::make_unique<HtmlWriter>(context);
}
