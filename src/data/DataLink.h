#pragma once
// TDataLink: a control's view of a dataset through a data source. It sees a window of BufferCount
// records of the dataset's record buffers (the dataset keeps as many as the largest link asks
// for), with its own active record inside that window, and turns the dataset's notifications into
// the overridable operations below.
#include "data/DataSet.h"

class TDataLink {
public:
    TDataLink();
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return dataSource_; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;

    // Active: the data source is enabled and its dataset open.
    bool Active() const { return active_; }
    // Editing: the dataset is in edit or insert state and the link is not read-only.
    bool Editing() const { return editing_; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    // A link of a visual control obeys the dataset's suspension of control notifications.
    bool VisualControl() const { return visualControl_; }
    void SetVisualControl(bool value) { visualControl_ = value; }

    // Position of the dataset's current record in this link's window, 0-based; setting it moves
    // the dataset's current record within its buffers (for painting), without notifications.
    int ActiveRecord() const;
    void SetActiveRecord(int value);
    int BufferCount() const { return bufferCount_; }
    void SetBufferCount(int value);
    // Records of the window that hold data (at most BufferCount).
    int RecordCount() const;
    bool Bof() const;
    bool Eof() const;
    int MoveBy(int distance);
    // Asks the data source to put the dataset in edit state; answers Editing.
    bool Edit();
    // Writes the control's pending value through UpdateData, with the link marked as updating so
    // that the field change it causes does not come back as RecordChanged.
    void UpdateRecord();
    bool Updating() const { return updating_; }

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataEvent(TDataEvent event, intptr_t info);
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    // The window moved by distance records (positive: towards the end).
    virtual void DataSetScrolled(int distance) { (void)distance; DataSetChanged(); }
    virtual void EditingChanged() {}
    // A field asks for the focus; a link that takes it clears *field.
    virtual void FocusControl(TField** field) { (void)field; }
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* field) { (void)field; }
    virtual void UpdateData() {}

private:
    friend class TDataSource;
    friend class TDataSet;
    void updateState();
    void setActive(bool value);
    void setEditing(bool value);
    // Keeps the window inside the dataset's buffers and around its active record.
    void updateRange();

    TDataSource* dataSource_ = nullptr;
    int firstRecord_ = 0;
    int bufferCount_ = 1;
    bool active_ = false;
    bool editing_ = false;
    bool readOnly_ = false;
    bool updating_ = false;
    bool visualControl_ = false;
};

// Moves a link's active record for the extent of a scope (painting and hit tests reach the other
// records of the window this way) and always moves it back, also when reading a field raises.
class TActiveRecordScope {
public:
    TActiveRecordScope(TDataLink& link, int record) : link_(link), saved_(link.ActiveRecord()) {
        link_.SetActiveRecord(record);
    }
    ~TActiveRecordScope() { link_.SetActiveRecord(saved_); }
    TActiveRecordScope(const TActiveRecordScope&) = delete;
    TActiveRecordScope& operator=(const TActiveRecordScope&) = delete;

private:
    TDataLink& link_;
    int saved_;
};
