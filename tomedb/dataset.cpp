#include "tomedb/dataset.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "core/errors.h"
#include "dataset/datetime.h"
#include "tomedb/database.h"
#include "tomedb/session.h"

namespace {

// The session on `owner` whose AutoSessionName is on, or null.
TTomeSession* AutoSessionOf(TComponent* owner) {
  if (!owner) return nullptr;
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    auto* session = dynamic_cast<TTomeSession*>(owner->Components(i));
    if (session && session->AutoSessionName()) return session;
  }
  return nullptr;
}

// Day number of 1899-12-30, the date-time value 0.
constexpr double kDateTimeZeroMSecs = 693594.0 * 86400000.0;

}  // namespace

// ================================================================ TTDBDataSet

TTDBDataSet::TTDBDataSet(TComponent* owner) : TDataSet(owner) {
  if (TTomeSession* autoSession = AutoSessionOf(owner)) fSessionName = autoSession->SessionName();
}

TTDBDataSet::~TTDBDataSet() { CloseDatabaseLink(); }

void TTDBDataSet::SetDatabaseName(const std::string& name) {
  CheckInactive();
  if (fDatabase) DatabaseError(ekInvalidState, "Cannot perform this operation on an open database", Name());
  fDatabaseName = name;
}

void TTDBDataSet::SetSessionName(const std::string& name) {
  CheckInactive();
  fSessionName = name;
}

TTomeSession* TTDBDataSet::DBSession() const { return Sessions().GetSession(fSessionName); }

void TTDBDataSet::SetPassword(const std::string& password) {
  TTomeDatabase* database = DBSession()->OpenDatabase(fDatabaseName, Owner(), false, this);
  database->SetPassword(password);
}

void TTDBDataSet::CloseDatabaseDataSet() {
  if (fDatabase && fDatabase->BeingDestroyed()) CloseForDestruction();
  else Close();
}

void TTDBDataSet::OpenDatabaseLink() {
  TTomeSession* session = DBSession();
  fDatabase = session->OpenDatabase(fDatabaseName, Owner(), true, this);
  fDatabase->AttachDataSet(this);
  fDatabase->CheckAccess();
}

void TTDBDataSet::CloseDatabaseLink() {
  if (!fDatabase) return;
  TTomeDatabase* database = fDatabase;
  fDatabase = nullptr;
  database->DetachDataSet(this);
  if (TTomeSession* session = database->Session()) session->CloseDatabase(database);
}

// ================================================================ TTDEDataSet

TTDEDataSet::TTDEDataSet(TComponent* owner) : TTDBDataSet(owner) {}

TTDEDataSet::~TTDEDataSet() { FreeSpareBuffers(); }

void TTDEDataSet::SetMediumType(TTomeDBMediumType value) {
  CheckInactive();
  fMediumType = value;
}

bool TTDEDataSet::CanModify() const {
  if (!fCanModify) return false;
  TTomeDatabase* database = Database();
  if (database) {
    if (database->ReadOnly()) return false;
    if (database->FileIO() && database->FileIO()->OpenedReadOnly()) return false;
  }
  return true;
}

// ------------------------------------------------------------ record buffers

void TTDEDataSet::PrepareRecordLayout() {
  fParsedValid = false;  // field nodes name positions in the field list
  int32_t maxFieldNo = 0;
  for (int i = 0; i < Fields().Count(); ++i) maxFieldNo = std::max(maxFieldNo, Fields()[i].FieldNo());
  fFieldOffsets.assign(static_cast<size_t>(maxFieldNo) + 1, 0);
  fFieldByNumber.assign(static_cast<size_t>(maxFieldNo) + 1, nullptr);
  int32_t offset = 0;
  for (int i = 0; i < Fields().Count(); ++i) {
    TField& field = Fields()[i];
    if (field.FieldNo() <= 0) continue;  // calculated fields live in the calculated area
    fFieldOffsets[static_cast<size_t>(field.FieldNo())] = offset;
    fFieldByNumber[static_cast<size_t>(field.FieldNo())] = &field;
    offset += field.IsBlob() ? 4 : field.DataSize();
  }
  fDataSize = offset;
  fRecordSize = fDataSize + CalcFieldsSize() + 5;
  FreeSpareBuffers();
  for (TRecordBuffer& spare : fSpareBuffers) {
    spare = AllocRecordBuffer();
    InternalInitRecord(spare);
  }
}

