// The SYLK format of the export: a spreadsheet with a font table, number formats, bounds, column
// widths, a title block and one row of cells per record, values by field type. The fonts and the
// row count are known only at the end, so the cells are gathered first and everything is written
// by the trailer. A row costs one cell text per column (numbers and dates read their value).
#include "core/SysUtils.h"
#include "grid/support/KxExportWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {
// The shortest decimal text that reads back as the value, "." as decimal point in every locale.
AnsiString shortest(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return AnsiString(buf, r.ptr);
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
AnsiString sylkText(std::string_view text) {
    if (text.size() <= 255 && text.find_first_of(";\r\n") == std::string_view::npos) return AnsiString(text);
    AnsiString r;
    for (size_t i = 0; i < text.size();) {
        size_t n = codepage::CharLength(text, i);
        std::string_view piece = text.substr(i, n);
        if (text[i] == ';') {
            piece = ";;";
        } else if (text[i] == '\r' || text[i] == '\n') {
            n = text.compare(i, 2, "\r\n") == 0 ? 2 : 1;
            piece = kSylkLineBreak;
        }
        if (r.size() + piece.size() > 255) break;
        r += piece;
        i += n;
    }
    return r;
}

// The cells gathered until the trailer, in parts of about a megabyte: growing never moves what was
// gathered (one string of many megabytes would be copied at each growth, into fresh pages each time).
class Gathered {
public:
    Gathered& operator+=(std::string_view text) {
        if (parts_.empty() || parts_.back().size() + text.size() > kPart) {
            parts_.emplace_back();
            parts_.back().reserve(std::max(kPart, text.size()));
        }
        parts_.back().append(text);
        return *this;
    }
    Gathered& operator+=(char c) { return *this += std::string_view(&c, 1); }
    void WriteTo(TkxExportSink& out) const {
        for (const std::string& part : parts_)
            out.Put(part);
    }

private:
    static constexpr size_t kPart = 1 << 20;
    std::vector<std::string> parts_;
};

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
    }

    void Header() override {
        if (!cx_.Has(esoShowHeader)) return;
        const int lines = g_.TitleLines();
        for (int l = 1; l <= lines; ++l)
            titleLine(l, lines);
        body_ += "\r\n";
    }

    void Row(int recordNo) override {
        ++records_;
        const AnsiString y = IntToStr(recordNo + titleLines_);
        if (cx_.Has(esoShowRecordNo)) {
            const bool same = keyOf(g_.TitleFont()) == keyOf(g_.Font());
            body_ += same ? "F;SLRTBM0;FG0L;Y" : "F;SLRTBM1;FG0L;Y";
            body_ += y;
            body_ += ";X1\r\nC;K";
            body_ += IntToStr(recordNo);
            body_ += "\r\n";
        }
        for (size_t i = 0; i < cx_.columns.size(); ++i) {
            const TkxExportColumn& c = cx_.columns[i];
            if (cx_.Has(esoDynamicColors)) {
                TFont f(g_.Font());
                TBrush brush;
                brush.SetColor(g_.Color());
                g_.CalcCellColors(c.col, f, brush);
                body_ += cellFormat(c, fontNo(f));
            } else {
                // The grid font's cell format of each column is made once.
                if (cellFormats_.size() <= i) cellFormats_.push_back(cellFormat(c, gridFont_));
                body_ += cellFormats_[i];
            }
            body_ += y;
            body_ += ";X";
            body_ += position_[i];
            body_ += "\r\nC;K";
            appendContent(c, i);
            body_ += "\r\n";
        }
    }

    void Trailer() override {
        TkxExportSink& out = cx_.out;
        out.Put("ID;PW2W 3000;N;E\r\n");
        for (const AnsiString& f : formats_)
            out.Put("P;P" + f + "\r\n");
        for (const FontKey& f : fonts_)
            out.Put(fontRecord(f) + "\r\n");
        out.Put("B;Y" + IntToStr(records_ + (cx_.Has(esoShowHeader) ? 1 : 0)) + ";X" +
                IntToStr(cx_.fieldCount + (cx_.Has(esoShowRecordNo) ? 1 : 0)) + "\r\n");
        out.Put("F;G;M255\r\n");
        if (cx_.Has(esoShowRecordNo)) out.Put("F;W1 1 10\r\n");
        for (size_t i = 0; i < cx_.columns.size(); ++i) {
            const TkxExportColumn& c = cx_.columns[i];
            const int width = cx_.Has(esoBestColFit) ? c.field->DisplayWidth() : g_.WidthInChars(c.col);
            out.Put("F;W" + position_[i] + " " + position_[i] + " " + IntToStr(width) + "\r\n");
        }
        body_.WriteTo(out);
        out.Put("E");
    }

