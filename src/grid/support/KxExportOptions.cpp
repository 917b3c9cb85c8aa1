// TkxExportOptions: the settings, QuoteField, the walk over the records with the dataset put back
// afterwards, the clipboard, and the text format (delimited and fixed width). HTML and SYLK are in
// KxExportHtml.cpp and KxExportSylk.cpp.
#include "grid/support/KxExportOptions.h"

#include "core/Exception.h"
#include "core/Format.h"
#include "core/Guard.h"
#include "core/SysUtils.h"
#include "grid/support/KxExportWriter.h"
#include "ui/Application.h"
#include "ui/Clipboard.h"
#include "ui/Dialogs.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <typeinfo>
#include <unistd.h>

void TkxExportOptions::DefineProperties(ClassInfo& info) {
    using E = TkxExportOptions;
    info.Add("Delimiter", &E::Delimiter, &E::SetDelimiter);
    info.Add("ExportType", &E::ExportType, &E::SetExportType);
    info.AddProperty({"FileName",
                      [](const TPersistent& o) { return PropValue(static_cast<const E&>(o).FileName()); },
                      [](TPersistent& o, const PropValue& v) {
                          if (auto* s = std::get_if<AnsiString>(&v)) static_cast<E&>(o).SetFileName(*s);
                      }});
    info.Add("HTMLBorderWidth", &E::HTMLBorderWidth, &E::SetHTMLBorderWidth);
    info.AddSet("Options", &E::Options, &E::SetOptions);
    info.Add("OutputWidthinTwips", &E::OutputWidthinTwips, &E::SetOutputWidthinTwips);
    info.Add("TitleName", &E::TitleName, &E::SetTitleName);
}

TkxExportOptions::TkxExportOptions(TComponent* owner, IkxExportGrid* grid) : owner_(owner), grid_(grid) {}
TkxExportOptions::~TkxExportOptions() = default;

// This platform has no design time: the name always resolves.
AnsiString TkxExportOptions::FileName() const {
    return fileName_.empty() ? ExeBaseName() + ".txt" : fileName_;
}

AnsiString TkxExportOptions::QuoteField(const AnsiString& text) const {
    if (!options_.Contains(esoDblQuoteFields)) return text;
    if (text.empty())
        return exportType_ == kxgetTxt && delimiter_.empty() ? AnsiString("\"\"") : AnsiString();
    AnsiString quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    // Delimited text doubles a quote inside the value, so that a reader finds where the value ends
    // and reads it back whole. Fixed-width columns are found by position: a reader takes what lies
    // between the outer quotes as it stands, so a doubled quote would come back doubled.
    if (text.find('"') == AnsiString::npos || exportType_ != kxgetTxt || delimiter_.empty())
        quoted += text;
    else
        quoted += ReplaceText(text, "\"", "\"\"");
    quoted += '"';
    return quoted;
}

// ---- the sink ----

TkxExportSink::TkxExportSink(std::FILE* file)
    : file_(file), buffer_(file ? kFileBuffer : kFirstMemoryBuffer, '\0') {}
TkxExportSink::~TkxExportSink() = default;

void TkxExportSink::makeRoom(size_t bytes) {
    if (file_) {
        Flush();
        if (bytes <= buffer_.size()) return;
    }
    buffer_.resize(std::max(buffer_.size() * 2, used_ + bytes));
}

// A piece larger than the buffer bound for the file goes out whole rather than through it.
void TkxExportSink::putSlow(std::string_view text) {
    if (file_ && text.size() >= buffer_.size()) {
        Flush();
        if (std::fwrite(text.data(), 1, text.size(), file_) != text.size())
            throw EInOutError("Cannot write to the export file");
        return;
    }
    makeRoom(text.size());
    std::memcpy(buffer_.data() + used_, text.data(), text.size());
    used_ += text.size();
}

void TkxExportSink::Put(size_t count, char c) {
    if (count > buffer_.size() - used_) makeRoom(count);
    std::memset(buffer_.data() + used_, c, count);
    used_ += count;
}

