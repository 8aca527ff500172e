#include "tomedb/table.h"

#include <cstring>

#include "core/errors.h"
#include "tomedb/database.h"
#include "tomedb/session.h"

TTomeTable::TTomeTable(TComponent* owner) : TTDEDataSet(owner) {}

TTomeTable::~TTomeTable() {
  try {
    CloseForDestruction();
  } catch (...) {
    // Releasing the table while it is destroyed: nothing to report to.
  }
}

// ---------------------------------------------------------------- properties

void TTomeTable::SetDatabaseName(const std::string& name) {
  TTDEDataSet::SetDatabaseName(name);
  fTableName.clear();
  fIndexName.clear();
}

void TTomeTable::SetTableName(const std::string& name) {
  CheckInactive();
  fTableName = name;
}

void TTomeTable::SetReadOnly(bool value) {
  CheckInactive();
  fReadOnly = value;
}

void TTomeTable::SetIndexName(const std::string& name) {
  fIndexName = name;
  if (!Active()) return;
  CheckBrowseMode();
  SelectOrder();
  // The order changed under the filter: the filtered list is built anew for
  // it, so that Filtered keeps meaning what it says.
  if (Filtered()) {
    ApplyFilter();
    return;
  }
  fPosition = -1;
  First();
}

bool TTomeTable::CanModify() const { return !fReadOnly && TTDEDataSet::CanModify(); }

int TTomeTable::RecordCount() const { return static_cast<int>(fRecordList.size()); }

int TTomeTable::RecNo() const {
  if (!Active() || fRecordList.empty() || State() == dsInsert) return 0;
  // While records are tested or calculated the position is the record's own.
  if (State() == dsBrowse || State() == dsEdit) const_cast<TTomeTable*>(this)->UpdateCursorPos();
  const int32_t position = std::max(fPosition, 0);
  return std::min(position + 1, static_cast<int32_t>(fRecordList.size()));
}

void TTomeTable::SetRecNo(int value) {
  CheckBrowseMode();
  if (value < 0 || value > RecordCount() || value == RecNo()) return;
  DoBeforeScroll();
  fPosition = value - 1;
  Resync(rmCenter);
  DoAfterScroll();
}

// ------------------------------------------------------------- open / close

void TTomeTable::InternalOpen() {
  // 1. The database, connected, counted and with access checked.
  OpenDatabaseLink();
  // 2. The table.
  TTomeTableIO* io = Database()->FindTableIO(fTableName);
  if (!io) DatabaseErrorFmt("Table '%s' not found", {fTableName}, Name());
  io->Open();
  fTableIO = io;
  // 3. An empty cursor.
  fRecordList.clear();
  fPosition = -1;
  SetBookmarkSize(4);
  fCanModify = true;
  // 4. Field definitions and field objects.
  FieldDefs().Clear();
  TTomeFieldDefs& tableFields = fTableIO->FieldDefs();
  for (int k = 0; k < tableFields.Count(); ++k) {
    const TTomeFieldDef* def = tableFields.Items(k);
    const TFieldType type = def->FieldType();
    const int32_t size = (type == ftString || type == ftFixedChar) ? def->FieldSize() : 0;
    FieldDefs().Add(def->Name(), type, size);
  }
  if (DefaultFields()) CreateFields();
  BindFields(true);
  // 5. Index definitions.
  fIndexDefs.Clear();
  TTomeIndexDefs& tableIndexes = fTableIO->IndexDefs();
  for (int j = 0; j < tableIndexes.Count(); ++j) {
    const TTomeIndexDef* def = tableIndexes.Items(j);
    std::string keyNames;
    for (int32_t fieldIndex : def->FieldIndexes()) {
      if (!keyNames.empty()) keyNames += ",";
      if (fieldIndex >= 0 && fieldIndex < tableFields.Count()) keyNames += tableFields.Items(fieldIndex)->Name();
    }
    fIndexDefs.Add(def->Name(), keyNames, static_cast<TIndexOptions>(def->Options()));
  }
  // 6. The order.
  SelectOrder();
  // 7, 8. Record layout and spare buffers.
  PrepareRecordLayout();
}

void TTomeTable::DoAfterOpen() {
  if (Filtered()) {
    try {
      ApplyFilter();
    } catch (...) {
      // An open table with Filtered on must never show unfiltered records.
      Close();
      throw;
    }
  }
  TTDEDataSet::DoAfterOpen();
}

