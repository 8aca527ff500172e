#include "tomedb/table.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/errors.h"
#include "tomedb/database.h"
#include "tomedb/filter/exprnode.h"
#include "tomedb/session.h"

TTomeTable::TTomeTable(TComponent* owner) : TTDEDataSet(owner) {
  fMasterLink.OnMasterChange = [this] { MasterChanged(); };
  fMasterLink.OnMasterDisable = [this] { MasterDisabled(); };
}

TTomeTable::~TTomeTable() {
  fMasterLink.OnMasterChange = nullptr;
  fMasterLink.OnMasterDisable = nullptr;
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
  // An active master link narrows the list as soon as an index is in use,
  // not only once the master moves.
  if (!fRangeActive && fIndexNo >= 0 && fMasterLink.Active() && !fMasterLink.Fields().empty()) {
    MasterChanged();
    if (fRangeActive) return;
  }
  // A range follows the new order's key fields.
  if (fRangeActive && fIndexNo >= 0) BuildRange();
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
  if (!io) DatabaseErrorFmt(ekNotFound, "Table '%s' not found", {fTableName}, Name());
  io->Open();
  fTableIO = io;
  io->AddListener(this, [this] { FollowTableIO(); });
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
  // A detail opened under an active master starts narrowed to its range.
  if (fMasterLink.Active() && !fMasterLink.Fields().empty() && fIndexNo >= 0) {
    if (Filtered()) TDataSet::SetFiltered(false);
    if (BuildRange()) First();
  }
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
  EndScan();
  fScanSetup = TScanSetup();
  if (fTableIO) {
    TTomeTableIO* io = fTableIO;
    fTableIO = nullptr;
    io->RemoveListener(this);
    io->Close();
  }
  fScanBuffers.Clear();
  fLoadBuffers.Clear();
  fRecordList.clear();
  fRecordList.shrink_to_fit();
  FreeSpareBuffers();
  fFieldByNumber.clear();
  fPosition = -1;
  fCanModify = false;
  fRangeActive = false;
  fKeyFieldCount = 0;
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
        if (doCheck) DatabaseError(ekNotFound, "No records");
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
  PointFieldBuffers(*fTableIO, buffer, fLoadBuffers);
  fTableIO->ReadRecord(fLoadBuffers, fRecordList, position);
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
  DatabaseError(ekNotFound, "Bookmark not found");
}