void TkxExportSink::PutDoubling(std::string_view text, char c) {
    for (size_t at = 0;;) {
        const size_t found = text.find(c, at);
        if (found == std::string_view::npos) return Put(text.substr(at));
        Put(text.substr(at, found + 1 - at));
        Put(c);
        at = found + 1;
    }
}

void TkxExportSink::PutInt(int64_t v) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, v);
    Put(std::string_view(digits, size_t(r.ptr - digits)));
}

void TkxExportSink::Flush() {
    if (!file_ || used_ == 0) return;
    const size_t size = used_;
    used_ = 0;
    if (std::fwrite(buffer_.data(), 1, size, file_) != size || std::fflush(file_) != 0)
        throw EInOutError("Cannot write to the export file");
}

// ---- text helpers ----

AnsiString ReplaceText(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return AnsiString(text);
    // A search text whose first byte never ends a double-byte character can only be found at a
    // character boundary: the plain search finds the same places, faster.
    const bool plain = !codepage::IsTrailByte(static_cast<unsigned char>(from[0]));
    auto find = [&](size_t start) { return plain ? text.find(from, start) : AnsiFind(text, from, start); };
    size_t start = 0, at = find(0);
    if (at == std::string_view::npos) return AnsiString(text);
    AnsiString result;
    result.reserve(text.size() + 16);
    while (at != std::string_view::npos) {
        result.append(text, start, at - start);
        result.append(to);
        start = at + from.size();
        at = find(start);
    }
    result.append(text, start);
    return result;
}

size_t TkxExportContext::GroupEnd(size_t i, const AnsiString& group) const {
    int last = columns[i].col;
    while (last + 1 < fieldCount && grid.GroupHeaderName(last + 1) == group)
        ++last;
    size_t end = i;
    while (end < columns.size() && columns[end].col <= last)
        ++end;
    return end;
}

AnsiString TitleLine(std::string_view title, int k) {
    size_t start = 0;
    for (int line = 1;; ++line) {
        const size_t end = AnsiFind(title, "~", start);
        std::string_view piece =
            title.substr(start, end == std::string_view::npos ? title.npos : end - start);
        if (line == k) return AnsiString(piece);
        if (piece.empty() || end == std::string_view::npos) return {};
        start = end + 1;
    }
}

// "&", "<", ">" and '"' lie below every code page's second bytes (0x40 and up), so a byte of
// theirs is always a character of its own.
AnsiString HtmlEscape(std::string_view text) {
    if (text.find_first_of("&<>\"") == std::string_view::npos) return AnsiString(text);
    AnsiString result;
    result.reserve(text.size() + 16);
    for (char c : text) {
        switch (c) {
        case '&':
            result += "&amp;";
            break;
        case '<':
            result += "&lt;";
            break;
        case '>':
            result += "&gt;";
            break;
        case '"':
            result += "&quot;";
            break;
        default:
            result += c;
        }
    }
    return result;
}

AnsiString WebCharsetName() {
    const AnsiString name = UpperCase(codepage::Name());
    if (name == "BIG5" || name == "CP950") return "big5";
    if (name == "BIG5-HKSCS") return "big5-hkscs";
    if (name == "UTF-8" || name == "UTF8") return "utf-8";
    if (name == "GBK" || name == "CP936") return "gbk";
    if (name == "SJIS" || name == "SHIFT_JIS" || name == "CP932") return "shift_jis";
    if (name == "EUC-KR" || name == "CP949") return "euc-kr";
    if (name.rfind("CP", 0) == 0 && name.size() > 2) return "windows-" + name.substr(2);
    return LowerCase(name);
}

AnsiString CharsetMeta(std::string_view charset) {
    return "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=" + AnsiString(charset) +
           "\">\r\n";
}

// ---- text ----

