#pragma once
// TDataSet: the current-record model every dataset shares. It keeps a window of record buffers
// around the current record (as many as the largest buffer count any attached data link asks
// for), the dataset state, the fields, navigation, edit/insert/post/cancel and bookmarks, and it
// tells the data sources (and through them the data links) about every change.
//
// A subclass supplies the records through the protected virtual interface below: it opens and
// closes its cursor, moves it to the first or last record, reads the next, prior or current record
// into a record buffer of GetRecordSize() bytes (which also carries the record's bookmark and
// bookmark flag, in a layout of the subclass's choosing), reads and writes field values of the
// active record buffer, and stores posted, inserted and deleted records.
#include "core/Component.h"
#include "data/Field.h"
#include "data/FieldDefs.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

enum TDataSetState {
    dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue, dsOldValue,
    dsCurValue, dsBlockRead, dsInternalCalc, dsOpening
};

// A record is being edited or inserted.
inline bool IsEditState(TDataSetState s) { return s == dsEdit || s == dsInsert; }

enum TDataEvent {
    deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange, deUpdateRecord,
    deUpdateState, deCheckBrowseMode, dePropertyChange, deFieldListChange, deFocusControl, deParentScroll,
    deConnectChange, deReconcileError, deDisabledStateChange
};

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };
// Resync modes, combined as bits.
enum TResyncMode { rmExact = 1, rmCenter = 2 };

// A record's position as its dataset defines it; empty means none.
using TBookmark = std::vector<uint8_t>;

class TDataSource;
class TDataLink;

// Raises EDatabaseError; the message is prefixed with "<name>: " when the component has a name.
[[noreturn]] void DatabaseError(const AnsiString& message, const TComponent* component = nullptr);

class TDataSet : public TComponent {
    MORVANE_CLASS_PROPS(TDataSet, TComponent)
public:
    explicit TDataSet(TComponent* owner);
    ~TDataSet() override;

    TDataSetState State() const { return state_; }
    // Active in every state but inactive and opening.
    bool Active() const { return state_ != dsInactive && state_ != dsOpening; }
    // While the dataset is being loaded the value is only remembered and applied by Loaded().
    void SetActive(bool value);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    void Loaded() override;

    // Navigation. Each leaves a pending edit first (posting a modified record, cancelling an
    // unmodified one) and runs the scroll hooks.
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // Moves by distance records; answers how many it moved (negative backwards).
    int MoveBy(int distance);
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    bool IsEmpty() const { return activeRecord_ >= recordCount_; }
    // 1-based number of the current record; -1 when the dataset does not number its records.
    int RecNo() const { return GetRecNo(); }
    void SetRecNo(int value) { SetRecNoValue(value); }
    int RecordCount() const { return GetRecordCount(); }
    // Records held so far, reading none: the record count once AllRecordsHeld(). A dataset that reads
    // its records as they are needed holds fewer until it has read them all; RecordCount reads them
    // all first, so an exact count always means every record read.
    virtual int HeldRecordCount() const { return RecordCount(); }
    virtual bool AllRecordsHeld() const { return true; }
    // Reads up to `count` more records after those held (a reader in the background takes the rest
    // this way, a packet at a time); answers how many came, 0 once every record is held.
    virtual int ReadMoreRecords(int count) { (void)count; return 0; }
    virtual bool IsSequenced() const { return true; }
    // A forward-only dataset keeps one buffer and cannot move back.
    virtual bool IsUniDirectional() const { return false; }
    // Refills the record buffers around the cursor's record (rmExact: it must still exist;
    // rmCenter: put it in the middle of the window).
    void Resync(int mode);
    // Puts the cursor on the active record when it may have moved elsewhere (as Resync needs it).
    void UpdateCursorPos();