void TTDEDataSet::FreeSpareBuffers() {
  fParsedValid = false;
  for (TRecordBuffer& spare : fSpareBuffers)
    if (spare) FreeRecordBuffer(spare);
  fKeyBuffer = nullptr;
  fFilterBuffer = nullptr;
}

TRecordBuffer TTDEDataSet::AllocRecordBuffer() {
  const size_t size = static_cast<size_t>(std::max(fRecordSize, 1));
  auto* buffer = new uint8_t[size];
  std::memset(buffer, 0, size);
  auto& streams = fBlobStreams[buffer];
  for (size_t fieldNo = 1; fieldNo < fFieldByNumber.size(); ++fieldNo) {
    TField* field = fFieldByNumber[fieldNo];
    if (!field || !field->IsBlob()) continue;
    const int32_t slot = static_cast<int32_t>(streams.size());
    streams.push_back(std::make_unique<TOptimBlobStream>());
    std::memcpy(buffer + fFieldOffsets[fieldNo], &slot, 4);
  }
  return buffer;
}

void TTDEDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
  if (!buffer) return;
  fBlobStreams.erase(buffer);
  delete[] buffer;
  buffer = nullptr;
}

TOptimBlobStream* TTDEDataSet::BlobStreamOf(TRecordBuffer buffer, int32_t fieldNo) const {
  if (!buffer || fieldNo <= 0 || static_cast<size_t>(fieldNo) >= fFieldByNumber.size()) return nullptr;
  TField* field = fFieldByNumber[static_cast<size_t>(fieldNo)];
  if (!field || !field->IsBlob()) return nullptr;
  auto found = fBlobStreams.find(buffer);
  if (found == fBlobStreams.end()) return nullptr;
  int32_t slot = 0;
  std::memcpy(&slot, buffer + fFieldOffsets[static_cast<size_t>(fieldNo)], 4);
  if (slot < 0 || static_cast<size_t>(slot) >= found->second.size()) return nullptr;
  return found->second[static_cast<size_t>(slot)].get();
}

void TTDEDataSet::GetBookmarkData(TRecordBuffer buffer, void* data) {
  std::memcpy(data, buffer + fRecordSize - 5, 4);
}

void TTDEDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data) {
  std::memcpy(buffer + fRecordSize - 5, data, 4);
}

TBookmarkFlag TTDEDataSet::GetBookmarkFlag(TRecordBuffer buffer) {
  return static_cast<TBookmarkFlag>(buffer[fRecordSize - 1]);
}

void TTDEDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) { buffer[fRecordSize - 1] = flag; }

void TTDEDataSet::InternalInitRecord(TRecordBuffer buffer) {
  for (size_t fieldNo = 1; fieldNo < fFieldByNumber.size(); ++fieldNo) {
    TField* field = fFieldByNumber[fieldNo];
    if (!field) continue;
    uint8_t* data = buffer + fFieldOffsets[fieldNo];
    if (field->IsBlob()) {
      // The slot number stays; the value empties.
      if (TOptimBlobStream* stream = BlobStreamOf(buffer, static_cast<int32_t>(fieldNo)))
        stream->PointAt(nullptr, 0, false, false);
      continue;
    }
    std::memset(data, 0, static_cast<size_t>(field->DataSize()));
    switch (field->DataType()) {
      case ftDateTime: {
        const double value = kDateTimeZeroMSecs;
        std::memcpy(data, &value, sizeof value);
        break;
      }
      case ftDate: {
        const int32_t day = TodayDayNumber();
        std::memcpy(data, &day, sizeof day);
        break;
      }
      case ftTime: {
        const int32_t msecs = CurrentTimeMSecs();
        std::memcpy(data, &msecs, sizeof msecs);
        break;
      }
      default: break;
    }
  }
  ClearCalcFields(buffer);
}

