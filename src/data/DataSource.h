#pragma once
// TDataSource: the link between one dataset and the data links of the controls that show it. It
// follows the dataset's state (inactive while disabled or without a dataset) and passes the
// dataset's notifications on to every data link attached to it.
#include "data/DataSet.h"

#include <functional>
#include <vector>

class TDataSource : public TComponent {
    MORVANE_CLASS_PROPS(TDataSource, TComponent)
public:
    explicit TDataSource(TComponent* owner);
    ~TDataSource() override;

    TDataSet* DataSet() const { return dataSet_; }
    // Attaches to the dataset and asks to be told when it is freed.
    void SetDataSet(TDataSet* dataSet);
    // A control starting to edit puts a browsing dataset into edit state (default True).
    bool AutoEdit() const { return autoEdit_; }
    void SetAutoEdit(bool value) { autoEdit_ = value; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    // The dataset's state, or dsInactive without an enabled dataset.
    TDataSetState State() const { return state_; }
    // Puts a browsing dataset into edit state when AutoEdit is on.
    void Edit();
    bool IsLinkedTo(const TDataSet* dataSet) const { return dataSet_ && dataSet_ == dataSet; }
    const std::vector<TDataLink*>& DataLinks() const { return dataLinks_; }

    std::function<void(TDataSource* sender)> OnStateChange;
    std::function<void(TDataSource* sender, TField* field)> OnDataChange;
    std::function<void(TDataSource* sender)> OnUpdateData;

protected:
    void Notification(TComponent* component, Operation operation) override;

private:
    friend class TDataSet;
    friend class TDataLink;
    void dataEvent(TDataEvent event, intptr_t info);
    void updateState();
    void setState(TDataSetState value);
    void notifyLinks(TDataEvent event, intptr_t info);

    TDataSet* dataSet_ = nullptr;
    bool autoEdit_ = true;
    bool enabled_ = true;
    TDataSetState state_ = dsInactive;
    std::vector<TDataLink*> dataLinks_;
};
