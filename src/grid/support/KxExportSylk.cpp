// The SYLK format of the export: a spreadsheet with a font table, number formats, bounds, column
// widths, a title block and one row of cells per record, values by field type. The head names the
// fonts and the row count. When both are known before the first row (no colour hooks asked, the
// records counted in advance) the rows go straight to the output after the head; otherwise they
// are gathered in memory and written after the head by the trailer. A row costs one cell text per
// column (numbers and dates read their value).
#include "core/Exception.h"
#include "core/SysUtils.h"
#include "grid/support/KxExportWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {
// The shortest decimal text that reads back as the value, "." as decimal point in every locale.
void putShortest(TkxExportSink& out, double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.Put(std::string_view(buf, size_t(r.ptr - buf)));
}

AnsiString doubleSemicolons(std::string_view text) {
    return ReplaceText(text, ";", ";;");
}

char letter(TAlignment a) {
    return a == taRightJustify ? 'R' : a == taCenter ? 'C' : 'L';
}

bool isNumberFormatted(TFieldType t) {
    return t == ftFloat || t == ftCurrency || t == ftDate || t == ftTime || t == ftDateTime ||
           t == ftTimeStamp;
}

bool isInteger(TFieldType t) {
    return t == ftSmallint || t == ftInteger || t == ftWord || t == ftLargeint || t == ftAutoInc;
}

AnsiString defaultFormat(TFieldType t) {
    switch (t) {
    case ftCurrency:
        return "\"$\"#,##0.00_);;[Red]\\(\"$\"#,##0.00\\)";
    case ftDate:
        return "m/d/yyyy";
    case ftTime:
        return "h:mm\\ AM/PM";
    case ftDateTime:
    case ftTimeStamp:
        return "m/d/yyyy\\ h:mm\\ AM/PM";
    default:
        return "General";
    }
}

// A line break inside a text value: the escape that spreadsheets read as a break within the cell
// (a bare line end would end the record, and every record after it would be misread).
constexpr std::string_view kSylkLineBreak = "\x1B :";

// Text values: ";" doubled, each line break (CR LF, LF or CR) as the line-break escape, quotes as
// they are (a reader takes the text up to the closing quote), at most 255 bytes, never cut inside
// a double-byte character, a doubled ";" or an escape.
void putSylkText(TkxExportSink& out, std::string_view text) {
    if (text.size() <= 255 && text.find_first_of(";\r\n") == std::string_view::npos) return out.Put(text);
    size_t written = 0;
    for (size_t i = 0; i < text.size();) {
        size_t n = codepage::CharLength(text, i);
        std::string_view piece = text.substr(i, n);
        if (text[i] == ';') {
            piece = ";;";
        } else if (text[i] == '\r' || text[i] == '\n') {
            n = text.compare(i, 2, "\r\n") == 0 ? 2 : 1;
            piece = kSylkLineBreak;
        }
        if (written + piece.size() > 255) break;
        out.Put(piece);
        written += piece.size();
        i += n;
    }
}

struct FontKey {
    AnsiString name;
    int size;
    TFontStyles style;
    bool operator==(const FontKey&) const = default;
};

FontKey keyOf(const TFont& f) {
    return {f.Name(), f.Size(), f.Style()};
}

class SylkWriter : public TkxExportWriter {
public:
    explicit SylkWriter(TkxExportContext& cx) : cx_(cx), g_(cx.grid) {
        fontNo(g_.TitleFont());
        gridFont_ = fontNo(g_.Font());
        formats_.push_back("General");
        for (int col = 0; col < cx.fieldCount; ++col) {
            TField* f = g_.Field(col);
            AnsiString format = defaultFormat(f ? f->DataType() : ftUnknown);
            if (f) g_.ExportSYLKFormat(f, format);
            size_t n = 0;
            while (n < formats_.size() && formats_[n] != format)
                ++n;
            if (n == formats_.size()) formats_.push_back(format);
            fieldFormat_.push_back(int(n));
        }
        const int first = cx.Has(esoShowRecordNo) ? 2 : 1;
        for (size_t i = 0; i < cx.columns.size(); ++i) {
            const TkxExportColumn& c = cx.columns[i];
            position_.push_back(IntToStr(first + int64_t(i)));
            std::vector<AnsiString> items;
            bool mapList = false;
            combo_.push_back(SameText(c.type, "CustomEdit") && g_.ComboItems(c.col, items, mapList)
                                 ? (mapList ? 1 : 0)
                                 : -1);
        }
        titleLines_ = cx.Has(esoShowHeader) ? g_.TitleLines() : 0;
        sameFonts_ = keyOf(g_.TitleFont()) == keyOf(g_.Font());
        for (const TkxExportColumn& c : cx.columns)
            cellFormats_.push_back(cellFormat(c, gridFont_));
    }

    bool WantsRowCount() const override { return true; }

    // The title block is kept until the head is written before it.
    void Header() override {
        if (!cx_.Has(esoShowHeader)) return;
        const int lines = g_.TitleLines();
        for (int l = 1; l <= lines; ++l)
            titleLine(l, lines);
        titles_ += "\r\n";
    }

