#pragma once
// A small dataset over rows in a vector, for testing the dataset base class's record window,
// states and notifications. Columns: ID (integer) and NAME (text of 10 bytes).
#include "data/DataLink.h"
#include "data/DataSet.h"
#include "data/DataSource.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

class TVectorDataSet : public TDataSet {
public:
    struct Row {
        int key;
        std::optional<int> id;
        std::optional<std::string> name;
    };

    explicit TVectorDataSet(TComponent* owner, int rows = 0) : TDataSet(owner) {
        for (int i = 1; i <= rows; ++i)
            AddRow(i, "N" + std::to_string(i));
    }
    ~TVectorDataSet() override { CloseForDestroy(); }

    void AddRow(std::optional<int> id, std::optional<std::string> name) { rows.push_back({nextKey_++, id, name}); }
    std::vector<Row> rows;
    bool nameRequired = false;
    // Integer columns C1... after NAME, made on open and never read.
    int extraColumns = 0;

protected:
    struct Rec {
        int32_t key;
        int32_t flag;
        int8_t idNull, nameNull;
        int32_t id;
        char name[11];
    };
    static Rec* rec(char* b) { return reinterpret_cast<Rec*>(b); }
    static const Rec* rec(const char* b) { return reinterpret_cast<const Rec*>(b); }
    int indexOf(int key) const {
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].key == key)
                return static_cast<int>(i);
        return -1;
    }
    static int keyOf(const TBookmark& b) {
        int k;
        std::memcpy(&k, b.data(), sizeof k);
        return k;
    }

    int GetRecordSize() const override { return sizeof(Rec); }
    void InternalOpen() override {
        open_ = true;
        pos_ = -1;
        FieldDefs().Clear();
        FieldDefs().Add("ID", ftInteger);
        FieldDefs().Add("NAME", ftString, 10, nameRequired);
        for (int i = 1; i <= extraColumns; ++i)
            FieldDefs().Add("C" + std::to_string(i), ftInteger);
        if (DefaultFields())
            CreateFields();
        BindFields(true);
    }
    void InternalClose() override { open_ = false; }
    bool IsCursorOpen() const override { return open_; }
    void InternalFirst() override { pos_ = -1; }
    void InternalLast() override { pos_ = static_cast<int>(rows.size()); }
    TGetResult GetRecord(char* buffer, TGetMode mode, bool) override {
        int n = static_cast<int>(rows.size());
        if (mode == gmNext) {
            if (pos_ + 1 >= n) {
                pos_ = n;
                return grEOF;
            }
            ++pos_;
        } else if (mode == gmPrior) {
            if (pos_ - 1 < 0) {
                pos_ = -1;
                return grBOF;
            }
            --pos_;
        } else if (pos_ < 0 || pos_ >= n) {
            return grError;
        }
        const Row& r = rows[static_cast<size_t>(pos_)];
        Rec* out = rec(buffer);
        std::memset(out, 0, sizeof(Rec));
        out->key = r.key;
        out->flag = bfCurrent;
        out->idNull = !r.id;
        out->id = r.id.value_or(0);
        out->nameNull = !r.name;
        if (r.name)
            std::strncpy(out->name, r.name->c_str(), 10);
        return grOK;
    }
    void InternalInitRecord(char* buffer) override {
        std::memset(buffer, 0, sizeof(Rec));
        rec(buffer)->idNull = rec(buffer)->nameNull = 1;
    }
    TBookmarkFlag GetBookmarkFlag(const char* b) const override { return static_cast<TBookmarkFlag>(rec(b)->flag); }
    void SetBookmarkFlag(char* b, TBookmarkFlag f) override { rec(b)->flag = f; }
    TBookmark GetBookmarkData(const char* b) const override {
        TBookmark bm(sizeof(int32_t));
        std::memcpy(bm.data(), &rec(b)->key, sizeof(int32_t));
        return bm;
    }
    void SetBookmarkData(char* b, const TBookmark& bm) override {
        if (!bm.empty())
            rec(b)->key = keyOf(bm);
    }
    void InternalGotoBookmark(const TBookmark& bm) override { pos_ = indexOf(keyOf(bm)); }
    void InternalSetToRecord(const char* b) override { pos_ = indexOf(rec(b)->key); }
    int DoCompareBookmarks(const TBookmark& a, const TBookmark& b) const override {
        int ia = indexOf(keyOf(a)), ib = indexOf(keyOf(b));
        if (ia < 0 || ib < 0)
            return 2;
        return ia < ib ? -1 : (ia > ib ? 1 : 0);
    }
    bool DoBookmarkValid(const TBookmark& bm) const override { return indexOf(keyOf(bm)) >= 0; }
    bool GetFieldData(const TField* field, void* buffer) const override {
        const Rec* r = rec(ActiveRecordBuffer());
        if (field->FieldNo() == 1) {
            if (buffer)
                std::memcpy(buffer, &r->id, 4);
            return !r->idNull;
        }
        if (buffer) {
            // A declared field may be smaller than the column.
            size_t n = std::min(strnlen(r->name, 10), static_cast<size_t>(field->Size()));
            std::memcpy(buffer, r->name, n);
            static_cast<char*>(buffer)[n] = '\0';
        }
        return !r->nameNull;
    }
    void SetFieldData(TField* field, const void* buffer) override {
        Rec* r = rec(ActiveRecordBuffer());
        if (field->FieldNo() == 1) {
            r->idNull = !buffer;
            if (buffer)
                std::memcpy(&r->id, buffer, 4);
        } else {
            r->nameNull = !buffer;
            std::memset(r->name, 0, sizeof r->name);
            if (buffer)
                std::memcpy(r->name, buffer, std::min<size_t>(strnlen(static_cast<const char*>(buffer), 10), 10));
        }
    }
    void InternalPost() override {
        TDataSet::InternalPost();
        const Rec* r = rec(ActiveRecordBuffer());
        Row row{r->key, std::nullopt, std::nullopt};
        if (!r->idNull)
            row.id = r->id;
        if (!r->nameNull)
            row.name = std::string(r->name);
        if (State() == dsEdit) {
            rows[static_cast<size_t>(indexOf(r->key))] = row;
            return;
        }
        row.key = nextKey_++;
        int at = r->flag == bfEOF || r->flag == bfBOF || rows.empty() ? static_cast<int>(rows.size()) : indexOf(r->key);
        if (at < 0)
            at = static_cast<int>(rows.size());
        rows.insert(rows.begin() + at, row);
        pos_ = at;
    }
    void InternalDelete() override { rows.erase(rows.begin() + pos_); }
    int GetRecordCount() const override { return static_cast<int>(rows.size()); }
    int GetRecNo() const override {
        const char* b = ActiveRecordBuffer();
        return b && State() != dsInsert ? indexOf(rec(b)->key) + 1 : -1;
    }
    void SetRecNoValue(int value) override {
        CheckBrowseMode();
        if (value < 1 || value > static_cast<int>(rows.size()) || value == RecNo())
            return;
        if (BeforeScroll)
            BeforeScroll(this);
        pos_ = value - 1;
        Resync(rmCenter);
        if (AfterScroll)
            AfterScroll(this);
    }

private:
    bool open_ = false;
    int pos_ = -1;
    int nextKey_ = 1;
};

// A data link that writes down what it is told.
class TLogLink : public TDataLink {
public:
    std::vector<std::string> log;

protected:
    void ActiveChanged() override { log.push_back(Active() ? "active" : "inactive"); }
    void DataSetChanged() override { log.push_back("changed"); }
    void DataSetScrolled(int distance) override { log.push_back("scrolled " + std::to_string(distance)); }
    void EditingChanged() override { log.push_back(Editing() ? "editing" : "browsing"); }
    void LayoutChanged() override { log.push_back("layout"); }
    void RecordChanged(TField* field) override {
        log.push_back("record " + (field ? field->FieldName() : std::string("-")));
    }
    void FocusControl(TField** field) override {
        if (!*field)
            return;  // another link took the focus already
        log.push_back("focus " + (*field)->FieldName());
        *field = nullptr;
    }
};
