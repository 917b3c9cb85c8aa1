#pragma once
// The pieces the export's formats share (used by KxExportOptions.cpp, KxExportHtml.cpp and
// KxExportSylk.cpp only): where the output goes, the exported columns, and one writer per format
// that RunExport drives: the header, one row per visited record, the row for an empty selection and
// the trailer. A writer appends to the sink; nothing here touches the records' position.
#include "grid/support/KxExportOptions.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

// The output: a file through one 64 KB buffer, or a string gathered in memory (file null) that
// starts small. The buffer is made once and reused for the whole export, so a row costs copies into
// it and no allocation; a piece that does not fit flushes the buffer (a file) or doubles it (memory).
class TkxExportSink {
public:
    explicit TkxExportSink(std::FILE* file);
    ~TkxExportSink();
    TkxExportSink(const TkxExportSink&) = delete;
    TkxExportSink& operator=(const TkxExportSink&) = delete;

    void Put(std::string_view text) {
        if (text.size() > buffer_.size() - used_) return putSlow(text);
        if (text.empty()) return; // an empty view may point nowhere, which memcpy must not be given
        std::memcpy(buffer_.data() + used_, text.data(), text.size());
        used_ += text.size();
    }
    void Put(char c) {
        if (used_ == buffer_.size()) makeRoom(1);
        buffer_[used_++] = c;
    }
    // `count` times the byte c.
    void Put(size_t count, char c);
    // The text with each byte c written twice; c lies below every code page's second bytes (a quote,
    // a ";"), so that each such byte is a character of its own.
    void PutDoubling(std::string_view text, char c);
    // A whole number in decimal.
    void PutInt(int64_t v);
    // Writes the buffer to the file; "Cannot write to file" (EInOutError) when that fails.
    void Flush();
    // What was gathered (a sink without a file).
    std::string& Text() {
        buffer_.resize(used_);
        return buffer_;
    }
    bool ToFile() const { return file_ != nullptr; }

private:
    void putSlow(std::string_view text);
    // At least `bytes` free in the buffer: flushed to the file, or grown.
    void makeRoom(size_t bytes);
    static constexpr size_t kFileBuffer = 64 * 1024, kFirstMemoryBuffer = 256;
    std::FILE* file_;
    std::string buffer_; // its size is the room; the first used_ bytes hold output
    size_t used_ = 0;
};

// An exported column: its data column, field, control type and parameters.
struct TkxExportColumn {
    int col = 0;
    TField* field = nullptr;
    AnsiString type;
    AnsiString parameters;
};

struct TkxExportContext {
    const TkxExportOptions& options;
    IkxExportGrid& grid;
    TkxExportSink& out;
    // The accepted columns in grid order.
    std::vector<TkxExportColumn> columns;
    // Every field of the data link, accepted or not.
    int fieldCount = 0;
    // The rows the export writes, when known before the first (for a writer that wants it); -1 when
    // only the walk finds them.
    int rowCount = -1;

    bool Has(TkxExportSaveOption o) const { return options.Options().Contains(o); }
    // The last field of the data link (exported or not) is data column col.
    bool IsLastField(int col) const { return col == fieldCount - 1; }
    // One past the accepted columns from columns[i] on that belong to the group `group` starting
    // there: the data columns to its right with the same group name.
    size_t GroupEnd(size_t i, const AnsiString& group) const;
};

class TkxExportWriter {
public:
    virtual ~TkxExportWriter() = default;
    // The writer names the number of rows before the first (SYLK, in its head): the export then
    // counts the records before the first row where it can, into the context's rowCount.
    virtual bool WantsRowCount() const { return false; }
    virtual void Header() {}
    // One row for the current record, numbered from 1 over the exported records.
    virtual void Row(int recordNo) = 0;
    // The row that says that a selected-only export found no selection.
    virtual void NoSelection() {}
    virtual void Trailer() {}
};

std::unique_ptr<TkxExportWriter> MakeTextWriter(TkxExportContext& context);
std::unique_ptr<TkxExportWriter> MakeHtmlWriter(TkxExportContext& context);
std::unique_ptr<TkxExportWriter> MakeSylkWriter(TkxExportContext& context);

// ---- text helpers ----
// Each occurrence of `from` (at character boundaries) replaced by `to`.
AnsiString ReplaceText(std::string_view text, std::string_view from, std::string_view to);
// Line k (1-based) of a title whose lines are separated by "~"; an empty line ends the search, so
// later lines read as empty.
AnsiString TitleLine(std::string_view title, int k);
// "&", "<", ">" and '"' as HTML entities.
AnsiString HtmlEscape(std::string_view text);
// The name the web gives the process code page ("big5", "utf-8", "windows-1252").
AnsiString WebCharsetName();
// `<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=NAME">` CRLF.
AnsiString CharsetMeta(std::string_view charset);