void TTDEDataSet::ClearCalcFields(TRecordBuffer buffer) {
  if (CalcFieldsSize() > 0) std::memset(buffer + fDataSize, 0, static_cast<size_t>(CalcFieldsSize()));
}

TRecordBuffer TTDEDataSet::GetCurrentRecordBuffer() const {
  switch (State()) {
    case dsBrowse: return IsEmpty() ? nullptr : ActiveBuffer();
    case dsEdit:
    case dsInsert:
    case dsNewValue: return ActiveBuffer();
    case dsSetKey: return fKeyBuffer;
    case dsCalcFields: return CalcBuffer();
    case dsFilter: return fFilterBuffer;
    default: return nullptr;
  }
}

void TTDEDataSet::FillFieldBuffers(TTomeTableIO& table, TRecordBuffer buffer, TFieldBuffers& buffers) const {
  buffers.Clear();
  const int count = table.FieldDefs().Count();
  for (int k = 0; k < count; ++k) {
    const int32_t fieldNo = k + 1;
    const TFieldType type = table.FieldDefs().Items(k)->FieldType();
    TField* field =
        static_cast<size_t>(fieldNo) < fFieldByNumber.size() ? fFieldByNumber[static_cast<size_t>(fieldNo)] : nullptr;
    if (!field) {
      buffers.AddOwned(type, table.FieldStoredSizeOf(k))->Active = false;
    } else if (field->IsBlob()) {
      buffers.Add(BlobStreamOf(buffer, fieldNo), type);
    } else {
      buffers.Add(buffer + fFieldOffsets[static_cast<size_t>(fieldNo)], type, field->DataSize());
    }
  }
}

void TTDEDataSet::PointFieldBuffers(TTomeTableIO& table, TRecordBuffer buffer, TFieldBuffers& buffers) const {
  if (buffers.Count() != table.FieldDefs().Count()) {
    FillFieldBuffers(table, buffer, buffers);
    return;
  }
  for (int k = 0; k < buffers.Count(); ++k) {
    const int32_t fieldNo = k + 1;
    const TField* field =
        static_cast<size_t>(fieldNo) < fFieldByNumber.size() ? fFieldByNumber[static_cast<size_t>(fieldNo)] : nullptr;
    if (!field) continue;
    TFieldBufferItem& item = buffers.Items(k);
    if (field->IsBlob())
      item.BlobStream = BlobStreamOf(buffer, fieldNo);
    else
      item.Buffer = buffer + fFieldOffsets[static_cast<size_t>(fieldNo)];
  }
}

// ---------------------------------------------------------------- field data

bool TTDEDataSet::GetFieldData(const TField& field, void* out) {
  TRecordBuffer buffer = GetCurrentRecordBuffer();
  if (!buffer) return false;
  if (field.FieldNo() > 0) {
    if (field.IsBlob()) DatabaseError(ekGeneral, "General error");
    std::memcpy(out, buffer + fFieldOffsets.at(static_cast<size_t>(field.FieldNo())),
                static_cast<size_t>(field.DataSize()));
    return true;
  }
  if (!field.Calculated()) return false;
  const uint8_t* slot = buffer + fDataSize + field.Offset();
  if (slot[0] == 0) return false;
  std::memcpy(out, slot + 1, static_cast<size_t>(field.DataSize()));
  return true;
}

void TTDEDataSet::SetFieldData(TField& field, const void* in) {
  TRecordBuffer buffer = GetCurrentRecordBuffer();
  if (!buffer) DatabaseError(ekInvalidState, "Dataset not in edit or insert mode", Name());
  const size_t size = static_cast<size_t>(field.DataSize());
  if (field.FieldNo() > 0) {
    if (field.IsBlob()) DatabaseError(ekGeneral, "General error");
    uint8_t* data = buffer + fFieldOffsets.at(static_cast<size_t>(field.FieldNo()));
    if (in) std::memcpy(data, in, size);
    else std::memset(data, 0, size);
  } else if (field.Calculated()) {
    uint8_t* slot = buffer + fDataSize + field.Offset();
    slot[0] = in ? 1 : 0;
    if (in) std::memcpy(slot + 1, in, size);
    else std::memset(slot + 1, 0, size);
  } else {
    return;
  }
  if (State() != dsCalcFields && State() != dsFilter) DataEvent(deFieldChange, &field);
}