    // Bookmarks. GetBookmark answers an empty bookmark when the current record has none.
    TBookmark GetBookmark() const;
    void FreeBookmark(TBookmark& bookmark) const { bookmark.clear(); }
    void GotoBookmark(const TBookmark& bookmark);
    // -1, 0 or 1 by position; 2 when the two cannot be compared. An empty bookmark sorts first.
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) const;
    bool BookmarkValid(const TBookmark& bookmark) const;

    void CheckBrowseMode();
    // "Cannot perform this operation on a closed dataset".
    void CheckActive() const;
    void Edit();
    void Insert();
    void Append();
    void Delete();
    void Post();
    void Cancel();
    bool Modified() const { return modified_; }
    // Asks the data links to write their controls' pending values into the fields.
    void UpdateRecord();
    bool CanModify() const { return GetCanModify(); }

    // Reads records without moving to them: for each record from number `from` towards number `to`
    // (both included, RecNo's numbers; `to` beyond the last record reads to the last), `visit` gets
    // the record's number and the stored text of each of `fields` (a text field's bytes as AsString
    // reads them; empty for null and for other kinds of field). Rows not fetched yet are fetched as
    // the reading reaches them. Neither the current record, its pending edit nor the controls are
    // touched. Answers the number of the record for which `visit` answered true; 0 when it never
    // did; -1 when this dataset cannot read records without moving to them (the default).
    using TRecordTextVisitor = std::function<bool(int recNo, const std::string_view* texts)>;
    virtual int ScanRecords(int from, int to, const std::vector<TField*>& fields, const TRecordTextVisitor& visit);

    // Control notifications stop while disabled; enabling sends one change notification.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ != 0; }

    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField* Fields(int index) const { return fields_.at(index); }
    const std::vector<TField*>& FieldList() const { return fields_; }
    // ASCII case ignored. FieldByName raises "Field '%s' not found" prefixed with the dataset name.
    TField* FindField(std::string_view fieldName) const;
    TField* FieldByName(std::string_view fieldName) const;
    // The fields under their names with ASCII letters upper-cased, the first of a name as FindField
    // finds it: for many lookups in one operation, O(fields) once instead of per FindField.
    std::unordered_map<AnsiString, TField*> FieldsByName() const;
    // Moves each field to its index as SetIndex would, one after another, with one layout change:
    // O(fields + moves) when the indexes do not decrease (a list applied from its top), where SetIndex
    // costs O(fields) each; otherwise the moves are made one by one.
    void MoveFields(const std::vector<std::pair<TField*, int>>& moves);
    TFieldDefs& FieldDefs() { return fieldDefs_; }
    const TFieldDefs& FieldDefs() const { return fieldDefs_; }
    // Whether the fields were created on open (and go on close) rather than declared.
    bool DefaultFields() const { return defaultFields_; }

    // Sends a notification to the data sources (unless controls are disabled) after the dataset's
    // own handling of it. Info is a field for field events, a distance for scrolls.
    void DataEvent(TDataEvent event, intptr_t info);

    // The record buffer the fields of the current state read and write; null when there is none.
    // Browsing is answered inline: every field value read passes here.
    char* ActiveRecordBuffer() const {
        if (state_ == dsBrowse)
            return IsEmpty() ? nullptr : buffers_[activeRecord_].get();
        return stateRecordBuffer();
    }

    std::function<void(TDataSet*)> BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeEdit, AfterEdit,
        BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeScroll, AfterScroll, BeforeInsert, AfterInsert,
        BeforeDelete, AfterDelete, OnNewRecord;