    void Row(int recordNo) override {
        if (!rows_) start();
        TkxExportSink& out = *rows_;
        ++records_;
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, int64_t(recordNo) + titleLines_);
        const std::string_view y(digits, size_t(end.ptr - digits));
        if (cx_.Has(esoShowRecordNo)) {
            out.Put(sameFonts_ ? "F;SLRTBM0;FG0L;Y" : "F;SLRTBM1;FG0L;Y");
            out.Put(y);
            out.Put(";X1\r\nC;K");
            out.PutInt(recordNo);
            out.Put("\r\n");
        }
        for (size_t i = 0; i < cx_.columns.size(); ++i) {
            const TkxExportColumn& c = cx_.columns[i];
            if (cx_.Has(esoDynamicColors)) {
                TFont f(g_.Font());
                TBrush brush;
                brush.SetColor(g_.Color());
                g_.CalcCellColors(c.col, f, brush);
                out.Put(cellFormat(c, fontNo(f)));
            } else {
                out.Put(cellFormats_[i]);
            }
            out.Put(y);
            out.Put(";X");
            out.Put(position_[i]);
            out.Put("\r\nC;K");
            putContent(out, c, i);
            out.Put("\r\n");
        }
    }

    void Trailer() override {
        if (!rows_) start();
        TkxExportSink& out = cx_.out;
        if (gathered_) {
            head(records_);
            out.Put(gathered_->Text());
        } else if (records_ != cx_.rowCount) {
            // The head announced another number of rows: the records changed during the export.
            throw EInOutError("The records changed while they were exported");
        }
        out.Put("E");
    }