std::string TTDEDataSet::ReadBlob(const TField& field) {
  TOptimBlobStream* stream = BlobStreamOf(GetCurrentRecordBuffer(), field.FieldNo());
  if (!stream) return {};
  const int64_t size = stream->Size();  // loads the stored value on first use
  std::string text(static_cast<size_t>(size), '\0');
  stream->Seek(0, soBeginning);
  if (size > 0) stream->Read(text.data(), size);
  return text;
}

void TTDEDataSet::WriteBlob(TField& field, std::string_view data) {
  std::unique_ptr<TTomeBlobStream> stream = CreateBlobStream(field, bmWrite);
  if (!data.empty()) stream->Write(data.data(), static_cast<int64_t>(data.size()));
}

std::unique_ptr<TTomeBlobStream> TTDEDataSet::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  if (!field.IsBlob() || field.FieldNo() <= 0 || field.DataSet() != this) DatabaseError(ekGeneral, "General error");
  if (mode != bmRead) {
    // The filter state writes the key values of Locate and Lookup into the
    // filter buffer, memo keys included.
    if (State() != dsEdit && State() != dsInsert && State() != dsNewValue && State() != dsFilter)
      DatabaseError(ekInvalidState, "Dataset not in edit or insert mode", Name());
  }
  return std::make_unique<TTomeBlobStream>(this, field.FieldNo(), mode);
}

TOptimBlobStream* TTDEDataSet::ActiveBlobStream(int32_t fieldNo) {
  return BlobStreamOf(GetCurrentRecordBuffer(), fieldNo);
}

void TTDEDataSet::MarkFieldModified(int32_t /*fieldNo*/) {
  // Every field of the record is written at a post; nothing to remember.
}

void TTDEDataSet::FieldDataChanged(int32_t fieldNo) {
  if (TField* field = Fields().FieldByNumber(fieldNo)) DataEvent(deFieldChange, field);
}

// ------------------------------------------------------------------ filter

TFilterField TTDEDataSet::FilterFieldByName(const std::string& name) {
  TField& field = FieldByName(name);
  TFilterField result;
  result.DataType = field.DataType();
  result.Index = field.Index();
  result.IsBlob = field.IsBlob();
  result.DataSize = field.DataSize();
  return result;
}

std::string TTDEDataSet::FilterFieldText(int32_t fieldIndex) { return Fields()[fieldIndex].AsString(); }

const char* TTDEDataSet::FilterRecordBuffer() {
  return reinterpret_cast<const char*>(GetCurrentRecordBuffer());
}

int32_t TTDEDataSet::FilterFieldOffset(int32_t fieldIndex) {
  const TField& field = Fields()[fieldIndex];
  if (field.FieldNo() > 0) return fFieldOffsets.at(static_cast<size_t>(field.FieldNo()));
  return fDataSize + field.Offset() + 1;
}

void TTDEDataSet::ParseFilter() {
  if (Filter().empty()) return;
  // The tree of the same text is kept from one find to the next, unless the
  // text asks for the date and time, which a parse fixes. Its field nodes
  // are bound again to the buffer of the scan that follows.
  if (fParsedValid && fParsedFilter == Filter()) {
    std::vector<TExprNode*> pending;
    if (fFilterParser.Nodes().Root) pending.push_back(fFilterParser.Nodes().Root);
    while (!pending.empty()) {
      TExprNode* node = pending.back();
      pending.pop_back();
      if (node->Kind == enField) node->Bound = false;
      if (node->Left) pending.push_back(node->Left);
      if (node->Right) pending.push_back(node->Right);
      for (TExprNode* arg : node->Args) pending.push_back(arg);
    }
    return;
  }
  fParsedValid = false;
  fFilterParser.Parse(Filter());
  std::string upper = Filter();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  fParsedFilter = Filter();
  fParsedValid = upper.find("GETDATE") == std::string::npos;
}

