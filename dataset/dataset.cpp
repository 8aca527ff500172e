#include "dataset/dataset.h"

#include <algorithm>
#include <cstring>

#include "dataset/datasource.h"

TDataSet::TDataSet(TComponent* owner) : TComponent(owner), fields_(*this) {}

TDataSet::~TDataSet() {
  // Data sources outlive nothing of ours: they forget this dataset.
  while (!dataSources_.empty()) dataSources_.back()->SetDataSet(nullptr);
  // Buffers still held here come from the default allocator (a dataset with
  // its own allocator closes itself in its destructor).
  for (TRecordBuffer& buffer : buffers_) TDataSet::FreeRecordBuffer(buffer);
  if (tempBuffer_) TDataSet::FreeRecordBuffer(tempBuffer_);
}

// --- Opening and closing ---

void TDataSet::SetActive(bool value) {
  if (value == Active() || state_ == dsOpening) return;
  if (value) {
    DoBeforeOpen();
    state_ = dsOpening;
    try {
      OpenCursor();
    } catch (...) {
      state_ = dsInactive;
      try {
        CloseCursor();
      } catch (...) {
        // The open's own error is the one to report.
      }
      throw;
    }
    state_ = dsInactive;
    SetState(dsBrowse);
    DoAfterOpen();
    if (!IsEmpty()) DoAfterScroll();
  } else {
    DoBeforeClose();
    SetState(dsInactive);
    CloseCursor();
    DoAfterClose();
  }
}

void TDataSet::CloseForDestruction() {
  if (state_ == dsInactive) return;
  SetState(dsInactive);
  CloseCursor();
}

void TDataSet::OpenCursor() {
  defaultFields_ = fields_.Count() == 0;
  InternalOpen();
  AllocateBuffers(std::max(bufferCount_, 1));
  ClearBuffers();
  GetNextRecords();
  bof_ = true;
}

void TDataSet::CloseCursor() {
  FreeBuffers();
  ClearBuffers();
  InternalClose();
  BindFields(false);
  if (defaultFields_) DestroyFields();
  defaultFields_ = false;
  found_ = false;
  modified_ = false;
}

void TDataSet::AllocateBuffers(int count) {
  // count window rows + the scratch buffer.
  size_t wanted = static_cast<size_t>(count) + 1;
  while (buffers_.size() < wanted) {
    buffers_.push_back(nullptr);
    buffers_.back() = AllocRecordBuffer();
  }
  while (buffers_.size() > wanted) {
    FreeRecordBuffer(buffers_.back());
    buffers_.pop_back();
  }
  if (!tempBuffer_) tempBuffer_ = AllocRecordBuffer();
  bufferCount_ = count;
}

void TDataSet::FreeBuffers() {
  while (!buffers_.empty()) {
    FreeRecordBuffer(buffers_.back());
    buffers_.pop_back();
  }
  if (tempBuffer_) FreeRecordBuffer(tempBuffer_);
  tempBuffer_ = nullptr;
  calcBuffer_ = nullptr;
}

TRecordBuffer TDataSet::AllocRecordBuffer() {
  int32_t size = GetRecordSize();
  auto* buffer = new uint8_t[static_cast<size_t>(std::max(size, 1))];
  std::memset(buffer, 0, static_cast<size_t>(std::max(size, 1)));
  return buffer;
}

void TDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
  delete[] buffer;
  buffer = nullptr;
}

void TDataSet::SetBufferCount(int count) {
  if (count < 1) count = 1;
  if (!Active()) {
    bufferCount_ = count;
    return;
  }
  if (count == bufferCount_) return;
  CheckBrowseMode();
  UpdateCursorPos();
  // Keep the active record: move it to row 0, drop the rest, refill.
  if (recordCount_ > 0) {
    MoveBuffer(activeRecord_, 0);
    currentRecord_ = 0;
  }
  int hadRecords = recordCount_ > 0 ? 1 : 0;
  AllocateBuffers(count);
  recordCount_ = hadRecords;
  activeRecord_ = 0;
  if (hadRecords) {
    GetNextRecords();
    activeRecord_ += GetPriorRecords();
    // GetPriorRecords counted the rows it put before the active one.
  }
  DataEvent(deDataSetChange);
}

// --- The window ---

void TDataSet::ClearBuffers() {
  recordCount_ = 0;
  activeRecord_ = 0;
  currentRecord_ = -1;
  bof_ = true;
  eof_ = true;
}