namespace {
class TextWriter : public TkxExportWriter {
public:
    explicit TextWriter(TkxExportContext& cx)
        : cx_(cx), delimiter_(cx.options.Delimiter()), fixed_(delimiter_.empty()),
          recordNo_(cx.Has(esoShowRecordNo)), quote_(cx.Has(esoDblQuoteFields)),
          ownQuoting_(typeid(cx.options) == typeid(TkxExportOptions)) {
        const int quotes = quote_ ? 2 : 0;
        for (const TkxExportColumn& c : cx.columns) {
            titles_.push_back(ReplaceText(cx.grid.Title(c.col), "~", " "));
            widths_.push_back(
                int(std::max(titles_.back().size(), size_t(std::max(0, cx.grid.WidthInChars(c.col))))) +
                quotes);
            right_.push_back(c.field->Alignment() != taLeftJustify);
            last_.push_back(cx.IsLastField(c.col));
        }
    }

    void Header() override {
        if (!cx_.Has(esoShowHeader)) return;
        if (recordNo_) put(fixed_ ? pad("#", 8, true) : cx_.options.QuoteField("#"), true);
        for (size_t i = 0; i < cx_.columns.size(); ++i)
            field(i, titles_[i]);
        cx_.out.Put("\r\n");
    }

    void Row(int recordNo) override {
        if (!ownQuoting_) return quotedRow(recordNo);
        if (recordNo_) {
            char digits[16];
            const auto r = std::to_chars(digits, digits + sizeof digits, recordNo);
            value(std::string_view(digits, size_t(r.ptr - digits)), fixed_ ? 8 : 0, true);
            separator();
        }
        for (size_t i = 0; i < cx_.columns.size(); ++i) {
            value(cx_.grid.CellText(cx_.columns[i].col), fixed_ ? widths_[i] : 0, right_[i]);
            if (!last_[i]) separator();
        }
        cx_.out.Put("\r\n");
    }

private:
    // QuoteField(text) padded with blanks to `width` bytes (on the left when `right`), made in the
    // output itself.
    void value(std::string_view text, int width, bool right) {
        TkxExportSink& out = cx_.out;
        const bool wrap = quote_ && !text.empty();
        const bool emptyPair = quote_ && text.empty() && fixed_;
        // Only delimited text doubles the quotes inside a value.
        const size_t doubled = wrap && !fixed_ ? size_t(std::count(text.begin(), text.end(), '"')) : 0;
        const size_t size = emptyPair ? 2 : text.size() + (wrap ? 2 + doubled : 0);
        const size_t blanks = size < size_t(width) ? size_t(width) - size : 0;
        if (right) out.Put(blanks, ' ');
        if (emptyPair) {
            out.Put("\"\"");
        } else if (!wrap) {
            out.Put(text);
        } else {
            out.Put('"');
            if (doubled == 0)
                out.Put(text);
            else
                out.PutDoubling(text, '"');
            out.Put('"');
        }
        if (!right) out.Put(blanks, ' ');
    }
    void separator() { cx_.out.Put(fixed_ ? std::string_view(" ") : std::string_view(delimiter_)); }

    // A row through a QuoteField of a class derived from the options.
    void quotedRow(int recordNo) {
        if (recordNo_) {
            const AnsiString no = cx_.options.QuoteField(IntToStr(recordNo));
            put(fixed_ ? pad(no, 8, true) : no, true);
        }
        for (size_t i = 0; i < cx_.columns.size(); ++i)
            field(i, cx_.grid.CellText(cx_.columns[i].col));
        cx_.out.Put("\r\n");
    }
    static AnsiString pad(const AnsiString& text, int width, bool right) {
        if (int(text.size()) >= width) return text;
        const AnsiString blanks(size_t(width) - text.size(), ' ');
        return right ? blanks + text : text + blanks;
    }
    // A value followed by the separator unless it belongs to the data link's last field.
    void put(const AnsiString& text, bool separate) {
        cx_.out.Put(text);
        if (separate) separator();
    }
    void field(size_t i, const AnsiString& value) {
        const AnsiString quoted = cx_.options.QuoteField(value);
        put(fixed_ ? pad(quoted, widths_[i], right_[i]) : quoted, !last_[i]);
    }

