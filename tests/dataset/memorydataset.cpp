#include "tests/dataset/memorydataset.h"

#include <algorithm>

#include "core/errors.h"
#include "dataset/datetime.h"

namespace {

int32_t StoredSize(const TMemoryDataSet::Column& column) {
  switch (column.type) {
    case ftString:
    case ftFixedChar: return column.size + 1;
    case ftSmallint:
    case ftWord:
    case ftBoolean: return 2;
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime: return 4;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftLargeint: return 8;
    default: return IsBlobFieldType(column.type) ? 4 : 0;
  }
}

template <typename T>
void Put(uint8_t* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

template <typename T>
T Get(const uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

}  // namespace

TMemoryDataSet::TMemoryDataSet(std::vector<Column> columns, std::string name) : columns_(std::move(columns)) {
  SetName(std::move(name));
  for (const Column& column : columns_) {
    columnOffsets_.push_back(dataSize_);
    dataSize_ += StoredSize(column);
  }
}

int TMemoryDataSet::AddRow(const std::vector<Variant>& values) {
  Record record;
  record.data.assign(static_cast<size_t>(dataSize_), 0);
  for (size_t i = 0; i < values.size() && i < columns_.size(); ++i) {
    const Variant& v = values[i];
    if (v.IsNull()) continue;
    uint8_t* at = record.data.data() + columnOffsets_[i];
    switch (columns_[i].type) {
      case ftString:
      case ftFixedChar: {
        std::string text = v.AsString().substr(0, static_cast<size_t>(columns_[i].size));
        std::memcpy(at, text.data(), text.size());
        break;
      }
      case ftSmallint: Put<int16_t>(at, static_cast<int16_t>(v.AsInteger())); break;
      case ftWord: Put<uint16_t>(at, static_cast<uint16_t>(v.AsInteger())); break;
      case ftBoolean: Put<uint16_t>(at, v.AsBoolean() ? 1 : 0); break;
      case ftInteger:
      case ftAutoInc: Put<int32_t>(at, v.AsInteger()); break;
      case ftDate: Put<int32_t>(at, DateTimeToStoredDate(v.AsDateTime())); break;
      case ftTime: Put<int32_t>(at, DateTimeToStoredTime(v.AsDateTime())); break;
      case ftDateTime: Put<double>(at, DateTimeToStoredDateTime(v.AsDateTime())); break;
      case ftFloat:
      case ftCurrency: Put<double>(at, v.AsFloat()); break;
      case ftLargeint: Put<int64_t>(at, v.AsLargeint()); break;
      default:
        if (IsBlobFieldType(columns_[i].type)) record.blobs[static_cast<int>(i) + 1] = v.AsString();
        break;
    }
  }
  records_.push_back(std::move(record));
  int number = static_cast<int>(records_.size()) - 1;
  if (open_) list_.push_back(number);
  return number;
}

Variant TMemoryDataSet::StoredValue(int recordNumber, int column) const {
  const Record& record = records_.at(static_cast<size_t>(recordNumber));
  const uint8_t* at = record.data.data() + columnOffsets_.at(static_cast<size_t>(column));
  switch (columns_[static_cast<size_t>(column)].type) {
    case ftString:
    case ftFixedChar: return Variant(std::string(reinterpret_cast<const char*>(at)));
    case ftInteger:
    case ftAutoInc: return Variant(Get<int32_t>(at));
    case ftSmallint: return Variant(static_cast<int32_t>(Get<int16_t>(at)));
    case ftWord: return Variant(static_cast<int32_t>(Get<uint16_t>(at)));
    case ftBoolean: return Variant(Get<uint16_t>(at) != 0);
    case ftFloat:
    case ftCurrency: return Variant(Get<double>(at));
    case ftLargeint: return Variant(Get<int64_t>(at));
    case ftDate: return Variant::FromDateTime(StoredDateToDateTime(Get<int32_t>(at)));
    case ftTime: return Variant::FromDateTime(StoredTimeToDateTime(Get<int32_t>(at)));
    case ftDateTime: return Variant::FromDateTime(StoredDateTimeToDateTime(Get<double>(at)));
    default: {
      auto it = record.blobs.find(column + 1);
      return it == record.blobs.end() ? Variant() : Variant(it->second);
    }
  }
}

int TMemoryDataSet::LiveRecordCount() const {
  return static_cast<int>(std::count_if(records_.begin(), records_.end(), [](const Record& r) { return !r.deleted; }));
}

int TMemoryDataSet::RowRecordNumber(int row) const {
  int32_t number;
  TRecordBuffer buffer = WindowBuffer(row);
  std::memcpy(&number, buffer + recordSize_ - 5, 4);
  return number;
}

// --- Opening ---

void TMemoryDataSet::InternalOpen() {
  FieldDefs().Clear();
  for (const Column& column : columns_) FieldDefs().Add(column.name, column.type, column.size);
  if (DefaultFields()) CreateFields();
  BindFields(true);
  recordSize_ = dataSize_ + CalcFieldsSize() + 5;
  SetBookmarkSize(4);
  open_ = true;
  BuildList();
}

void TMemoryDataSet::InternalClose() {
  list_.clear();
  position_ = -1;
  open_ = false;
  filterBuffer_ = nullptr;
}

void TMemoryDataSet::BuildList() {
  list_.clear();
  position_ = -1;
  if (!Filtered() || !OnFilterRecord) {
    for (size_t i = 0; i < records_.size(); ++i)
      if (!records_[i].deleted) list_.push_back(static_cast<int>(i));
    return;
  }
  TDataSetState saved = State();
  SetState(dsFilter);
  filterBuffer_ = TempBuffer() ? TempBuffer() : AllocRecordBuffer();
  bool ownBuffer = filterBuffer_ != TempBuffer();
  for (size_t i = 0; i < records_.size(); ++i) {
    if (records_[i].deleted) continue;
    std::memcpy(filterBuffer_, records_[i].data.data(), static_cast<size_t>(dataSize_));
    bufferBlobs_[filterBuffer_] = records_[i].blobs;
    if (Accepts(filterBuffer_)) list_.push_back(static_cast<int>(i));
  }
  if (ownBuffer) FreeRecordBuffer(filterBuffer_);
  filterBuffer_ = nullptr;
  SetState(saved == dsOpening ? dsOpening : dsBrowse);
}

void TMemoryDataSet::InternalRefresh() {
  int number = position_ >= 0 && position_ < static_cast<int>(list_.size()) ? list_[static_cast<size_t>(position_)] : -1;
  BuildList();
  auto it = std::find(list_.begin(), list_.end(), number);
  position_ = it == list_.end() ? -1 : static_cast<int>(it - list_.begin());
}

void TMemoryDataSet::SetFiltered(bool value) {
  if (!Active()) {
    TDataSet::SetFiltered(value);
    return;
  }
  CheckBrowseMode();
  if (value != Filtered()) {
    TDataSet::SetFiltered(value);
    BuildList();
  }
  First();
}

bool TMemoryDataSet::Accepts(TRecordBuffer) {
  bool accept = true;
  if (OnFilterRecord) OnFilterRecord(*this, accept);
  return accept;
}

// --- Buffers ---

TRecordBuffer TMemoryDataSet::AllocRecordBuffer() {
  TRecordBuffer buffer = TDataSet::AllocRecordBuffer();
  bufferBlobs_[buffer];
  return buffer;
}

void TMemoryDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
  bufferBlobs_.erase(buffer);
  TDataSet::FreeRecordBuffer(buffer);
}

void TMemoryDataSet::LoadRecord(TRecordBuffer buffer, int position) {
  int number = list_[static_cast<size_t>(position)];
  const Record& record = records_[static_cast<size_t>(number)];
  std::memcpy(buffer, record.data.data(), static_cast<size_t>(dataSize_));
  bufferBlobs_[buffer] = record.blobs;
  int32_t bookmark = number;
  SetBookmarkData(buffer, &bookmark);
  SetBookmarkFlag(buffer, bfCurrent);
}

TGetResult TMemoryDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) {
  ++getRecordCalls;
  int count = static_cast<int>(list_.size());
  if (count == 0) return grEOF;
  switch (mode) {
    case gmCurrent:
      if (position_ < 0 || position_ >= count) {
        if (doCheck) DatabaseError(ekNotFound, "No records", Name());
        return grError;
      }
      break;
    case gmNext:
      if (position_ >= count - 1) return grEOF;
      ++position_;
      break;
    case gmPrior:
      if (position_ <= 0) return grBOF;
      --position_;
      break;
  }
  LoadRecord(buffer, position_);
  GetCalcFields(buffer);
  return grOK;
}