void TDataSet::ActivateBuffers() {
  recordCount_ = 1;
  activeRecord_ = 0;
  bof_ = false;
  eof_ = false;
}

void TDataSet::MoveBuffer(int from, int to) {
  if (from == to) return;
  auto first = buffers_.begin();
  if (from > to) std::rotate(first + to, first + from, first + from + 1);
  else std::rotate(first + from, first + from + 1, first + to + 1);
}

void TDataSet::SetCurrentRecord(int index) {
  if (currentRecord_ == index) return;
  TRecordBuffer buffer = buffers_[static_cast<size_t>(index)];
  switch (GetBookmarkFlag(buffer)) {
    case bfCurrent:
    case bfInserted: InternalSetToRecord(buffer); break;
    case bfBOF: InternalFirst(); break;
    case bfEOF: InternalLast(); break;
  }
  currentRecord_ = index;
}

void TDataSet::UpdateCursorPos() {
  if (recordCount_ > 0) SetCurrentRecord(activeRecord_);
}

void TDataSet::InternalSetToRecord(TRecordBuffer buffer) {
  std::vector<uint8_t> bookmark(static_cast<size_t>(std::max(bookmarkSize_, 1)));
  GetBookmarkData(buffer, bookmark.data());
  InternalGotoBookmark(bookmark.data());
}

bool TDataSet::GetNextRecord() {
  if (recordCount_ > 0) SetCurrentRecord(recordCount_ - 1);
  if (GetRecord(buffers_[static_cast<size_t>(recordCount_)], gmNext, true) != grOK) {
    CursorPosChanged();
    return false;
  }
  if (recordCount_ == 0) ActivateBuffers();
  else if (recordCount_ < bufferCount_) ++recordCount_;
  else MoveBuffer(0, bufferCount_);  // the oldest row becomes the scratch buffer
  currentRecord_ = recordCount_ - 1;
  return true;
}

bool TDataSet::GetPriorRecord() {
  if (recordCount_ > 0) SetCurrentRecord(0);
  if (GetRecord(buffers_[static_cast<size_t>(recordCount_)], gmPrior, true) != grOK) {
    CursorPosChanged();
    return false;
  }
  if (recordCount_ == 0) {
    ActivateBuffers();
  } else {
    MoveBuffer(recordCount_, 0);  // the newest row drops into the scratch slot when full
    if (recordCount_ < bufferCount_) ++recordCount_;
  }
  currentRecord_ = 0;
  return true;
}

int TDataSet::GetNextRecords() {
  int count = 0;
  while (recordCount_ < bufferCount_ && GetNextRecord()) ++count;
  return count;
}

int TDataSet::GetPriorRecords() {
  int count = 0;
  while (recordCount_ < bufferCount_ && GetPriorRecord()) ++count;
  return count;
}

void TDataSet::Resync(TResyncModes mode) {
  TRecordBuffer scratch = buffers_[static_cast<size_t>(recordCount_)];
  if (mode & rmExact) {
    CursorPosChanged();
    if (GetRecord(scratch, gmCurrent, true) != grOK) DatabaseError(ekNotFound, "Record not found", Name());
  } else if (GetRecord(scratch, gmCurrent, false) != grOK && GetRecord(scratch, gmNext, false) != grOK &&
             GetRecord(scratch, gmPrior, false) != grOK) {
    ClearBuffers();
    DataEvent(deDataSetChange);
    return;
  }
  int before = (mode & rmCenter) ? (bufferCount_ - 1) / 2 : activeRecord_;
  MoveBuffer(recordCount_, 0);
  ActivateBuffers();
  currentRecord_ = 0;
  try {
    while (before > 0 && GetPriorRecord()) {
      --before;
      ++activeRecord_;
    }
    GetNextRecords();
    activeRecord_ += GetPriorRecords();
  } catch (...) {
    DataEvent(deDataSetChange);
    throw;
  }
  DataEvent(deDataSetChange);
}

