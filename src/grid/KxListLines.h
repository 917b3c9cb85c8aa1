#pragma once
// The line formats of the selection grid's string lists, read and written in one place: the column
// list `Selected` (tab-separated: field name, width, title, read-only flag, group header name), the
// control-type list (";"-separated) and the picture-mask list (tab-separated, read with the column
// list's field reader). Separators are found character by character in the process code page
// (AnsiFind), so a Big5 character whose trail byte is "~" or "\" is never cut. Each call walks the
// line once per separator; lines are short and read at layout time, never per record.
#include "core/AnsiString.h"

#include <vector>

// Field `index` (0 to 4) of a column-list line: fields end at the next tab, missing fields read as
// empty, an empty read-only flag (index 3) reads as "F"; text behind a fifth tab is never read.
AnsiString ListLineField(std::string_view line, int index);
// The line with field `index` replaced, written back as name, tab, width, tab, title, tab, flag
// ("F" when empty), and a tab and the group header name only when that name is not empty.
AnsiString SetListLineField(std::string_view line, int index, std::string_view value);

// The line cut at every separator: n separators give n + 1 parts (an empty line one empty part).
std::vector<AnsiString> SplitListLine(std::string_view line, char separator);
// Part `index` of a split line; "List index out of bounds (%d)" (EStringListError) when missing.
const AnsiString& ListLinePart(const std::vector<AnsiString>& parts, int index);
// The text after the count-th separator (empty when the line has fewer), without cutting it.
AnsiString ListLineTail(std::string_view line, char separator, int count);
