#include "data/DataLink.h"

#include "data/DataSource.h"

#include <algorithm>

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() {
    // Without the virtual notifications: the derived part is already gone.
    if (dataSource_) {
        std::erase(dataSource_->dataLinks_, this);
        TDataSet* ds = dataSource_->DataSet();
        dataSource_ = nullptr;
        if (ds && ds->Active())
            ds->updateBufferCount();
    }
}

TDataSet* TDataLink::DataSet() const { return dataSource_ ? dataSource_->DataSet() : nullptr; }

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == dataSource_)
        return;
    if (dataSource_) {
        std::erase(dataSource_->dataLinks_, this);
        TDataSet* old = dataSource_->DataSet();
        dataSource_ = nullptr;
        if (old && old->Active())
            old->updateBufferCount();
    }
    dataSource_ = source;
    if (dataSource_) {
        dataSource_->dataLinks_.push_back(this);
        TDataSet* ds = dataSource_->DataSet();
        if (ds && ds->Active())
            ds->updateBufferCount();
    }
    updateState();
}

void TDataLink::SetReadOnly(bool value) {
    if (readOnly_ != value) {
        readOnly_ = value;
        updateState();
    }
}

void TDataLink::updateState() {
    setActive(dataSource_ && dataSource_->State() != dsInactive);
    TDataSetState s = dataSource_ ? dataSource_->State() : dsInactive;
    setEditing(IsEditState(s) && !readOnly_);
}

void TDataLink::setActive(bool value) {
    if (active_ == value)
        return;
    active_ = value;
    if (value)
        updateRange();
    else
        firstRecord_ = 0;
    ActiveChanged();
}

void TDataLink::setEditing(bool value) {
    if (editing_ == value)
        return;
    editing_ = value;
    EditingChanged();
}

void TDataLink::updateRange() {
    TDataSet* ds = DataSet();
    if (!ds)
        return;
    int min = std::max(0, ds->activeRecord_ - bufferCount_ + 1);
    int max = std::min(ds->activeRecord_, std::max(0, ds->bufferCount_ - bufferCount_));
    firstRecord_ = std::clamp(firstRecord_, min, std::max(min, max));
}

int TDataLink::ActiveRecord() const {
    TDataSet* ds = DataSet();
    if (!active_ || !ds)
        return 0;
    return ds->state_ == dsSetKey ? 0 : ds->activeRecord_ - firstRecord_;
}

void TDataLink::SetActiveRecord(int value) {
    TDataSet* ds = DataSet();
    if (active_ && ds && ds->state_ != dsSetKey)
        ds->activeRecord_ = std::clamp(value + firstRecord_, 0, std::max(0, ds->recordCount_ - 1));
}

void TDataLink::SetBufferCount(int value) {
    value = std::max(1, value);
    if (bufferCount_ == value)
        return;
    bufferCount_ = value;
    TDataSet* ds = DataSet();
    if (active_ && ds) {
        updateRange();
        ds->updateBufferCount();
        updateRange();
    }
}

int TDataLink::RecordCount() const {
    TDataSet* ds = DataSet();
    if (!active_ || !ds)
        return 0;
    if (ds->state_ == dsSetKey)
        return 1;
    return std::clamp(ds->recordCount_ - firstRecord_, 0, bufferCount_);
}

bool TDataLink::Bof() const { return DataSet() ? DataSet()->Bof() : true; }
bool TDataLink::Eof() const { return DataSet() ? DataSet()->Eof() : true; }

int TDataLink::MoveBy(int distance) { return DataSet() ? DataSet()->MoveBy(distance) : 0; }

bool TDataLink::Edit() {
    if (!readOnly_ && dataSource_)
        dataSource_->Edit();
    return editing_;
}

void TDataLink::UpdateRecord() {
    updating_ = true;
    try {
        UpdateData();
    } catch (...) {
        updating_ = false;
        throw;
    }
    updating_ = false;
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deUpdateState) {
        updateState();
        return;
    }
    if (event == deDisabledStateChange) {
        // While controls are suspended only opening and closing reach the link.
        if (info)
            updateState();
        else
            setActive(false);
        return;
    }
    if (!active_)
        return;
    switch (event) {
    case deFieldChange:
    case deRecordChange:
        if (!updating_)
            RecordChanged(reinterpret_cast<TField*>(info));
        break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
        int distance = 0;
        TDataSet* ds = DataSet();
        if (ds && ds->state_ != dsSetKey) {
            // The records this link showed moved by the buffers' shift; the window then follows
            // the active record, and how far it had to go is what the link scrolled.
            int first = firstRecord_ + (event == deDataSetScroll ? static_cast<int>(info) : 0);
            firstRecord_ = first;
            updateRange();
            distance = firstRecord_ - first;
        }
        if (event == deDataSetChange)
            DataSetChanged();
        else if (event == deDataSetScroll)
            DataSetScrolled(distance);
        else
            LayoutChanged();
        break;
    }
    case deUpdateRecord:
        UpdateRecord();
        break;
    case deCheckBrowseMode:
        CheckBrowseMode();
        break;
    case deFocusControl:
        FocusControl(reinterpret_cast<TField**>(info));
        break;
    default:
        break;
    }
}
