#include "data/DataSource.h"

#include "core/Snapshot.h"
#include "data/DataLink.h"

#include <algorithm>

void TDataSource::DefineProperties(ClassInfo& info) {
    info.Add("DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet);
    info.Add("AutoEdit", &TDataSource::AutoEdit, &TDataSource::SetAutoEdit);
    info.Add("Enabled", &TDataSource::Enabled, &TDataSource::SetEnabled);
}

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
    Destroying(true);
    // Links become inactive and forget this source before it goes.
    while (!dataLinks_.empty())
        dataLinks_.back()->SetDataSource(nullptr);
    SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_)
        return;
    if (dataSet_) {
        std::erase(dataSet_->dataSources_, this);
        RemoveFreeNotification(dataSet_);
        if (dataSet_->Active())
            dataSet_->updateBufferCount();
    }
    dataSet_ = dataSet;
    if (dataSet_) {
        dataSet_->dataSources_.push_back(this);
        FreeNotification(dataSet_);
        dataSet_->updateBufferCount();
    }
    updateState();
}

void TDataSource::SetEnabled(bool value) {
    enabled_ = value;
    updateState();
}

void TDataSource::Edit() {
    if (autoEdit_ && state_ == dsBrowse)
        dataSet_->Edit();
}

void TDataSource::Notification(TComponent* component, Operation operation) {
    TComponent::Notification(component, operation);
    if (operation == Operation::Remove && component == dataSet_)
        SetDataSet(nullptr);
}

void TDataSource::updateState() {
    setState(enabled_ && dataSet_ ? dataSet_->State() : dsInactive);
}

void TDataSource::setState(TDataSetState value) {
    if (state_ == value)
        return;
    TDataSetState prior = state_;
    state_ = value;
    notifyLinks(deUpdateState, 0);
    if (OnStateChange)
        OnStateChange(this);
    if (prior == dsInactive && OnDataChange)
        OnDataChange(this, nullptr);
}

void TDataSource::notifyLinks(TDataEvent event, intptr_t info) {
    // Copy: a link may detach itself or another while handling the event.
    bool visual = !dataSet_ || !dataSet_->ControlsDisabled() || event == deDisabledStateChange;
    for (TDataLink* link : TSnapshot<TDataLink>(dataLinks_))
        if (std::find(dataLinks_.begin(), dataLinks_.end(), link) != dataLinks_.end() &&
            (visual || !link->VisualControl()))
            link->DataEvent(event, info);
}

void TDataSource::dataEvent(TDataEvent event, intptr_t info) {
    if (event == deUpdateState) {
        updateState();
        return;
    }
    if (event == deDisabledStateChange) {
        notifyLinks(event, info);
        return;
    }
    if (state_ == dsInactive)
        return;
    notifyLinks(event, info);
    switch (event) {
    case deFieldChange:
        if (OnDataChange)
            OnDataChange(this, reinterpret_cast<TField*>(info));
        break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
        if (OnDataChange)
            OnDataChange(this, nullptr);
        break;
    case deUpdateRecord:
        if (OnUpdateData)
            OnUpdateData(this);
        break;
    default:
        break;
    }
}