void TTomeTable::InternalRefresh() {
  fFollowPending = false;  // the copy below takes in every change so far
  // Stay on the same record when it is still in the list.
  int32_t recordNo = -1;
  if (fPosition >= 0 && static_cast<size_t>(fPosition) < fRecordList.size())
    recordNo = fRecordList[static_cast<size_t>(fPosition)].RecordNo;
  if (fRangeActive && fIndexNo < 0) DatabaseError(ekInvalidState, "No index currently active", Name());
  SelectOrder();
  if (fRangeActive) BuildRange();
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

void TTomeTable::BeginScan(TRecordBuffer buffer) {
  EndScan();
  fTableIO->FileIO()->Lock();
  fScanLocked = true;
  // What the scan reads and the key range depend only on these; a run of
  // finds with one filter prepares them once.
  TScanSetup setup{Filter(), FilterOptions(), fIndexNo, static_cast<bool>(OnFilterRecord),
                   fBuildingFilter && static_cast<bool>(OnFilterProgress), fRangeFinds, true};
  if (setup == fScanSetup && fScanBuffers.Count() == fTableIO->FieldDefs().Count()) {
    PointFieldBuffers(*fTableIO, buffer, fScanBuffers);
    return;
  }
  fScanSetup = TScanSetup();
  FillFieldBuffers(*fTableIO, buffer, fScanBuffers);
  // An OnFilterRecord handler may read any field; otherwise only the fields
  // the filter names are read and decoded.
  if (!OnFilterRecord) {
    std::vector<bool> read(static_cast<size_t>(fScanBuffers.Count()), false);
    std::vector<const TExprNode*> pending;
    if (!Filter().empty() && fFilterParser.Nodes().Root) pending.push_back(fFilterParser.Nodes().Root);
    while (!pending.empty()) {
      const TExprNode* node = pending.back();
      pending.pop_back();
      if (node->Kind == enField && node->FieldIndex >= 0 && node->FieldIndex < Fields().Count()) {
        const int32_t fieldNo = Fields()[node->FieldIndex].FieldNo();
        if (fieldNo >= 1 && fieldNo <= fScanBuffers.Count()) read[static_cast<size_t>(fieldNo - 1)] = true;
      }
      if (node->Left) pending.push_back(node->Left);
      if (node->Right) pending.push_back(node->Right);
      for (const TExprNode* arg : node->Args) pending.push_back(arg);
    }
    for (int k = 0; k < fScanBuffers.Count(); ++k)
      if (!read[static_cast<size_t>(k)]) fScanBuffers.Items(k).Active = false;
  }
  fScanKey = TScanKey();
  if (fRangeFinds) PrepareKeyRange();
  fScanSetup = std::move(setup);
}

void TTomeTable::ScanRecord(TRecordBuffer /*buffer*/, int32_t position) {
  fTableIO->ReadRecord(fScanBuffers, fRecordList, position);
}

void TTomeTable::EndScan() {
  if (!fScanLocked) return;
  fScanLocked = false;
  fTableIO->FileIO()->Unlock();
}

int32_t TTomeTable::ScanSkip(int32_t position, bool forward) {
  const size_t m = fScanKey.values.size();
  // A list that waits to follow another table's write may be out of key order.
  if (m == 0 || fFollowPending) return position;
  // The sought key against the record's, in the order of the list.
  int c = 0;
  for (size_t i = 0; i < m && c == 0; ++i)
    c = fScanKey.comparers[i]->Compare(fScanKey.values[i].data(),
                                       fScanBuffers.Items(fScanKey.fields[i]).Buffer, -1, fScanKey.options);
  if (fScanKey.descending) c = -c;
  if (c == 0) return position;
  const auto count = static_cast<int32_t>(fRecordList.size());
  // A record past the range ends the scan; one before it sends the scan to
  // the range's near end.
  if (forward && c < 0) return count;
  if (!forward && c > 0) return -1;
  int32_t first = 0, last = -1;
  fTableIO->KeyRange(fScanKey.values, fRecordList, fIndexNo, static_cast<int>(m), first, last);
  if (last < first) return forward ? count : -1;
  return forward ? first : last;
}

void TTomeTable::PrepareKeyRange() {
  // A handler sees every record it is asked about, so it keeps the full scan.
  if (fIndexNo < 0 || Filter().empty() || OnFilterRecord || (fBuildingFilter && OnFilterProgress)) return;
  const TExprNode* root = fFilterParser.Nodes().Root;
  if (!root) return;
  // The top-level AND terms of the form field = constant.
  std::vector<const TExprNode*> terms, pending{root};
  while (!pending.empty()) {
    const TExprNode* node = pending.back();
    pending.pop_back();
    if (node->Kind == enOperator && node->Operator == coAND && node->Left && node->Right) {
      pending.push_back(node->Right);
      pending.push_back(node->Left);
    } else if (node->Kind == enOperator && node->Operator == coEQ && node->Left && node->Right &&
               node->Left->Kind == enField && !node->Left->IsBlobField && node->Right->Kind == enConst) {
      terms.push_back(node);
    }
  }
  const TTableHeader& header = fTableIO->TableHeader();
  const TIndexSlot& index = header.indexes.at(static_cast<size_t>(fIndexNo));
  TScanKey key;
  for (int32_t keyField : index.KeyFields()) {
    std::vector<uint8_t> value;
    bool found = false;
    for (const TExprNode* term : terms) {
      const int32_t fieldIndex = term->Left->FieldIndex;
      if (fieldIndex < 0 || fieldIndex >= Fields().Count()) continue;
      if (Fields()[fieldIndex].FieldNo() != keyField + 1) continue;
      if (KeyValueOf(keyField, *term->Left, *term->Right, fIndexNo, value)) {
        found = true;
        break;
      }
    }
    // The field is read into the scan buffer only when the filter names it.
    if (!found || keyField >= fScanBuffers.Count() || !fScanBuffers.Items(keyField).Active ||
        !fScanBuffers.Items(keyField).Buffer)
      break;
    const TFieldSlot& slot = header.fields.at(static_cast<size_t>(keyField));
    key.values.push_back(std::move(value));
    key.fields.push_back(keyField);
    key.comparers.push_back(std::make_unique<TKeyComparer>(static_cast<TFieldType>(slot.fieldType), slot.declaredSize));
  }
  key.options = foNoPartialCompare | (HasOptions(index.options, tiCaseInsensitive) ? foCaseInsensitive : 0);
  key.descending = HasOptions(index.options, tiDescending);
  fScanKey = std::move(key);
}

bool TTomeTable::KeyValueOf(int32_t fieldNo, const TExprNode& field, const TExprNode& value, int indexNo,
                            std::vector<uint8_t>& out) const {
  const TTableHeader& header = fTableIO->TableHeader();
  const TFieldSlot& slot = header.fields.at(static_cast<size_t>(fieldNo));
  const auto type = static_cast<TFieldType>(slot.fieldType);
  const int32_t size = fTableIO->FieldStoredSizeOf(fieldNo);
  const TField* object = static_cast<size_t>(fieldNo + 1) < fFieldByNumber.size()
                             ? fFieldByNumber[static_cast<size_t>(fieldNo + 1)]
                             : nullptr;
  // The filter must read the field as the index does: same type, all of its
  // stored bytes.
  if (!object || field.DataType != type || object->DataSize() != size || size <= 0) return false;
  out.assign(static_cast<size_t>(size), 0);
  switch (type) {
    case ftString:
    case ftFixedChar: {
      if (value.DataType != ftString) return false;
      const TFilterOptions options = FilterOptions();
      // A "*" makes the filter compare a prefix; the index compares whole texts.
      if (value.PartialLength >= 0 && !(options & foNoPartialCompare)) return false;
      const bool indexIgnoresCase = HasOptions(header.indexes.at(static_cast<size_t>(indexNo)).options, tiCaseInsensitive);
      if (((options & foCaseInsensitive) != 0) != indexIgnoresCase) return false;
      // A longer text is never cut: it stays out of the range altogether.
      const std::string_view text = value.Text();
      if (text.size() + 1 > static_cast<size_t>(size)) return false;
      std::memcpy(out.data(), text.data(), text.size());
      return true;
    }
    case ftSmallint:
    case ftWord:
    case ftInteger:
    case ftAutoInc:
    case ftLargeint: {
      if (value.DataType != ftInteger) return false;
      const int64_t number = value.Integer();
      if (type == ftSmallint && (number < INT16_MIN || number > INT16_MAX)) return false;
      if (type == ftWord && (number < 0 || number > UINT16_MAX)) return false;
      for (int32_t b = 0; b < size; ++b) out[static_cast<size_t>(b)] = static_cast<uint8_t>(static_cast<uint64_t>(number) >> (8 * b));
      return true;
    }
    case ftDate:
    case ftTime:
      if (value.DataType != type || value.DataSize < 4 || !value.Data) return false;
      std::memcpy(out.data(), value.Data, 4);
      return true;
    default:
      // Doubles (a NaN has no place in an order) and booleans keep the full scan.
      return false;
  }
}

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
    fBuildingFilter = true;
    BeginScan(fFilterBuffer);
    fBuildingFilter = false;
    for (int32_t i = 0; i < count;) {
      fPosition = i;
      ScanRecord(fFilterBuffer, i);
      const int32_t next = ScanSkip(i, true);
      if (next != i) {
        i = std::max(next, i + 1);
        continue;
      }
      if (RecordFilter()) kept.push_back(fRecordList[static_cast<size_t>(i)]);
      if (OnFilterProgress) OnFilterProgress(*this, static_cast<int>(static_cast<int64_t>(i) * 100 / count));
      ++i;
    }
    EndScan();
    if (kept.size() != fRecordList.size()) fRecordList = std::move(kept);
  } catch (...) {
    fBuildingFilter = false;
    EndScan();
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
  if (fRangeActive && fIndexNo >= 0) BuildRange();
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
  int32_t place = ListNarrowed() ? InsertPositionInList(buffers) : reportedPosition;
  if (place < 0 || place > static_cast<int32_t>(fRecordList.size())) place = static_cast<int32_t>(fRecordList.size());
  fRecordList.insert(fRecordList.begin() + place, entry);
  fPosition = place;
}