bool TTDEDataSet::RecordFilter() {
  bool accept = true;
  if (OnFilterRecord) OnFilterRecord(*this, accept);
  if (accept && !Filter().empty()) accept = fFilterParser.Calculate(FilterOptions());
  return accept;
}

void TTDEDataSet::SetFiltered(bool value) {
  if (!Active()) {
    TDataSet::SetFiltered(value);
    return;
  }
  CheckBrowseMode();
  if (value != Filtered()) {
    if (value) ApplyFilter();
    else RemoveFilter();
    TDataSet::SetFiltered(value);
  }
  First();
}

void TTDEDataSet::SetFilter(const std::string& text) {
  if (!Active()) {
    TDataSet::SetFilter(text);
    return;
  }
  CheckBrowseMode();
  fParsedValid = false;
  if (!text.empty()) fFilterParser.Parse(text);  // an error raises before anything changes
  const std::string previous = Filter();
  TDataSet::SetFilter(text);
  if (text != previous && Filtered()) {
    try {
      RemoveFilter();
      ApplyFilter();
    } catch (...) {
      TDataSet::SetFilter(previous);
      // The list must again show what the previous text selects, not every record.
      try {
        RemoveFilter();
        ApplyFilter();
      } catch (...) {
      }
      throw;
    }
  }
}

void TTDEDataSet::SetFilterOptions(TFilterOptions options) {
  if (!Active()) {
    TDataSet::SetFilterOptions(options);
    return;
  }
  CheckBrowseMode();
  const TFilterOptions previous = FilterOptions();
  TDataSet::SetFilterOptions(options);
  if (options != previous && Filtered()) {
    try {
      RemoveFilter();
      ApplyFilter();
    } catch (...) {
      TDataSet::SetFilterOptions(previous);
      try {
        RemoveFilter();
        ApplyFilter();
      } catch (...) {
      }
      throw;
    }
  }
}

// -------------------------------------------------------------------- finds

bool TTDEDataSet::FindRecord(bool restart, bool goForward) {
  CheckBrowseMode();
  DoBeforeScroll();
  SetFound(false);
  UpdateCursorPos();
  const int32_t count = RecordListCount();
  const int32_t oldPosition = fPosition;
  int32_t start;
  if (restart) start = goForward ? 0 : count - 1;
  else start = goForward ? fPosition + 1 : fPosition - 1;
  const int32_t step = goForward ? 1 : -1;

  bool found = false;
  ParseFilter();
  SetState(dsFilter);
  try {
    fFilterBuffer = ActiveBuffer();
    BeginScan(fFilterBuffer);
    for (int32_t i = start; i >= 0 && i < count;) {
      fPosition = i;
      ScanRecord(fFilterBuffer, i);
      const int32_t next = ScanSkip(i, goForward);
      if (next != i) {
        // Never back: the record at i is passed over in any case.
        i = goForward ? std::max(next, i + 1) : std::min(next, i - 1);
        continue;
      }
      if (RecordFilter()) {
        found = true;
        break;
      }
      i += step;
    }
  } catch (...) {
    EndScan();
    fFilterBuffer = nullptr;
    fPosition = oldPosition;
    SetState(dsBrowse);
    try {
      Resync(0);
    } catch (...) {
    }
    throw;
  }
  fFilterBuffer = nullptr;
  SetState(dsBrowse);
  if (!found) fPosition = oldPosition;
  SetFound(found);
  // The resynchronisation that shows the record found belongs to the find:
  // it still runs under the scan's lock.
  try {
    if (fPosition >= 0 && fPosition < count) Resync(rmExact | rmCenter);
    else Resync(0);
  } catch (...) {
    EndScan();
    throw;
  }
  EndScan();
  if (found) DoAfterScroll();
  return found;
}