    TkxExportContext& cx_;
    const AnsiString delimiter_;
    const bool fixed_;
    const bool recordNo_;
    const bool quote_;
    // The options quote as this class does (no derived class changes QuoteField): values are
    // quoted straight into the output.
    const bool ownQuoting_;
    std::vector<AnsiString> titles_;
    std::vector<int> widths_;
    std::vector<bool> right_;
    std::vector<bool> last_;
};

// The full name of a file as the system would open it.
AnsiString expandFileName(const AnsiString& name) {
    if (!name.empty() && name[0] == '/') return name;
    char buf[4096];
    return ::getcwd(buf, sizeof buf) ? AnsiString(buf) + "/" + name : name;
}

// Lets the application handle what waits (timers, input) while records are exported, at most once
// every 10 ms: handling the queue costs a microsecond or more even when it is empty, several times
// what a record costs, and the clock is read only every 16 records.
class MessagePump {
public:
    void operator()() {
        if (++calls_ % 16 != 0) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(10)) return;
        last_ = now;
        if (Application) Application->ProcessMessages();
    }

private:
    unsigned calls_ = 0;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

// The "HTML Format" string: the description header with its byte offsets, then the document as
// the fragment.
AnsiString htmlClipboardFormat(const AnsiString& document) {
    static const char start[] = "<!--StartFragment-->";
    static const char end[] = "<!--EndFragment-->";
    constexpr size_t header = 157;
    const size_t fragmentStart = header + std::strlen(start);
    const size_t fragmentEnd = fragmentStart + 2 + document.size();
    const size_t total = fragmentEnd + std::strlen(end);
    char head[header + 1];
    std::snprintf(head, sizeof head,
                  "Version:0.9\r\nStartHTML:%010zu\r\nEndHTML:%010zu\r\nStartFragment:%010zu\r\n"
                  "EndFragment:%010zu\r\nStartSelection:%010zu\r\nEndSelection:%010zu\r\n",
                  header, total, fragmentStart, fragmentEnd, fragmentStart, fragmentEnd);
    AnsiString s(head);
    s.reserve(total);
    s += start;
    s += "\r\n";
    s += document;
    s += end;
    return s;
}

// Places the gathered output, after emptying the clipboard.
void placeOnClipboard(TkxGridExportType type, const AnsiString& output) {
    TClipboard& clipboard = Clipboard();
    clipboard.Clear();
    if (type == kxgetXML) return;
    try {
        clipboard.Open();
        switch (type) {
        case kxgetTxt:
            clipboard.SetAsText(output);
            break;
        case kxgetSYLK:
            clipboard.SetAsText(output);
            clipboard.SetFormat(CF_SYLK_NAME, output);
            break;
        case kxgetHTML: {
            const AnsiString cf = htmlClipboardFormat(output);
            clipboard.SetFormat(CF_HTML_NAME, cf);
            clipboard.SetAsText(cf);
            // The desktop's programs read text/html as UTF-8: the document says so instead.
            clipboard.SetAsHtml(ReplaceText(output, CharsetMeta(WebCharsetName()), CharsetMeta("utf-8")));
            break;
        }
        default:
            break;
        }
    } catch (const std::bad_alloc&) {
        clipboard.Clear(); // what was gathered goes: the clipboard stays empty
        clipboard.Close();
        MessageBox("Global Alloc failed!", "Error", MB_OK | MB_ICONERROR);
        return;
    }
    clipboard.Close();
}
} // namespace

std::unique_ptr<TkxExportWriter> MakeTextWriter(TkxExportContext& context) {
    return std::make_unique<TextWriter>(context);
}

// ---- the export ----

