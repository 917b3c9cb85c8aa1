#pragma once
// The pieces the export's formats share (used by KxExportOptions.cpp, KxExportHtml.cpp and
// KxExportSylk.cpp only): where the output goes, the exported columns, and one writer per format
// that RunExport drives: the header, one row per visited record, the row for an empty selection and
// the trailer. A writer appends to the sink; nothing here touches the records' position.
#include "grid/support/KxExportOptions.h"

#include <cstdio>
#include <memory>
#include <string>

// The output: a file through a 64 KB buffer, or a string gathered in memory (file null).
class TkxExportSink {
public:
    explicit TkxExportSink(std::FILE* file) : file_(file) {}
    ~TkxExportSink();
    TkxExportSink(const TkxExportSink&) = delete;
    TkxExportSink& operator=(const TkxExportSink&) = delete;

    void Put(std::string_view text) {
        if (text.size() >= kFlushAt) return putLarge(text);
        buffer_.append(text);
        if (file_ && buffer_.size() >= kFlushAt) Flush();
    }
    void Put(char c) { buffer_ += c; }
    // Writes the buffer to the file; "Cannot write to file" (EInOutError) when that fails.
    void Flush();
    // What was gathered (a sink without a file).
    std::string& Text() { return buffer_; }
    bool ToFile() const { return file_ != nullptr; }

private:
    void putLarge(std::string_view text);
    static constexpr size_t kFlushAt = 64 * 1024;
    std::FILE* file_;
    std::string buffer_;
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
