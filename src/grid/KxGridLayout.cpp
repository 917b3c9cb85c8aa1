// Layout persistence of TkxDBGrid: LoadLayout reads the stored columns back into the column list and
// applies it, SaveLayout writes one entry per column (KxIniAttributes.h has the storage and the value
// format). Both run once per window (load at the first window creation, save at destruction) and
// cost one pass over the columns plus the storage's own cost.
//
// A stored layout is outside text: whatever it holds, loading it never lets an exception out of the
// window's creation. A value without the delimiter, a width that is no number, a storage that
// cannot be read and a layout that names no field of the dataset each end the load with a warning
// box, the grid keeping the layout it had.
#include "grid/KxDBGrid.h"

#include "core/Exception.h"
#include "core/Format.h"
#include "core/SysUtils.h"
#include "grid/KxGridDataLink.h"
#include "grid/KxListLines.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"

#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

namespace {
void warn(const AnsiString& text) {
    MessageBox(text, "Warning", MB_OK | MB_ICONWARNING);
}

bool directoryExists(const AnsiString& dir) {
    struct stat st;
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The directory part of an ini file name, when it has one that is missing.
bool missingDirectory(const AnsiString& fileName) {
    if (fileName.empty()) return false;
    const AnsiString dir = ExtractFilePath(fileName);
    return !dir.empty() && !directoryExists(dir);
}

// A stored width the column model can take: a whole number of characters that keeps the pixel
// widths far from overflowing.
void checkWidth(const AnsiString& text) {
    const int width = StrToInt(text);
    if (width < 0 || width > 65535) throw EConvertError(Format("'%s' is not a valid integer value", text));
}
// Whether a column list would leave a data column to show: one of its lines names a field of the
// dataset. A dataset with no fields yet (closed, its fields made when it opens) cannot tell; the
// list is then taken as it is.
bool showsAField(TDataSet* ds, const TStringList& lines) {
    if (!ds || ds->FieldCount() == 0) return true;
    const std::unordered_map<AnsiString, TField*> fields = ds->FieldsByName();
    for (const AnsiString& line : lines.Lines())
        if (fields.contains(UpperCase(ListLineField(line, 0)))) return true;
    return false;
}
} // namespace

void TkxDBGrid::SaveLayout() {
    if (!Destroying()) {
        saveLayout();
        return;
    }
    // Saved from the destructor or from a deactivation on the way there: nothing may leave.
    try {
        saveLayout();
    } catch (const std::exception& e) {
        if (Application) Application->HandleException(this, e);
    }
}

void TkxDBGrid::saveLayout() {
    TkxIniAttributes& ia = *iniAttributes_;
    const bool registry = ia.SaveToRegistry();
    const AnsiString fileName = ia.FileName();
    if (registry && fileName.empty()) {
        if (!Destroying()) warn("FileName required when saving to registry");
        return;
    }
    if (!registry && missingDirectory(fileName)) {
        if (!Destroying()) warn("Directory does not exist");
        return;
    }
    const AnsiString& d = ia.Delimiter();
    if (d.empty()) {
        warn("Key delimiter required");
        return;
    }

    // The entries first, so that the section is only erased when there is something to put back.
    std::vector<TkxLayoutEntry> entries;
    if (UseTFields()) {
        // The column list's read-only flags by field name (the first line of a name counts), looked
        // up once per field rather than searched for each.
        std::unordered_map<AnsiString, bool> listedReadOnly;
        for (const AnsiString& line : Selected().Lines())
            listedReadOnly.try_emplace(UpperCase(ListLineField(line, 0)), ListLineField(line, 3) == "T");
        const int count = DataLink().Active() ? MappedFieldCount() : 0;
        for (int i = 0; i < count; ++i) {
            TField* f = MappedField(i);
            if (!f) continue;
            const auto listed = listedReadOnly.find(UpperCase(f->FieldName()));
            const bool readOnly = f->ReadOnly() || (listed != listedReadOnly.end() && listed->second);
            entries.push_back(
                {f->FieldName(),
                 JoinLayoutValue({IntToStr(f->DisplayWidth()), f->DisplayName(), readOnly ? "T" : "F"}, d)});
        }
    } else {
        for (const AnsiString& line : Selected().Lines()) {
            std::vector<AnsiString> parts = SplitListLine(line, '\t');
            // A line without a title part has nothing to store as one.
            if (parts.size() < 3 || parts[0].empty()) continue;
            std::vector<AnsiString> value{parts[1], parts[2], parts.size() >= 4 ? parts[3] : AnsiString("F")};
            if (parts.size() == 5 && !parts[4].empty()) value.push_back(parts[4]);
            entries.push_back({parts[0], JoinLayoutValue(value, d)});
        }
    }
    if (entries.empty()) return;

    TkxLayoutStore(registry, fileName, ia.SectionName()).Replace(entries);
}

void TkxDBGrid::LoadLayout() {
    TkxIniAttributes& ia = *iniAttributes_;
    const bool registry = ia.SaveToRegistry();
    const AnsiString fileName = ia.FileName();
    if (registry && fileName.empty()) {
        warn("FileName required when saving to registry");
        return;
    }
    const AnsiString d = ia.Delimiter();
    if (d.empty()) {
        warn("Key delimiter required");
        return;
    }
    if (!registry && missingDirectory(fileName)) {
        warn("Directory does not exist");
        return;
    }

    const TStringList previous = Selected();
    std::vector<TkxLayoutEntry> entries;
    try {
        entries = TkxLayoutStore(registry, fileName, ia.SectionName()).Read();
    } catch (const Exception& e) {
        warn(e.Message());
        return;
    }
    if (entries.empty()) return;

    TStringList lines;
    for (const TkxLayoutEntry& e : entries) {
        AnsiString line;
        if (!LayoutEntryToListLine(e, d, line)) {
            warn("Key Delimiter Not Found");
            // Nothing is applied; a column list goes back as it was, the fields' list stays empty.
            SetSelected(UseTFields() ? TStringList() : previous);
            return;
        }
        try {
            checkWidth(ListLineField(line, 1));
        } catch (const EConvertError& error) {
            // Nothing is applied and the list stays as it was in both modes: it also carries the
            // columns' read-only flags and group names, which a bad width must not take away.
            warn(error.Message());
            return;
        }
        lines.Add(line);
    }

    if (ia.CheckNewFields()) {
        // The names listed so far, those of the previous lines taken included.
        std::unordered_set<AnsiString> listed;
        for (const AnsiString& line : lines.Lines())
            listed.insert(UpperCase(line.substr(0, AnsiFind(line, "\t"))));
        for (const AnsiString& old : previous.Lines())
            if (listed.insert(UpperCase(old.substr(0, AnsiFind(old, "\t")))).second) lines.Add(old);
    }
    // A layout that names none of the dataset's fields would hide every column, and the save at
    // destruction, finding none, would keep it so for good: it is refused and the grid stays whole.
    if (!showsAField(DataSet(), lines)) {
        const AnsiString section = ia.SectionName();
        warn(registry ? Format("The layout stored under HKEY_CURRENT_USER\\%s\\%s names no field of the grid "
                               "and was not applied",
                               fileName, section)
                      : Format("The layout stored in %s, section %s, names no field of the grid and was not "
                               "applied",
                               fileName, section));
        return;
    }
    SetSelected(lines);
    try {
        ApplyColumnList();
    } catch (const Exception& e) {
        // Only a line kept from the previous list can still fail here.
        warn(e.Message());
        SetSelected(previous);
    }
}