void TTomeTable::FollowTableIO() {
  if (!fTableIO || !Active()) return;
  if (State() != dsBrowse || fWriting) {
    fFollowPending = true;
    return;
  }
  fFollowPending = false;
  UpdateCursorPos();
  InternalRefresh();
  CursorPosChanged();
  Resync(0);
}

void TTomeTable::FollowDeferred() {
  // A filter or a range is rebuilt in states of its own, which must not
  // interrupt an edit: those lists follow at the next change seen while
  // browsing, or at Refresh.
  if (!fFollowPending || !fTableIO || Filtered() || fRangeActive) return;
  fFollowPending = false;
  InternalRefresh();
}

void TTomeTable::WriteRecord(TRecordBuffer buffer, bool append) {
  struct TFollowAfter {
    TTomeTable& table;
    explicit TFollowAfter(TTomeTable& t) : table(t) { table.fWriting = true; }
    ~TFollowAfter() {
      table.fWriting = false;
      try {
        table.FollowDeferred();
      } catch (...) {
        // The list stays as it was; the next refresh copies it anew.
      }
    }
  } follow(*this);
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
  if (stored < 0) DatabaseError(ekNotFound, "Record not found", Name());
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
  if (ListNarrowed()) {
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
  if (stored < 0) DatabaseError(ekNotFound, "Record not found", Name());
  fWriting = true;
  try {
    fTableIO->DeleteRecord(stored, this);
  } catch (...) {
    fWriting = false;
    throw;
  }
  fWriting = false;
  fRecordList.erase(fRecordList.begin() + fPosition);
  if (fPosition >= static_cast<int32_t>(fRecordList.size())) fPosition = static_cast<int32_t>(fRecordList.size()) - 1;
  FollowDeferred();
}

void TTomeTable::Post() {
  if (State() != dsSetKey) {
    TTDEDataSet::Post();
    return;
  }
  // Key values are taken as they stand; nothing is written.
  DataEvent(deCheckBrowseMode);
  SetState(dsBrowse);
  DataEvent(deDataSetChange);
}

// ------------------------------------------------------- Locate and Lookup

template <typename F>
void TTomeTable::InStateWithBuffer(TDataSetState state, TRecordBuffer buffer, F&& body) {
  TRecordBuffer& slot = state == dsSetKey ? fKeyBuffer : fFilterBuffer;
  slot = buffer;
  SetState(state);
  try {
    body();
  } catch (...) {
    slot = nullptr;
    SetState(dsBrowse);
    throw;
  }
  slot = nullptr;
  SetState(dsBrowse);
}

int TTomeTable::MatchingIndex(const std::vector<int32_t>& fieldNos, bool caseInsensitive) const {
  bool textKey = false;
  for (int32_t f : fieldNos) {
    const TFieldType type = fTableIO->FieldDefs().Items(f)->FieldType();
    if (type == ftString || type == ftFixedChar || type == ftWideString) textKey = true;
  }
  TTomeIndexDefs& indexes = fTableIO->IndexDefs();
  for (int j = 0; j < indexes.Count(); ++j) {
    const TTomeIndexDef* def = indexes.Items(j);
    if (def->FieldIndexes() != fieldNos) continue;
    if (textKey && ((def->Options() & tiCaseInsensitive) != 0) != caseInsensitive) continue;
    return j;
  }
  return -1;
}

int32_t TTomeTable::LocateRecord(std::string_view keyFields, const Variant& keyValues, TLocateOptions options) {
  CheckBrowseMode();
  CursorPosChanged();
  const std::vector<TField*> fields = GetFieldList(keyFields);
  if (fields.empty()) return -1;
  if (fields.size() == 1 && keyValues.IsArray() && keyValues.Items().empty())
    DatabaseErrorFmt(ekInvalidValue, "A key value is needed for the key field '%s'", {std::string(keyFields)}, Name());
  if (fields.size() > 1 && (!keyValues.IsArray() || keyValues.Items().size() != fields.size()))
    DatabaseErrorFmt(ekInvalidValue, "%s key values are needed for the key fields '%s'",
                     {std::to_string(fields.size()), std::string(keyFields)}, Name());
  std::vector<int32_t> fieldNos;
  for (TField* field : fields) {
    if (field->FieldNo() <= 0)
      DatabaseErrorFmt(ekInvalidValue, "Field '%s' is not stored in the table and cannot be a key",
                       {field->FieldName()}, Name());
    fieldNos.push_back(field->FieldNo() - 1);
  }
  const bool partial = (options & loPartialKey) != 0;
  const bool caseInsensitive = (options & loCaseInsensitive) != 0;

  TRecordBuffer buffer = TempBuffer();
  int32_t found = -1;
  InStateWithBuffer(dsFilter, buffer, [&] {
    InternalInitRecord(buffer);
    for (size_t i = 0; i < fields.size(); ++i) {
      const Variant& value =
          fields.size() == 1 ? (keyValues.IsArray() ? keyValues.Items().at(0) : keyValues) : keyValues.Items()[i];
      if (value.IsNull())
        fields[i]->Clear();
      else
        fields[i]->SetValue(value);
    }
    TFieldBuffers buffers;
    FillFieldBuffers(*fTableIO, buffer, buffers);
    const int indexNo = MatchingIndex(fieldNos, caseInsensitive);
    if (indexNo >= 0) {
      // The first record with the key in index order that the record list holds.
      const bool inUse = indexNo == fIndexNo;
      const TRecordList& list = inUse ? fRecordList : fTableIO->RecordListOf(indexNo + 1);
      int32_t position = -1;
      if (fTableIO->BoundSearch(buffers, list, partial, 0, indexNo, true, position) == 0) {
        for (auto p = static_cast<size_t>(position); p < list.size() && found < 0; ++p) {
          if (p > static_cast<size_t>(position) &&
              !fTableIO->RecordFieldsEqual(buffers, fieldNos, list[p], partial, caseInsensitive))
            break;
          if (inUse) {
            found = static_cast<int32_t>(p);
          } else {
            for (size_t i = 0; i < fRecordList.size(); ++i)
              if (fRecordList[i].RecordNo == list[p].RecordNo) {
                found = static_cast<int32_t>(i);
                break;
              }
          }
        }
      }
    } else {
      for (size_t i = 0; i < fRecordList.size(); ++i)
        if (fTableIO->RecordFieldsEqual(buffers, fieldNos, fRecordList[i], partial, caseInsensitive)) {
          found = static_cast<int32_t>(i);
          break;
        }
    }
  });
  return found;
}

bool TTomeTable::Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options) {
  CheckBrowseMode();
  DoBeforeScroll();
  const int32_t found = LocateRecord(keyFields, keyValues, options);
  if (found < 0) return false;
  fPosition = found;
  Resync(rmExact | rmCenter);
  DoAfterScroll();
  return true;
}

