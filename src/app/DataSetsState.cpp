#include "app/DataSetsState.h"

#include "data/DataSet.h"
#include "framework/core/Format.h"
#include "framework/ui/Application.h"

namespace {
std::string recordTexts(const TDataSet& ds) {
    std::string json = "[";
    for (int i = 0; i < ds.FieldCount(); ++i)
        json += (i ? ", " : "") + JsonString(ds.Fields(i)->DisplayText());
    return json + "]";
}

// The first rows, read with the controls held still and the current record restored; only while
// browsing, so that reading never posts or cancels an edit.
std::string rows(TDataSet& ds) {
    if (ds.State() != dsBrowse || ds.IsUniDirectional())
        return "[]";
    std::string json = "[";
    TBookmark mark = ds.GetBookmark();
    ds.DisableControls();
    try {
        ds.First();
        for (int n = 0; n < kStateRows && !ds.Eof(); ++n, ds.Next())
            json += (n ? ",\n        " : "\n        ") + recordTexts(ds);
        if (!mark.empty())
            ds.GotoBookmark(mark);
    } catch (...) {
        ds.EnableControls();
        throw;
    }
    ds.EnableControls();
    return json + "]";
}
} // namespace

std::string DataSetsState(const TComponent* owner) {
    std::string json = "[";
    bool first = true;
    for (int i = 0; owner && i < owner->ComponentCount(); ++i) {
        auto* ds = dynamic_cast<TDataSet*>(owner->Components(i));
        if (!ds)
            continue;
        std::string fields = "[";
        for (int f = 0; f < ds->FieldCount(); ++f)
            fields += (f ? ", " : "") + JsonString(ds->Fields(f)->FieldName());
        fields += "]";
        bool hasRecord = ds->Active() && !ds->IsEmpty();
        json += first ? "\n" : ",\n";
        first = false;
        json += Format("    {\"name\": %s, \"class\": %s, \"state\": %d, \"recordCount\": %d, \"fields\": %s,\n"
                       "     \"current\": %s,\n     \"rows\": %s}",
                       JsonString(ds->Name()), JsonString(ds->ClassName()), int(ds->State()),
                       ds->Active() ? ds->RecordCount() : 0, fields, hasRecord ? recordTexts(*ds) : "[]", rows(*ds));
    }
    return json + "\n  ]";
}
