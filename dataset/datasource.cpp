#include "dataset/datasource.h"

#include <algorithm>

// --- TDataSource ---

TDataSource::~TDataSource() {
  SetDataSet(nullptr);
  while (!links_.empty()) links_.back()->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet_) {
    auto& list = dataSet_->dataSources_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  dataSet_ = dataSet;
  if (dataSet_) dataSet_->dataSources_.push_back(this);
  NotifyLinksOfState();
}

void TDataSource::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  NotifyLinksOfState();
}

TDataSetState TDataSource::State() const { return dataSet_ && enabled_ ? dataSet_->State() : dsInactive; }

void TDataSource::NotifyLinksOfState() {
  std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links)
    if (std::find(links_.begin(), links_.end(), link) != links_.end()) link->UpdateActive();
}

void TDataSource::DataEvent(TDataEvent event, TField* field) {
  if (!enabled_) return;
  std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links)
    if (std::find(links_.begin(), links_.end(), link) != links_.end()) link->DataEvent(event, field);
}

// --- TDataLink ---

TDataLink::~TDataLink() {
  if (dataSource_) {
    auto& list = dataSource_->links_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
}

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == dataSource_) return;
  if (dataSource_) {
    auto& list = dataSource_->links_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  dataSource_ = source;
  if (dataSource_) dataSource_->links_.push_back(this);
  UpdateActive();
}

void TDataLink::UpdateActive() {
  bool active = dataSource_ && dataSource_->Enabled() && dataSource_->DataSet() && dataSource_->DataSet()->Active();
  if (active == active_) return;
  active_ = active;
  ActiveChanged();
}

void TDataLink::DataEvent(TDataEvent event, TField* field) {
  if (event == deUpdateState) {
    UpdateActive();
    return;
  }
  if (!active_) return;
  switch (event) {
    case deFieldChange: RecordChanged(field); break;
    case deRecordChange: RecordChanged(nullptr); break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: DataSetChanged(); break;
    case deUpdateRecord: UpdateData(); break;
    case deCheckBrowseMode: CheckBrowseMode(); break;
    case deUpdateState: break;
  }
}

// --- TMasterDataLink ---

void TMasterDataLink::SetFieldNames(std::string names) {
  fieldNames_ = std::move(names);
  ActiveChanged();
}

void TMasterDataLink::ActiveChanged() {
  fields_.clear();
  if (Active()) {
    try {
      fields_ = DataSet()->GetFieldList(fieldNames_);
    } catch (...) {
      fields_.clear();
      throw;
    }
  }
  if (!detail_.Active()) return;
  if (Active() && !fields_.empty()) {
    if (OnMasterChange) OnMasterChange();
  } else if (OnMasterDisable) {
    OnMasterDisable();
  }
}

void TMasterDataLink::RecordChanged(TField* field) {
  if (!OnMasterChange || DataSource()->State() == dsSetKey) return;
  if (field && std::find(fields_.begin(), fields_.end(), field) == fields_.end()) return;
  OnMasterChange();
}