void TTomeTable::InternalClose() {
  if (fTableIO) {
    TTomeTableIO* io = fTableIO;
    fTableIO = nullptr;
    io->Close();
  }
  fRecordList.clear();
  fRecordList.shrink_to_fit();
  FreeSpareBuffers();
  fFieldByNumber.clear();
  fPosition = -1;
  fCanModify = false;
  CloseDatabaseLink();
}

// --------------------------------------------------------------- the order

void TTomeTable::SelectOrder() {
  TTomeIndexDefs& indexes = fTableIO->IndexDefs();
  fIndexNo = fIndexName.empty() ? -1 : indexes.IndexOf(fIndexName);
  if (fIndexNo < 0) {
    for (int j = 0; j < indexes.Count(); ++j) {
      if (indexes.Items(j)->Options() & tiPrimary) {
        fIndexNo = j;
        break;
      }
    }
  }
  fRecordList = fTableIO->RecordListOf(fIndexNo + 1);
  fCanModify = true;
}

// ------------------------------------------------------------------- moving

TGetResult TTomeTable::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) {
  const int32_t count = static_cast<int32_t>(fRecordList.size());
  if (count == 0) return grEOF;
  switch (mode) {
    case gmCurrent:
      if (fPosition < 0 || fPosition >= count) {
        if (doCheck) DatabaseError("No records");
        return grError;
      }
      break;
    case gmNext:
      if (fPosition >= count - 1) return grEOF;
      ++fPosition;
      break;
    case gmPrior:
      if (fPosition <= 0) return grBOF;
      --fPosition;
      break;
  }
  LoadRecord(buffer, fPosition);
  SetBookmarkFlag(buffer, bfCurrent);
  const int32_t recordNo = fRecordList[static_cast<size_t>(fPosition)].RecordNo;
  SetBookmarkData(buffer, &recordNo);
  GetCalcFields(buffer);
  return grOK;
}

void TTomeTable::LoadRecord(TRecordBuffer buffer, int32_t position) {
  TFieldBuffers buffers;
  FillFieldBuffers(*fTableIO, buffer, buffers);
  fTableIO->ReadRecord(buffers, fRecordList, position);
}

void TTomeTable::InternalGotoBookmark(const void* bookmark) {
  int32_t recordNo = 0;
  std::memcpy(&recordNo, bookmark, 4);
  for (size_t i = 0; i < fRecordList.size(); ++i) {
    if (fRecordList[i].RecordNo == recordNo) {
      fPosition = static_cast<int32_t>(i);
      return;
    }
  }
  DatabaseError("Bookmark not found");
}

void TTomeTable::InternalRefresh() {
  // Stay on the same record when it is still in the list.
  int32_t recordNo = -1;
  if (fPosition >= 0 && static_cast<size_t>(fPosition) < fRecordList.size())
    recordNo = fRecordList[static_cast<size_t>(fPosition)].RecordNo;
  SelectOrder();
  if (Filtered()) {
    ApplyFilter();
    return;
  }
  for (size_t i = 0; i < fRecordList.size(); ++i) {
    if (fRecordList[i].RecordNo == recordNo) {
      fPosition = static_cast<int32_t>(i);
      return;
    }
  }
  if (fPosition >= static_cast<int32_t>(fRecordList.size())) fPosition = static_cast<int32_t>(fRecordList.size()) - 1;
}

// ------------------------------------------------------------------- filter

void TTomeTable::ApplyFilter() {
  SetState(dsFilter);
  TTomeSession* session = Database() ? Database()->Session() : nullptr;
  const bool hourGlass = session && session->SQLHourGlass();
  if (hourGlass) ShowWaitCursor(true);
  auto finish = [&] {
    fFilterBuffer = nullptr;
    if (hourGlass) ShowWaitCursor(false);
    SetState(dsBrowse);
    fPosition = -1;
  };
  try {
    ParseFilter();
    fFilterBuffer = ActiveBuffer();
    TRecordList kept;
    const int32_t count = static_cast<int32_t>(fRecordList.size());
    for (int32_t i = 0; i < count; ++i) {
      fPosition = i;
      LoadRecord(fFilterBuffer, i);
      if (RecordFilter()) kept.push_back(fRecordList[static_cast<size_t>(i)]);
      if (OnFilterProgress) OnFilterProgress(*this, static_cast<int>(static_cast<int64_t>(i) * 100 / count));
    }
    if (kept.size() != fRecordList.size()) fRecordList = std::move(kept);
  } catch (...) {
    finish();
    try {
      First();
    } catch (...) {
      // The filter's own error is the one to report.
    }
    throw;
  }
  finish();
  First();
}

