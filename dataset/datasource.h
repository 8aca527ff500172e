#pragma once
// Data sources and data links: how one dataset follows another.
//
// A TDataSource names a dataset and passes on everything that happens to it
// (state changes, scrolling, field changes). A TDataLink listens to one data
// source: it is active while the source is enabled and its dataset is open,
// and it hears the dataset's events through its virtual hooks.
// TMasterDataLink is the link a detail dataset keeps to its master: it
// resolves the master fields by name and calls OnMasterChange when the master
// moves to another record or changes one of those fields, OnMasterDisable
// when the link stops being active.
//
// None of these own the others: a data source forgets its dataset when the
// dataset dies, links forget a source that dies, and a source forgets a link
// that dies. All are used on the thread of the datasets they connect.

#include <functional>
#include <string>
#include <vector>

#include "dataset/dataset.h"

class TDataLink;

class TDataSource {
 public:
  TDataSource() = default;
  ~TDataSource();
  TDataSource(const TDataSource&) = delete;
  TDataSource& operator=(const TDataSource&) = delete;

  TDataSet* DataSet() const { return dataSet_; }
  void SetDataSet(TDataSet* dataSet);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  // The dataset's state while enabled, otherwise dsInactive.
  TDataSetState State() const;

 private:
  friend class TDataSet;
  friend class TDataLink;

  void DataEvent(TDataEvent event, TField* field);
  void NotifyLinksOfState();

  TDataSet* dataSet_ = nullptr;
  bool enabled_ = true;
  std::vector<TDataLink*> links_;
};

class TDataLink {
 public:
  TDataLink() = default;
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return dataSource_; }
  void SetDataSource(TDataSource* source);
  // The source's dataset, or nullptr.
  TDataSet* DataSet() const { return dataSource_ ? dataSource_->DataSet() : nullptr; }
  bool Active() const { return active_; }

 protected:
  // The link became active or stopped being active.
  virtual void ActiveChanged() {}
  // The dataset is about to leave the edit state or to move.
  virtual void CheckBrowseMode() {}
  // The window changed or scrolled; by default as a record change.
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  // `field` changed in the active record, or (nullptr) the whole record did.
  virtual void RecordChanged(TField*) {}
  // The dataset asks for pending values before it posts.
  virtual void UpdateData() {}

 private:
  friend class TDataSource;

  void DataEvent(TDataEvent event, TField* field);
  void UpdateActive();

  TDataSource* dataSource_ = nullptr;
  bool active_ = false;
};

class TMasterDataLink : public TDataLink {
 public:
  // `detail` is the dataset that follows the master.
  explicit TMasterDataLink(TDataSet& detail) : detail_(detail) {}

  // The master fields, separated by ";".
  const std::string& FieldNames() const { return fieldNames_; }
  void SetFieldNames(std::string names);
  // The master field objects, resolved while the link is active.
  const std::vector<TField*>& Fields() const { return fields_; }
  TDataSet& Detail() const { return detail_; }

  // Both fire only while the detail dataset is open.
  std::function<void()> OnMasterChange;
  std::function<void()> OnMasterDisable;

 protected:
  void ActiveChanged() override;
  void RecordChanged(TField* field) override;

 private:
  TDataSet& detail_;
  std::string fieldNames_;
  std::vector<TField*> fields_;
};