void TkxExportOptions::RunExport() {
    std::FILE* file = nullptr;
    if (!options_.Contains(esoClipboard)) {
        const AnsiString name = FileName();
        file = std::fopen(name.c_str(), "wb");
        if (!file)
            throw EFCreateError(
                Format("Cannot create file \"%s\". %s", expandFileName(name), std::strerror(errno)));
    }
    struct Closer {
        std::FILE* file;
        ~Closer() {
            if (file) std::fclose(file);
        }
    } closer{file};
    TkxExportSink out(file);

    if (TDataSet* ds = grid_ ? grid_->DataSet() : nullptr) {
        ds->DisableControls();
        const TBookmark mark = ds->GetBookmark();
        const int row = grid_->VisibleRow();
        moved_ = false;
        auto restore = [&] {
            if (moved_ && ds->Active() && ds->BookmarkValid(mark)) {
                ds->GotoBookmark(mark);
                grid_->MoveRecordToRow(row);
            }
        };
        try {
            exportRecords(out);
        } catch (...) {
            // The first failure is the one to report; putting things back must not hide it.
            try {
                restore();
            } catch (...) {
            }
            ds->EnableControls();
            try {
                out.Flush();
            } catch (...) {
            }
            throw;
        }
        try {
            restore();
        } catch (...) {
            ds->EnableControls();
            throw;
        }
        ds->EnableControls();
    }

    if (file) {
        out.Flush();
        closer.file = nullptr;
        if (std::fclose(file) != 0) throw EInOutError("Cannot write to the export file");
    } else if (options_.Contains(esoClipboard)) {
        placeOnClipboard(exportType_, out.Text());
    }
}

void TkxExportOptions::RunExportOf(std::vector<TBookmark> records) {
    TAtScopeEnd clear([this] { records_ = nullptr; });
    records_ = &records;
    RunExport();
}

void TkxExportOptions::RunExportWhere(const std::function<bool()>& accept) {
    TAtScopeEnd clear([this] { accept_ = nullptr; });
    accept_ = &accept;
    RunExport();
}

void TkxExportOptions::exportRecords(TkxExportSink& out) {
    if (!grid_->LinkActive()) return;
    TDataSet* ds = grid_->DataSet();
    TkxExportContext cx{*this, *grid_, out, {}, grid_->FieldCount()};
    for (int col = 0; col < cx.fieldCount; ++col) {
        TField* f = grid_->Field(col);
        if (!f || !grid_->ExportField(f)) continue;
        TkxExportColumn c;
        c.col = col;
        c.field = f;
        c.type = grid_->ControlType(col, c.parameters);
        cx.columns.push_back(std::move(c));
    }
    std::unique_ptr<TkxExportWriter> writer;
    switch (exportType_) {
    case kxgetTxt:
        writer = MakeTextWriter(cx);
        break;
    case kxgetHTML:
        writer = MakeHtmlWriter(cx);
        break;
    case kxgetSYLK:
        writer = MakeSylkWriter(cx);
        break;
    default:
        return; // XML has no content
    }

    writer->Header();
    MessagePump pump;
    int recordNo = 0;
    if (records_ || (options_.Contains(esoSaveSelectedOnly) && !accept_)) {
        // Dataset order; a bookmark whose record is gone is left out.
        std::vector<TBookmark> marks = records_ ? std::move(*records_) : grid_->SelectedBookmarks();
        std::erase_if(marks, [&](const TBookmark& m) { return !ds->BookmarkValid(m); });
        std::sort(marks.begin(), marks.end(),
                  [&](const TBookmark& a, const TBookmark& b) { return ds->CompareBookmarks(a, b) == -1; });
        // The current record alone is read where it is.
        const bool here = marks.size() == 1 && ds->CompareBookmarks(marks[0], ds->GetBookmark()) == 0;
        cx.rowCount = int(marks.size());
        for (const TBookmark& m : marks) {
            if (!here) {
                moved_ = true;
                ds->GotoBookmark(m);
            }
            writer->Row(++recordNo);
            pump();
        }
        if (recordNo == 0) writer->NoSelection();
    } else {
        moved_ = true;
        ds->First();
        // A dataset that counts its records counts those the walk visits. Those not read yet are read
        // first, a packet at a time with pending messages handled between, as the walk would read them.
        if (writer->WantsRowCount() && !accept_ && !ds->IsUniDirectional()) {
            while (!ds->AllRecordsHeld() && ds->ReadMoreRecords(256) > 0)
                pump();
            cx.rowCount = ds->RecordCount();
        }
        while (!ds->Eof()) {
            if (!accept_ || (*accept_)()) writer->Row(++recordNo);
            pump();
            ds->Next();
        }
    }
    writer->Trailer();
}
