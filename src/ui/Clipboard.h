#pragma once
// The clipboard with the formats the grid exports: plain text, "HTML Format", SYLK and an HTML
// document for the desktop's own programs (text/html). Plain text and the HTML document leave as
// Unicode (UTF-8 for the desktop), converted from the code page. Between Open and Close several
// formats are gathered and placed together; outside, each setter places its format alone.
#include "core/AnsiString.h"

#include <memory>
#include <string>

// Format names: plain text (code-page text), the registered HTML clipboard format, the SYLK format.
inline constexpr const char* CF_TEXT_NAME = "Text";
inline constexpr const char* CF_HTML_NAME = "HTML Format";
inline constexpr const char* CF_SYLK_NAME = "SYLK";

class TClipboard {
public:
    TClipboard();
    ~TClipboard();
    void Open();
    void Close();
    // Empties the clipboard (while open: the formats gathered so far).
    void Clear();
    void SetAsText(const AnsiString& text);
    AnsiString AsText() const;
    // An HTML document in the code page, offered as text/html.
    void SetAsHtml(const AnsiString& html);
    // Bytes under a format name; plain text is converted from the code page.
    void SetFormat(const AnsiString& format, const std::string& bytes);
    std::string GetFormat(const AnsiString& format) const;
    bool HasFormat(const AnsiString& format) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

TClipboard& Clipboard();