private:
    // Before the first row: with the fonts and the row count known, the head goes out and the rows
    // follow it; else the rows are gathered until the trailer.
    void start() {
        if (!cx_.Has(esoDynamicColors) && cx_.rowCount >= 0) {
            head(cx_.rowCount);
            rows_ = &cx_.out;
        } else {
            gathered_ = std::make_unique<TkxExportSink>(nullptr);
            rows_ = gathered_.get();
        }
    }

    // Formats, fonts, bounds and column widths for `rows` rows, then the title block.
    void head(int rows) {
        TkxExportSink& out = cx_.out;
        out.Put("ID;PW2W 3000;N;E\r\n");
        for (const AnsiString& f : formats_)
            out.Put("P;P" + f + "\r\n");
        for (const FontKey& f : fonts_)
            out.Put(fontRecord(f) + "\r\n");
        out.Put("B;Y" + IntToStr(rows + (cx_.Has(esoShowHeader) ? 1 : 0)) + ";X" +
                IntToStr(cx_.fieldCount + (cx_.Has(esoShowRecordNo) ? 1 : 0)) + "\r\n");
        out.Put("F;G;M255\r\n");
        if (cx_.Has(esoShowRecordNo)) out.Put("F;W1 1 10\r\n");
        for (size_t i = 0; i < cx_.columns.size(); ++i) {
            const TkxExportColumn& c = cx_.columns[i];
            const int width = cx_.Has(esoBestColFit) ? c.field->DisplayWidth() : g_.WidthInChars(c.col);
            out.Put("F;W" + position_[i] + " " + position_[i] + " " + IntToStr(width) + "\r\n");
        }
        out.Put(titles_);
    }

    // The start of a data cell's format record, up to its row number.
    AnsiString cellFormat(const TkxExportColumn& c, int font) const {
        AnsiString r = "F;";
        if (isNumberFormatted(c.field->DataType())) r += "P" + IntToStr(fieldFormat_[size_t(c.col)]) + ";";
        return r + "SLTRBM" + IntToStr(font) + ";FG0" + letter(c.field->Alignment()) + ";Y";
    }

    int fontNo(const TFont& font) {
        const FontKey key = keyOf(font);
        for (size_t i = 0; i < fonts_.size(); ++i)
            if (fonts_[i] == key) return int(i);
        fonts_.push_back(key);
        return int(fonts_.size() - 1);
    }

    static AnsiString fontRecord(const FontKey& f) {
        AnsiString r = "P;F" + f.name + ";M" + IntToStr(int64_t(f.size) * 20);
        bool letters = false;
        auto add = [&](TFontStyle s, char c) {
            if (!f.style.Contains(s)) return;
            if (!letters) r += ";S";
            r += c;
            letters = true;
        };
        add(TFontStyle::fsBold, 'B');
        add(TFontStyle::fsItalic, 'I');
        add(TFontStyle::fsUnderline, 'U');
        add(TFontStyle::fsStrikeOut, 'S');
        return r;
    }

    // Font number and alignment letter of a column title.
    void titleLook(int col, int& font, char& align) {
        TFont f(g_.TitleFont());
        TAlignment alignment = g_.TitleAlignment();
        if (cx_.Has(esoDynamicColors)) {
            TBrush brush;
            brush.SetColor(g_.TitleColor());
            g_.CalcTitleAttributes(col, f, brush, alignment);
        }
        font = fontNo(f);
        align = letter(alignment);
    }

    void titleCell(size_t i, int l, int lines, const AnsiString& text) {
        int font = 0;
        char align = 'L';
        titleLook(cx_.columns[i].col, font, align);
        titles_ += AnsiString("F;SLR") + (l == 1 ? "T" : "") + (l == lines ? "B" : "") + "M" +
                   IntToStr(font) + ";FG0" + align + ";Y" + IntToStr(l) + ";X" + position_[i] + "\r\n";
        if (!text.empty()) titles_ += "C;K\"" + text + "\"\r\n";
    }

    void titleLine(int l, int lines) {
        const AnsiString y = IntToStr(l);
        if (cx_.Has(esoShowRecordNo))
            titles_ += l == 1 ? "F;SLRTM0;FG0C;Y1;X1\r\nC;K\"#\"\r\n" : "F;SLRBM0;FG0C;Y" + y + ";X1\r\n";
        const int half = lines / 2;
        const std::vector<TkxExportColumn>& cols = cx_.columns;
        for (size_t i = 0; i < cols.size();) {
            const AnsiString group = g_.GroupHeaderName(cols[i].col);
            if (group.empty()) {
                titleCell(i, l, lines, doubleSemicolons(TitleLine(g_.Title(cols[i].col), l)));
                ++i;
                continue;
            }
            const size_t end = cx_.GroupEnd(i, group);
            if (l == 1) {
                titles_ += "F;SLTM0;FG0C;Y1;X" + position_[i] + "\r\nC;K\"" +
                           doubleSemicolons(TitleLine(group, 1)) + "\"\r\n";
                for (size_t j = i + 1; j < end; ++j)
                    titles_ += "F;STM0;FG0C;X" + position_[j] + "\r\nC;K\"\"\r\n";
            } else if (l <= half) {
                // The group name goes on over the upper half of the title lines.
                const char* bottom = l == half ? "B" : "";
                titles_ += AnsiString("F;SL") + bottom + "M0;FG0C;Y" + y + ";X" + position_[i] + "\r\n";
                const AnsiString text = doubleSemicolons(TitleLine(group, l));
                if (!text.empty()) titles_ += "C;K\"" + text + "\"\r\n";
                for (size_t j = i + 1; j < end; ++j)
                    titles_ += AnsiString("F;S") + bottom + "M0;FG0C;Y" + y + ";X" + position_[j] + "\r\n";
            } else {
                // The lower half shows the columns' own titles.
                for (size_t j = i; j < end; ++j)
                    titleCell(j, l, lines, doubleSemicolons(TitleLine(g_.Title(cols[j].col), l - half)));
            }
            i = end;
        }
    }

    void putContent(TkxExportSink& out, const TkxExportColumn& c, size_t i) {
        TField* f = c.field;
        if (f->IsNull()) return out.Put("\"\"");
        const TFieldType type = f->DataType();
        if (isInteger(type)) {
            if (combo_[i] < 0)
                out.PutDoubling(g_.CellText(c.col), ';');
            else if (combo_[i] == 1 && cx_.Has(esoAddControls))
                out.Put(cx_.options.QuoteField(g_.CellText(c.col)));
            else
                out.PutInt(f->AsLargeInt());
            return;
        }
        switch (type) {
        case ftBoolean:
            return out.Put(cx_.options.QuoteField(f->AsBoolean() ? "TRUE" : "FALSE"));
        case ftFloat:
        case ftCurrency:
            return putShortest(out, f->AsFloat());
        case ftDateTime:
        case ftTimeStamp:
            return putShortest(out, f->AsDateTime());
        case ftDate:
            return out.PutInt(static_cast<int64_t>(std::trunc(f->AsDateTime())));
        case ftTime: {
            const double v = f->AsDateTime();
            return putShortest(out, v - std::trunc(v));
        }
        default:
            // Text is always quoted: unquoted, a reader takes it for a number or a name and reads
            // 0 or nothing.
            out.Put('"');
            putSylkText(out, g_.CellText(c.col));
            out.Put('"');
        }
    }

    TkxExportContext& cx_;
    IkxExportGrid& g_;
    std::vector<FontKey> fonts_;
    std::vector<AnsiString> formats_;
    std::vector<int> fieldFormat_;        // per data column
    std::vector<AnsiString> position_;    // per exported column: its X
    std::vector<int> combo_;              // per exported column: -1 no combo box, 0 plain, 1 with a map list
    std::vector<AnsiString> cellFormats_; // per exported column: cellFormat in the grid font
    int gridFont_ = 0;
    int titleLines_ = 0;
    bool sameFonts_ = false; // the title font is the grid font
    int records_ = 0;
    AnsiString titles_;                       // the title block
    TkxExportSink* rows_ = nullptr;           // where rows go, once the first has come
    std::unique_ptr<TkxExportSink> gathered_; // the rows kept for the trailer
};
} // namespace

std::unique_ptr<TkxExportWriter> MakeSylkWriter(TkxExportContext& context) {
    return std::make_unique<SylkWriter>(context);
}