private:
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
        body_ += AnsiString("F;SLR") + (l == 1 ? "T" : "") + (l == lines ? "B" : "") + "M" + IntToStr(font) +
                 ";FG0" + align + ";Y" + IntToStr(l) + ";X" + position_[i] + "\r\n";
        if (!text.empty()) body_ += "C;K\"" + text + "\"\r\n";
    }

    void titleLine(int l, int lines) {
        const AnsiString y = IntToStr(l);
        if (cx_.Has(esoShowRecordNo))
            body_ += l == 1 ? "F;SLRTM0;FG0C;Y1;X1\r\nC;K\"#\"\r\n" : "F;SLRBM0;FG0C;Y" + y + ";X1\r\n";
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
                body_ += "F;SLTM0;FG0C;Y1;X" + position_[i] + "\r\nC;K\"" +
                         doubleSemicolons(TitleLine(group, 1)) + "\"\r\n";
                for (size_t j = i + 1; j < end; ++j)
                    body_ += "F;STM0;FG0C;X" + position_[j] + "\r\nC;K\"\"\r\n";
            } else if (l <= half) {
                // The group name goes on over the upper half of the title lines.
                const char* bottom = l == half ? "B" : "";
                body_ += AnsiString("F;SL") + bottom + "M0;FG0C;Y" + y + ";X" + position_[i] + "\r\n";
                const AnsiString text = doubleSemicolons(TitleLine(group, l));
                if (!text.empty()) body_ += "C;K\"" + text + "\"\r\n";
                for (size_t j = i + 1; j < end; ++j)
                    body_ += AnsiString("F;S") + bottom + "M0;FG0C;Y" + y + ";X" + position_[j] + "\r\n";
            } else {
                // The lower half shows the columns' own titles.
                for (size_t j = i; j < end; ++j)
                    titleCell(j, l, lines, doubleSemicolons(TitleLine(g_.Title(cols[j].col), l - half)));
            }
            i = end;
        }
    }

    void appendContent(const TkxExportColumn& c, size_t i) {
        TField* f = c.field;
        if (f->IsNull()) {
            body_ += "\"\"";
            return;
        }
        const TFieldType type = f->DataType();
        if (isInteger(type)) {
            if (combo_[i] < 0)
                body_ += doubleSemicolons(g_.CellText(c.col));
            else if (combo_[i] == 1 && cx_.Has(esoAddControls))
                body_ += cx_.options.QuoteField(g_.CellText(c.col));
            else
                body_ += IntToStr(f->AsLargeInt());
            return;
        }
        switch (type) {
        case ftBoolean:
            body_ += cx_.options.QuoteField(f->AsBoolean() ? "TRUE" : "FALSE");
            return;
        case ftFloat:
        case ftCurrency:
            body_ += shortest(f->AsFloat());
            return;
        case ftDateTime:
        case ftTimeStamp:
            body_ += shortest(f->AsDateTime());
            return;
        case ftDate:
            body_ += IntToStr(static_cast<int64_t>(std::trunc(f->AsDateTime())));
            return;
        case ftTime: {
            const double v = f->AsDateTime();
            body_ += shortest(v - std::trunc(v));
            return;
        }
        default:
            // Text is always quoted: unquoted, a reader takes it for a number or a name and reads
            // 0 or nothing.
            body_ += '"';
            body_ += sylkText(g_.CellText(c.col));
            body_ += '"';
        }
    }

    TkxExportContext& cx_;
    IkxExportGrid& g_;
    std::vector<FontKey> fonts_;
    std::vector<AnsiString> formats_;
    std::vector<int> fieldFormat_;     // per data column
    std::vector<AnsiString> position_; // per exported column: its X
    std::vector<int> combo_;           // per exported column: -1 no combo box, 0 plain, 1 with a map list
    std::vector<AnsiString> cellFormats_; // per exported column: cellFormat in the grid font
    int gridFont_ = 0;
    int titleLines_ = 0;
    int records_ = 0;
    Gathered body_;
};
} // namespace

std::unique_ptr<TkxExportWriter> MakeSylkWriter(TkxExportContext& context) {
    return std::make_unique<SylkWriter>(context);
}