void TMemoryDataSet::InternalGotoBookmark(const void* bookmark) {
  int32_t number;
  std::memcpy(&number, bookmark, 4);
  auto it = std::find(list_.begin(), list_.end(), number);
  if (it == list_.end()) DatabaseError(ekNotFound, "Bookmark not found", Name());
  position_ = static_cast<int>(it - list_.begin());
}

void TMemoryDataSet::InternalInitRecord(TRecordBuffer buffer) {
  std::memset(buffer, 0, static_cast<size_t>(dataSize_));
  bufferBlobs_[buffer].clear();
  for (size_t i = 0; i < columns_.size(); ++i) {
    uint8_t* at = buffer + columnOffsets_[i];
    switch (columns_[i].type) {
      case ftDate: Put<int32_t>(at, TodayDayNumber()); break;
      case ftTime: Put<int32_t>(at, CurrentTimeMSecs()); break;
      case ftDateTime: Put<double>(at, static_cast<double>(DateDelta) * MSecsPerDay); break;
      default: break;
    }
  }
}

void TMemoryDataSet::ClearCalcFields(TRecordBuffer buffer) {
  std::memset(buffer + dataSize_, 0, static_cast<size_t>(CalcFieldsSize()));
}

// --- Field values ---

TRecordBuffer TMemoryDataSet::CurrentRecordBuffer() const {
  switch (State()) {
    case dsBrowse: return IsEmpty() ? nullptr : ActiveBuffer();
    case dsEdit:
    case dsInsert:
    case dsNewValue: return ActiveBuffer();
    case dsCalcFields: return CalcBuffer();
    case dsFilter: return filterBuffer_;
    default: return nullptr;
  }
}