protected:
    // ---- what a subclass provides ----
    virtual int GetRecordSize() const = 0;
    // Opens the cursor: fills FieldDefs(), creates default fields when there are no fields
    // (CreateFields), binds the fields (BindFields). DefaultFields() is already decided.
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual bool IsCursorOpen() const = 0;
    // Puts the cursor before the first / after the last record.
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    // Reads the record after, before or at the cursor into buffer (with its bookmark and the flag
    // bfCurrent) and moves the cursor there. doCheck: a failure raises rather than answers grError.
    virtual TGetResult GetRecord(char* buffer, TGetMode mode, bool doCheck) = 0;
    // A blank record for insert.
    virtual void InternalInitRecord(char* buffer);
    virtual TBookmarkFlag GetBookmarkFlag(const char* buffer) const = 0;
    virtual void SetBookmarkFlag(char* buffer, TBookmarkFlag flag) = 0;
    virtual TBookmark GetBookmarkData(const char* buffer) const = 0;
    virtual void SetBookmarkData(char* buffer, const TBookmark& bookmark) = 0;
    virtual void InternalGotoBookmark(const TBookmark& bookmark) = 0;
    // Puts the cursor on the record held in buffer.
    virtual void InternalSetToRecord(const char* buffer) = 0;
    virtual int DoCompareBookmarks(const TBookmark& a, const TBookmark& b) const = 0;
    virtual bool DoBookmarkValid(const TBookmark& bookmark) const = 0;
    // Field values of ActiveRecordBuffer() in the field's native form (Field.h); false = null.
    virtual bool GetFieldData(const TField* field, void* buffer) const = 0;
    // Stores a value (null buffer: null) into ActiveRecordBuffer(); state and read-only checks
    // are already done.
    virtual void SetFieldData(TField* field, const void* buffer) = 0;
    // Blob values, whole; the default has no blobs.
    virtual bool GetBlobData(const TField* field, AnsiString& value) const;
    virtual void SetBlobData(TField* field, const AnsiString* value);
    // Stores the active buffer: the base checks required fields; a subclass calls it first.
    virtual void InternalPost();
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    virtual void InternalCancel() {}
    virtual void InternalDelete() {}
    virtual bool GetCanModify() const { return true; }
    virtual int GetRecordCount() const { return -1; }
    virtual int GetRecNo() const { return -1; }
    virtual void SetRecNoValue(int) {}

    // ---- helpers for subclasses ----
    // One field per definition, owned by the dataset.
    void CreateFields();
    // Binds every data field to its definition (binding) or unbinds it. Raises "Field '%s' not
    // found" and "Type mismatch for field '%s', expecting: %s actual: %s" prefixed with the name.
    void BindFields(bool binding);
    void DestroyFields();
    // "Required": every required, writable data field that is null raises "Field '%s' must have a value".
    void CheckRequiredFields();
    void CheckCanModify() const;
    [[noreturn]] void CheckBiDirectional() const;
    char* ActiveBuffer() const { return recordCount_ > 0 || state_ == dsInsert ? buffers_[activeRecord_].get() : nullptr; }
    int BufferCount() const { return bufferCount_; }
    int ActiveRecord() const { return activeRecord_; }
    void CursorPosChanged() { currentRecord_ = -1; }
    void SetState(TDataSetState value);
    // Subclasses destroy their cursor before the base goes: their destructor calls this.
    void CloseForDestroy();

private:
    friend class TField;
    friend class TDataSource;
    friend class TDataLink;

    char* stateRecordBuffer() const;
    void openCursor();
    void closeCursor();
    void setBufferCount(int count);
    void updateBufferCount();
    void clearBuffers();
    void activateBuffers();
    bool getNextRecord();
    bool getPriorRecord();
    int getNextRecords();
    int getPriorRecords();
    void setCurrentRecord(int index);
    void moveBuffer(int from, int to);
    void initRecord(char* buffer);
    void beginInsertAppend();
    void endInsertAppend();
    void doHook(const std::function<void(TDataSet*)>& hook) { if (hook) hook(this); }
    // Field access (from TField).
    bool readField(const TField* field, void* buffer) const;
    void writeField(TField* field, const void* buffer);
    bool readBlob(const TField* field, AnsiString* value) const;
    void writeBlob(TField* field, const AnsiString* value);
    void addField(TField* field);
    void removeField(TField* field);
    void moveField(TField* field, int index);

    TDataSetState state_ = dsInactive;
    bool streamedActive_ = false;
    bool defaultFields_ = false;
    bool modified_ = false;
    bool bof_ = true;
    bool eof_ = true;
    int disableCount_ = 0;
    TDataSetState disableState_ = dsInactive;
    TDataEvent enableEvent_ = deDataSetChange;

    // The record window: bufferCount_ buffers plus one spare for reading ahead.
    std::vector<std::unique_ptr<char[]>> buffers_;
    int bufferCount_ = 0;
    int recordCount_ = 0;
    int activeRecord_ = 0;
    int currentRecord_ = -1;

    std::vector<TField*> fields_;
    TFieldDefs fieldDefs_;
    std::vector<TDataSource*> dataSources_;
};