void TTomeTable::RemoveFilter() {
  SelectOrder();
  fPosition = -1;
  First();
  fCanModify = true;
}

// ------------------------------------------------------------------ writing

int32_t TTomeTable::StoredPosition(int32_t position) const {
  return fTableIO->ConvertPosition(fRecordList, position, 0);
}

int32_t TTomeTable::InsertPositionInList(TFieldBuffers& buffers) {
  int32_t position = -1;
  const int code = fTableIO->Search(buffers, fRecordList, false, 0, fIndexNo, position);
  if (code == 0 || code == 1) return position + 1;
  if (code == -1) return position;
  return 0;
}

void TTomeTable::AdjustAfterAppend(const TRecordEntry& entry, int32_t reportedPosition, TFieldBuffers& buffers) {
  if (fIndexNo < 0) {
    // The stored order: the new record is the last.
    fRecordList.push_back(entry);
    fPosition = static_cast<int32_t>(fRecordList.size()) - 1;
    return;
  }
  int32_t place = Filtered() ? InsertPositionInList(buffers) : reportedPosition;
  if (place < 0 || place > static_cast<int32_t>(fRecordList.size())) place = static_cast<int32_t>(fRecordList.size());
  fRecordList.insert(fRecordList.begin() + place, entry);
  fPosition = place;
}

void TTomeTable::WriteRecord(TRecordBuffer buffer, bool append) {
  Database()->CheckWritable();
  TFieldBuffers buffers;
  FillFieldBuffers(*fTableIO, buffer, buffers);
  if (append) {
    TRecordEntry newEntry;
    int32_t reported = -1;
    fTableIO->AppendRecord(
        buffers,
        [&](int32_t indexNo, int32_t position, int32_t, const TRecordEntry& entry) {
          if (indexNo == -1) newEntry = entry;
          if (indexNo == fIndexNo) reported = position;
        },
        this);
    AdjustAfterAppend(newEntry, reported, buffers);
    return;
  }
  // A change of the record at the current position.
  const int32_t stored = StoredPosition(fPosition);
  if (stored < 0) DatabaseError("Record not found", Name());
  int32_t oldPlace = -1;
  int32_t newPlace = -1;
  fTableIO->ModifyRecord(
      buffers, stored,
      [&](int32_t indexNo, int32_t position, int32_t newPosition, const TRecordEntry&) {
        if (indexNo == fIndexNo) {
          oldPlace = position;
          newPlace = newPosition;
        }
      },
      this);
  if (fIndexNo < 0) return;
  if (Filtered()) {
    const TRecordEntry entry = fRecordList[static_cast<size_t>(fPosition)];
    fRecordList.erase(fRecordList.begin() + fPosition);
    int32_t place = InsertPositionInList(buffers);
    fRecordList.insert(fRecordList.begin() + place, entry);
    fPosition = place;
  } else if (oldPlace >= 0 && oldPlace < static_cast<int32_t>(fRecordList.size())) {
    const TRecordEntry entry = fRecordList[static_cast<size_t>(oldPlace)];
    fRecordList.erase(fRecordList.begin() + oldPlace);
    int32_t place = oldPlace < newPlace ? newPlace - 1 : newPlace;
    place = std::clamp(place, 0, static_cast<int32_t>(fRecordList.size()));
    fRecordList.insert(fRecordList.begin() + place, entry);
    fPosition = place;
  }
}

void TTomeTable::InternalPost() {
  WriteRecord(ActiveBuffer(), State() == dsInsert);
}

void TTomeTable::InternalAddRecord(TRecordBuffer buffer, bool /*append*/) { WriteRecord(buffer, true); }

void TTomeTable::InternalDelete() {
  Database()->CheckWritable();
  const int32_t stored = StoredPosition(fPosition);
  if (stored < 0) DatabaseError("Record not found", Name());
  fTableIO->DeleteRecord(stored);
  fRecordList.erase(fRecordList.begin() + fPosition);
  if (fPosition >= static_cast<int32_t>(fRecordList.size())) fPosition = static_cast<int32_t>(fRecordList.size()) - 1;
}