bool TMemoryDataSet::GetFieldData(const TField& field, void* buffer) {
  TRecordBuffer record = CurrentRecordBuffer();
  if (!record) return false;
  if (field.Calculated()) {
    const uint8_t* at = record + dataSize_ + field.Offset();
    if (at[0] == 0) return false;
    std::memcpy(buffer, at + 1, static_cast<size_t>(field.DataSize()));
    return true;
  }
  std::memcpy(buffer, record + columnOffsets_[static_cast<size_t>(field.FieldNo() - 1)],
              static_cast<size_t>(field.DataSize()));
  return true;
}

void TMemoryDataSet::SetFieldData(TField& field, const void* buffer) {
  TRecordBuffer record = CurrentRecordBuffer();
  if (!record) DatabaseError(ekNotFound, "No current record", Name());
  if (field.Calculated()) {
    uint8_t* at = record + dataSize_ + field.Offset();
    at[0] = buffer ? 1 : 0;
    if (buffer) std::memcpy(at + 1, buffer, static_cast<size_t>(field.DataSize()));
    else std::memset(at + 1, 0, static_cast<size_t>(field.DataSize()));
  } else {
    uint8_t* at = record + columnOffsets_[static_cast<size_t>(field.FieldNo() - 1)];
    if (buffer) std::memcpy(at, buffer, static_cast<size_t>(field.DataSize()));
    else std::memset(at, 0, static_cast<size_t>(field.DataSize()));
  }
  if (State() != dsCalcFields && State() != dsFilter) DataEvent(deFieldChange, &field);
}

