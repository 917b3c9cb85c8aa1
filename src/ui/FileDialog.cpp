#include "ui/FileDialog.h"

#include "ui/QtBridge.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QStringList>

#include <cstdlib>
#include <cstring>

using namespace bridge;

std::function<bool(AnsiString&, int&)> SaveDialogHook;

bool PromptForSaveFile(const AnsiString& title, AnsiString& fileName, const std::vector<TFileFilter>& filters,
                       int& filterIndex) {
    if (SaveDialogHook)
        return SaveDialogHook(fileName, filterIndex);
    const char* mode = std::getenv("MORVANE_DIALOGS");
    if ((mode && std::strcmp(mode, "auto") == 0) || !qApp) {
        fileName = FromQString(QDir::current().absoluteFilePath(ToQString(fileName)));
        return true;
    }
    QStringList names;
    for (const TFileFilter& f : filters)
        names << ToQString(f.Name + " (" + f.Patterns + ")");
    QFileDialog dialog(QApplication::activeWindow(), ToQString(title));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(names);
    if (filterIndex >= 0 && filterIndex < names.size())
        dialog.selectNameFilter(names[filterIndex]);
    dialog.selectFile(QDir::current().absoluteFilePath(ToQString(fileName)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = FromQString(dialog.selectedFiles().first());
    const int chosen = int(names.indexOf(dialog.selectedNameFilter()));
    if (chosen >= 0)
        filterIndex = chosen;
    return true;
}