Variant TTomeTable::Lookup(std::string_view keyFields, const Variant& keyValues, std::string_view resultFields) {
  Variant result;
  const int32_t found = LocateRecord(keyFields, keyValues, 0);
  if (found < 0) return result;
  TRecordBuffer buffer = TempBuffer();
  LoadRecord(buffer, found);
  GetCalcFields(buffer);
  const std::vector<TField*> fields = GetFieldList(resultFields);
  InStateWithBuffer(dsFilter, buffer, [&] {
    if (fields.size() == 1) {
      result = fields[0]->Value();
    } else if (!fields.empty()) {
      std::vector<Variant> values;
      for (TField* field : fields) values.push_back(field->Value());
      result = Variant(std::move(values));
    }
  });
  return result;
}

// ------------------------------------------------------ master-detail range

void TTomeTable::SetMasterSource(TDataSource* source) {
  // Follow the chain of masters: it must never come back to this table.
  int steps = 0;
  for (TDataSource* s = source; s && s->DataSet(); s = s->DataSet()->GetDataSource()) {
    if (s->DataSet() == this || ++steps > 10000)
      DatabaseError(ekInvalidValue, "Circular datalinks are not allowed", Name());
  }
  fMasterLink.SetDataSource(source);
}

bool TTomeTable::BuildRange() {
  const std::vector<TField*>& masters = fMasterLink.Fields();
  const std::vector<int32_t> keyFields = fTableIO->IndexDefs().Items(fIndexNo)->FieldIndexes();
  const size_t count = std::min(masters.size(), keyFields.size());
  // The lower and the upper key hold the same values; the bound searches
  // make the difference.
  for (int k = 1; k <= 2; ++k) {
    InStateWithBuffer(dsSetKey, fSpareBuffers[k], [&] {
      InternalInitRecord(fKeyBuffer);
      for (size_t i = 0; i < count; ++i) {
        TField* keyField = fFieldByNumber.at(static_cast<size_t>(keyFields[i]) + 1);
        if (!keyField) continue;
        const Variant value = masters[i]->Value();
        if (value.IsNull())
          keyField->Clear();
        else
          keyField->SetValue(value);
      }
    });
  }
  TFieldBuffers lower, upper;
  FillFieldBuffers(*fTableIO, fSpareBuffers[1], lower);
  FillFieldBuffers(*fTableIO, fSpareBuffers[2], upper);
  const TRecordList& full = fTableIO->RecordListOf(fIndexNo + 1);
  const int fieldCount = static_cast<int>(count);
  int32_t first = -1, last = -1;
  int code = fTableIO->BoundSearch(lower, full, false, fieldCount, fIndexNo, true, first);
  if (code == -2) return false;
  if (code == 1) ++first;
  code = fTableIO->BoundSearch(upper, full, false, fieldCount, fIndexNo, false, last);
  if (code == -2) return false;
  if (code == -1) --last;
  if (last >= first)
    fRecordList.assign(full.begin() + first, full.begin() + last + 1);
  else
    fRecordList.clear();
  fRangeActive = true;
  fKeyFieldCount = fieldCount;
  fPosition = -1;
  return true;
}

void TTomeTable::MasterChanged() {
  if (!Active() || fIndexNo < 0 || fMasterLink.Fields().empty()) return;
  CheckBrowseMode();
  if (Filtered()) SetFiltered(false);
  SelectOrder();
  if (BuildRange()) First();
}

void TTomeTable::MasterDisabled() {
  if (!Active() || !fRangeActive) return;
  CheckBrowseMode();
  SelectOrder();
  fRangeActive = false;
  fKeyFieldCount = 0;
  fPosition = -1;
  if (Filtered())
    ApplyFilter();
  else
    First();
  fCanModify = true;
}
