#pragma once
// The save dialog: the framework's own file dialog (the same on every desktop), asking where a file
// is to be written and in which of several formats. With MORVANE_DIALOGS=auto it answers Save at
// once with the name and filter it was given, as a message box answers its default button;
// SaveDialogHook, when set, answers instead of the user.
#include "core/AnsiString.h"

#include <functional>
#include <vector>

// A filter of the dialog: what the user reads ("HTML") and the patterns it shows ("*.htm *.html").
struct TFileFilter {
    AnsiString Name;
    AnsiString Patterns;
};

// Opens the dialog on `fileName` (its folder and name; a relative name starts in the working
// folder) with filters[filterIndex] chosen. Save: true, the full name in `fileName` and the filter
// chosen in `filterIndex`; Cancel: false, both unchanged. Replacing a file is confirmed in the dialog.
bool PromptForSaveFile(const AnsiString& title, AnsiString& fileName, const std::vector<TFileFilter>& filters,
                       int& filterIndex);
extern std::function<bool(AnsiString& fileName, int& filterIndex)> SaveDialogHook;