// --- Moving ---

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    InternalFirst();
    GetNextRecord();
    GetNextRecords();
  } catch (...) {
    bof_ = true;
    DataEvent(deDataSetChange);
    throw;
  }
  bof_ = true;
  DataEvent(deDataSetChange);
  DoAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  try {
    InternalLast();
    GetPriorRecord();
    activeRecord_ += GetPriorRecords();
  } catch (...) {
    eof_ = true;
    DataEvent(deDataSetChange);
    throw;
  }
  eof_ = true;
  DataEvent(deDataSetChange);
  DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  DoBeforeScroll();
  if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
    bof_ = false;
    eof_ = false;
    int oldRecordCount = recordCount_;
    auto finish = [&] {
      DataEvent(recordCount_ != oldRecordCount ? deDataSetChange : deDataSetScroll);
    };
    try {
      while (distance > 0) {
        if (activeRecord_ < recordCount_ - 1) {
          ++activeRecord_;
        } else {
          int before = recordCount_;
          if (!GetNextRecord()) {
            eof_ = true;
            break;
          }
          // A growing window keeps its rows; the new record is the next row.
          if (before > 0 && recordCount_ > before) ++activeRecord_;
        }
        --distance;
        ++moved;
      }
      while (distance < 0) {
        if (activeRecord_ > 0) {
          --activeRecord_;
        } else if (!GetPriorRecord()) {
          bof_ = true;
          break;
        }
        ++distance;
        --moved;
      }
    } catch (...) {
      finish();
      throw;
    }
    finish();
    DoAfterScroll();
  }
  return moved;
}

// --- Bookmarks ---

TBookmark TDataSet::GetBookmark() {
  if (!Active() || IsEmpty() || bookmarkSize_ <= 0) return {};
  if (state_ != dsBrowse && state_ != dsEdit && state_ != dsInsert) return {};
  TRecordBuffer buffer = ActiveBuffer();
  if (GetBookmarkFlag(buffer) != bfCurrent) return {};
  TBookmark bookmark(static_cast<size_t>(bookmarkSize_));
  GetBookmarkData(buffer, bookmark.data());
  return bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  CheckActive();
  if (bookmarkSize_ <= 0 || bookmark.size() != static_cast<size_t>(bookmarkSize_))
    DatabaseError(ekInvalidValue, "Invalid bookmark", Name());
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(bookmark.data());
  Resync(rmExact | rmCenter);
  DoAfterScroll();
}

// --- Editing ---

void TDataSet::CheckOperation(void (TDataSet::*operation)(), const TDataSetErrorEvent& onError) {
  for (;;) {
    try {
      UpdateCursorPos();
      (this->*operation)();
      return;
    } catch (EDatabaseError& error) {
      TDataAction action = daFail;
      if (onError) onError(*this, error, action);
      if (action == daFail) throw;
      if (action == daAbort) Abort();
      // daRetry: the handler fixed the cause; try again.
    }
  }
}

void TDataSet::Edit() {
  if (state_ == dsEdit || state_ == dsInsert) return;
  if (recordCount_ == 0) {
    Insert();
    return;
  }
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeEdit();
  CheckOperation(&TDataSet::InternalEdit, OnEditError);
  GetCalcFields(ActiveBuffer());
  SetState(dsEdit);
  DataEvent(deRecordChange);
  DoAfterEdit();
}

