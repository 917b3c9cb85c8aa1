#pragma once
// Conversions and file-name helpers with the system's messages.
#include "core/AnsiString.h"

#include <cstdint>

// "'%s' is not a valid integer value" (EConvertError) when the text is no integer; blanks around
// the digits are not allowed, a leading sign and a "$" or "0x" hexadecimal prefix are.
int StrToInt(std::string_view s);
int64_t StrToInt64(std::string_view s);
int StrToIntDef(std::string_view s, int def);
bool TryStrToInt64(std::string_view s, int64_t& value);
AnsiString IntToStr(int64_t v);
// "'%s' is not a valid floating point value" when the text is no number.
double StrToFloat(std::string_view s);
bool TryStrToFloat(std::string_view s, double& value);
// Shortest text that reads back as the same value with at most `digits` significant digits.
AnsiString FloatToStr(double v, int digits = 15);

bool FileExists(const AnsiString& path);
AnsiString ExtractFileName(std::string_view path);  // after the last "/"
AnsiString ExtractFilePath(std::string_view path);  // up to and including the last "/"
AnsiString ChangeFileExt(std::string_view path, std::string_view ext);

// The running program's full path and its folder (with a trailing "/").
AnsiString ExeName();
AnsiString ExeDir();
// The program's file name without its folder, cut before its first "." (report.old.exe: report);
// default file names are made from it.
AnsiString ExeBaseName();

// The user's home folder: HOME when it names an absolute folder, else the password database's
// entry for this user ("/nonexistent" when there is none); never a folder other users share.
AnsiString HomeDir();
// Whether only the file's owner, being this user or root, and root can change it (false for a
// file that does not exist). Settings and libraries that others could plant are not trusted.
bool WritableOnlyByOwner(const AnsiString& path);