std::string TMemoryDataSet::ReadBlob(const TField& field) {
  TRecordBuffer record = CurrentRecordBuffer();
  if (!record) return {};
  const auto& blobs = bufferBlobs_[record];
  auto it = blobs.find(field.FieldNo());
  return it == blobs.end() ? std::string() : it->second;
}

void TMemoryDataSet::WriteBlob(TField& field, std::string_view data) {
  TRecordBuffer record = CurrentRecordBuffer();
  if (!record) DatabaseError(ekNotFound, "No current record", Name());
  bufferBlobs_[record][field.FieldNo()] = std::string(data);
  DataEvent(deFieldChange, &field);
}

// --- Writing ---

int TMemoryDataSet::WriteNewRecord(TRecordBuffer buffer, bool append) {
  Record record;
  record.data.assign(buffer, buffer + dataSize_);
  record.blobs = bufferBlobs_[buffer];
  records_.push_back(std::move(record));
  int number = static_cast<int>(records_.size()) - 1;
  int at = append ? static_cast<int>(list_.size()) : std::clamp(position_, 0, static_cast<int>(list_.size()));
  list_.insert(list_.begin() + at, number);
  position_ = at;
  return number;
}

void TMemoryDataSet::InternalPost() {
  if (!failNextPost.empty()) {
    std::string message;
    std::swap(message, failNextPost);
    DatabaseError(ekGeneral, message, Name());
  }
  TRecordBuffer buffer = ActiveBuffer();
  if (State() == dsInsert) {
    WriteNewRecord(buffer, GetBookmarkFlag(buffer) == bfEOF);
    return;
  }
  Record& record = records_[static_cast<size_t>(list_[static_cast<size_t>(position_)])];
  record.data.assign(buffer, buffer + dataSize_);
  record.blobs = bufferBlobs_[buffer];
}

void TMemoryDataSet::InternalDelete() {
  records_[static_cast<size_t>(list_[static_cast<size_t>(position_)])].deleted = true;
  list_.erase(list_.begin() + position_);
  if (position_ >= static_cast<int>(list_.size())) position_ = static_cast<int>(list_.size()) - 1;
}

void TMemoryDataSet::InternalAddRecord(TRecordBuffer buffer, bool append) { WriteNewRecord(buffer, append); }

// --- Position ---

int TMemoryDataSet::RecNo() const {
  if (IsEmpty() || State() == dsInsert) return 0;
  int32_t number;
  std::memcpy(&number, ActiveBuffer() + recordSize_ - 5, 4);
  auto it = std::find(list_.begin(), list_.end(), number);
  return it == list_.end() ? 0 : static_cast<int>(it - list_.begin()) + 1;
}

void TMemoryDataSet::SetRecNo(int value) {
  CheckBrowseMode();
  if (value < 1 || value > RecordCount() || value == RecNo()) return;
  DoBeforeScroll();
  position_ = value - 1;
  Resync(rmCenter);
  DoAfterScroll();
}

bool TMemoryDataSet::FindRecord(bool restart, bool goForward) {
  CheckBrowseMode();
  DoBeforeScroll();
  SetFound(false);
  UpdateCursorPos();
  CursorPosChanged();
  int count = static_cast<int>(list_.size());
  int start = restart ? (goForward ? 0 : count - 1) : (goForward ? position_ + 1 : position_ - 1);
  int step = goForward ? 1 : -1;
  int saved = position_;
  SetState(dsFilter);
  filterBuffer_ = ActiveBuffer();
  int foundAt = -1;
  try {
    for (int i = start; i >= 0 && i < count; i += step) {
      position_ = i;
      LoadRecord(filterBuffer_, i);
      if (Accepts(filterBuffer_)) {
        foundAt = i;
        break;
      }
    }
  } catch (...) {
    position_ = saved;
    SetState(dsBrowse);
    filterBuffer_ = nullptr;
    Resync(0);
    throw;
  }
  SetState(dsBrowse);
  filterBuffer_ = nullptr;
  position_ = foundAt >= 0 ? foundAt : saved;
  SetFound(foundAt >= 0);
  Resync(0);
  if (Found()) DoAfterScroll();
  return Found();
}