void TDataSet::InitRecord(TRecordBuffer buffer) {
  InternalInitRecord(buffer);
  ClearCalcFields(buffer);
  SetBookmarkFlag(buffer, bfInserted);
}

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeInsert();
  DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
  SetState(dsInsert);
  try {
    DoOnNewRecord();
  } catch (...) {
    UpdateCursorPos();
    SetState(dsBrowse);
    Resync(0);
    throw;
  }
  modified_ = false;
  DataEvent(deDataSetChange);
  DoAfterInsert();
  DoAfterScroll();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  TBookmark oldCurrent = GetBookmark();
  bool hadRecords = recordCount_ > 0;
  // The scratch buffer becomes the active row; the rows below shift down.
  MoveBuffer(recordCount_, activeRecord_);
  CursorPosChanged();
  TRecordBuffer buffer = ActiveBuffer();
  InitRecord(buffer);
  if (!hadRecords) {
    SetBookmarkFlag(buffer, bfBOF);
    ActivateBuffers();
  } else {
    if (oldCurrent.empty()) SetBookmarkFlag(buffer, bfBOF);
    else SetBookmarkData(buffer, oldCurrent.data());
    if (recordCount_ < bufferCount_) ++recordCount_;
  }
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::Append() {
  BeginInsertAppend();
  ClearBuffers();
  TRecordBuffer buffer = buffers_[0];
  InitRecord(buffer);
  SetBookmarkFlag(buffer, bfEOF);
  ActivateBuffers();
  activeRecord_ += GetPriorRecords();
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::AddRecord(const std::vector<Variant>& values, bool append) {
  if (values.size() > static_cast<size_t>(fields_.Count()))
    DatabaseErrorFmt(ekInvalidValue, "Too many values: %s given for %s fields",
                     {std::to_string(values.size()), std::to_string(fields_.Count())}, Name());
  BeginInsertAppend();
  TRecordBuffer buffer;
  if (append) {
    ClearBuffers();
    buffer = buffers_[0];
    InitRecord(buffer);
    SetBookmarkFlag(buffer, bfEOF);
    ActivateBuffers();
  } else {
    TBookmark oldCurrent = GetBookmark();
    bool hadRecords = recordCount_ > 0;
    MoveBuffer(recordCount_, activeRecord_);
    CursorPosChanged();
    buffer = ActiveBuffer();
    InitRecord(buffer);
    if (!hadRecords || oldCurrent.empty()) SetBookmarkFlag(buffer, bfBOF);
    else SetBookmarkData(buffer, oldCurrent.data());
    if (!hadRecords) ActivateBuffers();
    else if (recordCount_ < bufferCount_) ++recordCount_;
  }
  SetState(dsInsert);
  try {
    DoOnNewRecord();
    for (size_t i = 0; i < values.size(); ++i)
      if (!values[i].IsNull()) fields_[static_cast<int>(i)].SetValue(values[i]);
    DoBeforePost();
    InternalAddRecord(buffer, append);
  } catch (...) {
    SetState(dsBrowse);
    modified_ = false;
    try {
      UpdateCursorPos();
      Resync(0);
    } catch (...) {
      // The failed add is the error to report.
    }
    throw;
  }
  SetState(dsBrowse);
  modified_ = false;
  CursorPosChanged();
  Resync(0);
  DoAfterPost();
}

void TDataSet::UpdateRecord() {
  if (state_ != dsEdit && state_ != dsInsert && state_ != dsSetKey)
    DatabaseError(ekInvalidState, "Dataset not in edit or insert mode", Name());
  DataEvent(deUpdateRecord);
}

void TDataSet::Post() {
  UpdateRecord();
  if (state_ != dsEdit && state_ != dsInsert) return;
  DataEvent(deCheckBrowseMode);
  DoBeforePost();
  CheckOperation(&TDataSet::InternalPost, OnPostError);
  SetState(dsBrowse);
  CursorPosChanged();
  Resync(0);
  DoAfterPost();
}

void TDataSet::Cancel() {
  if (state_ != dsEdit && state_ != dsInsert) return;
  DataEvent(deCheckBrowseMode);
  DoBeforeCancel();
  UpdateCursorPos();
  InternalCancel();
  SetState(dsBrowse);
  Resync(0);
  DoAfterCancel();
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == dsInsert || state_ == dsSetKey) {
    Cancel();
    return;
  }
  if (recordCount_ == 0) DatabaseError(ekInvalidState, "Cannot perform this operation on an empty dataset", Name());
  DataEvent(deCheckBrowseMode);
  DoBeforeDelete();
  DoBeforeScroll();
  CheckOperation(&TDataSet::InternalDelete, OnDeleteError);
  SetState(dsBrowse);
  CursorPosChanged();
  Resync(0);
  DoAfterDelete();
  DoAfterScroll();
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  UpdateCursorPos();
  DoBeforeRefresh();
  InternalRefresh();
  CursorPosChanged();
  Resync(0);
  DoAfterRefresh();
}

bool TDataSet::Locate(std::string_view, const Variant&, TLocateOptions) {
  DatabaseError(ekGeneral, "Capability not supported", Name());
}

Variant TDataSet::Lookup(std::string_view, const Variant&, std::string_view) {
  DatabaseError(ekGeneral, "Capability not supported", Name());
}

std::string TDataSet::ReadBlob(const TField&) { DatabaseError(ekGeneral, "Capability not supported", Name()); }

void TDataSet::WriteBlob(TField&, std::string_view) { DatabaseError(ekGeneral, "Capability not supported", Name()); }

// --- States and checks ---

void TDataSet::SetState(TDataSetState value) {
  if (state_ == value) return;
  state_ = value;
  modified_ = false;
  DataEvent(deUpdateState);
}

void TDataSet::CheckActive() const {
  if (!Active()) DatabaseError(ekInvalidState, "Cannot perform this operation on a closed dataset", Name());
}

void TDataSet::CheckInactive() const {
  if (state_ != dsInactive) DatabaseError(ekInvalidState, "Cannot perform this operation on an open dataset", Name());
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode);
  switch (state_) {
    case dsEdit:
    case dsInsert:
      UpdateRecord();
      if (modified_) Post();
      else Cancel();
      break;
    case dsSetKey: Post(); break;
    default: break;
  }
}

void TDataSet::CheckCanModify() const {
  if (!CanModify()) DatabaseError(ekReadOnly, "Cannot modify a read-only dataset", Name());
}

// --- Fields ---

TField& TDataSet::AddField(std::unique_ptr<TField> field) {
  CheckInactive();
  return fields_.Add(std::move(field));
}

std::vector<TField*> TDataSet::GetFieldList(std::string_view names) const {
  std::vector<TField*> list;
  size_t start = 0;
  while (start <= names.size()) {
    size_t end = names.find(';', start);
    if (end == std::string_view::npos) end = names.size();
    std::string_view name = names.substr(start, end - start);
    while (!name.empty() && static_cast<unsigned char>(name.front()) <= 32) name.remove_prefix(1);
    while (!name.empty() && static_cast<unsigned char>(name.back()) <= 32) name.remove_suffix(1);
    if (!name.empty()) list.push_back(&fields_.FieldByName(name));
    start = end + 1;
  }
  return list;
}

void TDataSet::CreateFields() {
  for (int i = 0; i < fieldDefs_.Count(); ++i) {
    const TFieldDef& def = fieldDefs_[i];
    std::unique_ptr<TField> field = CreateFieldOfType(def.DataType(), def.Size());
    if (!field) DatabaseErrorFmt(ekInvalidValue, "Field '%s' is of an unknown type", {def.Name()}, Name());
    field->SetFieldName(def.Name());
    fields_.Add(std::move(field));
  }
}

void TDataSet::BindFields(bool binding) {
  calcFieldsSize_ = 0;
  for (int i = 0; i < fields_.Count(); ++i) {
    TField& field = fields_[i];
    field.index_ = i;
    field.fieldNo_ = 0;
    field.offset_ = 0;
    if (!binding) continue;
    if (field.Calculated()) {
      field.offset_ = calcFieldsSize_;
      calcFieldsSize_ += field.DataSize() + 1;  // null flag + value
      continue;
    }
    const TFieldDef* def = fieldDefs_.Find(field.FieldName());
    if (!def) DatabaseErrorFmt(ekNotFound, "Field '%s' not found", {field.FieldName()}, Name());
    if (def->DataType() != field.DataType())
      DatabaseErrorFmt(ekInvalidValue, "Type mismatch for field '%s', expecting: %s actual: %s",
                       {field.FieldName(), FieldTypeName(field.DataType()), FieldTypeName(def->DataType())}, Name());
    if ((def->DataType() == ftString || def->DataType() == ftFixedChar) && def->Size() != field.Size())
      DatabaseErrorFmt(ekInvalidValue, "Size mismatch for field '%s', expecting: %s actual: %s",
                       {field.FieldName(), std::to_string(field.Size()), std::to_string(def->Size())}, Name());
    field.fieldNo_ = def->FieldNo();
  }
}

void TDataSet::DestroyFields() { fields_.Clear(); }

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
  if (calcFieldsSize_ <= 0) return;
  TDataSetState saved = state_;
  TRecordBuffer savedBuffer = calcBuffer_;
  state_ = dsCalcFields;
  calcBuffer_ = buffer;
  try {
    ClearCalcFields(buffer);
    DoOnCalcFields();
  } catch (...) {
    state_ = saved;
    calcBuffer_ = savedBuffer;
    throw;
  }
  state_ = saved;
  calcBuffer_ = savedBuffer;
}

// --- Events to data sources ---

void TDataSet::DataEvent(TDataEvent event, TField* field) {
  if (event == deFieldChange && field && !field->Calculated()) {
    modified_ = true;
    if ((state_ == dsEdit || state_ == dsInsert) && autoCalcFields_ && calcFieldsSize_ > 0)
      GetCalcFields(ActiveBuffer());
  }
  // A source may leave the list while it is told; walk a copy.
  std::vector<TDataSource*> sources = dataSources_;
  for (TDataSource* source : sources)
    if (std::find(dataSources_.begin(), dataSources_.end(), source) != dataSources_.end())
      source->DataEvent(event, field);
}

bool TDataSet::IsLinkedTo(const TDataSource* source) const {
  // Walk the chain of masters; a chain that is already circular stops after
  // as many steps as it could possibly hold distinct datasets.
  for (int steps = 0; source && source->DataSet() && steps < 10000; ++steps) {
    if (source->DataSet() == this) return true;
    source = source->DataSet()->GetDataSource();
  }
  return false;
}
