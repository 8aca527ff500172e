#include "tomedb/database.h"

#include <algorithm>

#include "core/errors.h"
#include "tomedb/dataset.h"
#include "tomedb/session.h"

namespace {

TTomeLoginPromptHook& LoginPromptHook() {
  static TTomeLoginPromptHook hook;
  return hook;
}

TTomeTimerHook& FlushTimerHook() {
  static TTomeTimerHook hook;
  return hook;
}

// The session on `owner` whose AutoSessionName is on, or null.
TTomeSession* AutoSessionOf(TComponent* owner) {
  if (!owner) return nullptr;
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    auto* session = dynamic_cast<TTomeSession*>(owner->Components(i));
    if (session && session->AutoSessionName()) return session;
  }
  return nullptr;
}

}  // namespace

TTomeLoginPromptHook SetLoginPromptHook(TTomeLoginPromptHook hook) {
  TTomeLoginPromptHook previous = std::move(LoginPromptHook());
  LoginPromptHook() = std::move(hook);
  return previous;
}

TTomeTimerHook SetFlushTimerHook(TTomeTimerHook hook) {
  TTomeTimerHook previous = std::move(FlushTimerHook());
  FlushTimerHook() = std::move(hook);
  return previous;
}

TTomeDatabase::TTomeDatabase(TComponent* owner) : TComponent(owner) {
  auto* ownerSession = dynamic_cast<TTomeSession*>(owner);
  TTomeSession* session = ownerSession ? ownerSession : ::Session();
  fSessionName = session->SessionName();
  JoinSession(session);
  if (!ownerSession) {
    if (TTomeSession* autoSession = AutoSessionOf(owner)) SetSessionName(autoSession->SessionName());
  }
  if (FlushTimerHook()) fFlushTimer = FlushTimerHook()([this] { FlushTimerTick(); });
}

TTomeDatabase::~TTomeDatabase() {
  fBeingDestroyed = true;
  try {
    SetConnected(false);
  } catch (...) {
    // Nothing sensible to report while being destroyed.
  }
  fFlushTimer.reset();
  if (fSession) fSession->RemoveDatabase(this);
  fSession = nullptr;
}

// --------------------------------------------------------------- connection

bool TTomeDatabase::Connected() const { return fFileIO && fFileIO->IsOpen(); }

void TTomeDatabase::SetConnected(bool value) {
  if (value == Connected()) return;
  if (value) {
    if (BeforeConnect) BeforeConnect(*this);
    OpenFile();
    // Told in the order of attaching; a dataset may react to the new connection.
    for (size_t i = 0; i < fDataSets.size(); ++i) fDataSets[i]->DataBaseConnectionChanged(true);
    if (AfterConnect) AfterConnect(*this);
  } else {
    if (BeforeDisconnect) BeforeDisconnect(*this);
    for (size_t i = 0; i < fDataSets.size(); ++i) fDataSets[i]->DataBaseConnectionChanged(false);
    CloseFile();
    if (AfterDisconnect) AfterDisconnect(*this);
  }
}

void TTomeDatabase::OpenFile() {
  if (fDatabaseName.empty() && !fTemporary) DatabaseError(ekInvalidState, "Database name missing", Name());
  BindToSession(true);
  fSession->SetActive(true);
  if (!fFileIO) {
    fFileIO = std::make_unique<TTomeDBFileIO>(this, fMediumType, fExclusive);
    // The managers report the progress of every blob they code.
    auto forward = [this](TProgressEvent TTomeDatabase::*event) {
      return [this, event](TDataProcessAlgo*, int percent) {
        if (this->*event) (this->*event)(*this, percent);
      };
    };
    fFileIO->CompressMgr().OnEncodeProgress = forward(&TTomeDatabase::OnCompressProgress);
    fFileIO->CompressMgr().OnDecodeProgress = forward(&TTomeDatabase::OnUncompressProgress);
    fFileIO->EncryptMgr().OnEncodeProgress = forward(&TTomeDatabase::OnEncryptProgress);
    fFileIO->EncryptMgr().OnDecodeProgress = forward(&TTomeDatabase::OnDecryptProgress);
  }
  try {
    fFileIO->SetLockRetryCount(fSession->LockRetryCount());
    fFileIO->SetLockWaitTime(fSession->LockWaitTime());
    fFileIO->Open(fFileName.empty() ? fDatabaseName : fFileName, fMediumType, fReadOnly, fExclusive);
    fAccess = !fFileIO->Encrypted();
    if (!fAccess && fPasswordGiven) fAccess = fFileIO->SetPassword(fPassword);

    std::vector<std::string> names;
    fFileIO->GetTableNames(names);
    fTableDefs.BeginUpdate();
    fTableDefs.Clear();
    for (size_t i = 0; i < names.size(); ++i) fTableDefs.Add(names[i], static_cast<int32_t>(i));
    fTableDefs.EndUpdate();
    fTableIOs.clear();
    for (const std::string& name : names) {
      auto io = std::make_unique<TTomeTableIO>(fFileIO.get());
      io->SetTableName(name);
      fTableIOs.push_back(std::move(io));
    }
  } catch (...) {
    fTableIOs.clear();
    fTableDefs.Clear();
    fAccess = false;
    if (fFileIO) fFileIO->Close();
    fFileIO.reset();
    throw;
  }
}

void TTomeDatabase::CloseFile() {
  fClosingFile = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{fClosingFile};
  if (fFileIO) fFileIO->Close();
  // Datasets close from the last attached to the first; each detaches itself.
  while (!fDataSets.empty()) {
    TTDBDataSet* dataSet = fDataSets.back();
    dataSet->CloseDatabaseDataSet();
    // A dataset that failed to detach must not keep the loop going.
    if (!fDataSets.empty() && fDataSets.back() == dataSet) fDataSets.pop_back();
  }
  fFileIO.reset();
  fUseCount = 0;
  fAccess = false;
  fPassword.clear();
  fPasswordGiven = false;
  fTableIOs.clear();
  fTableDefs.Clear();
}

void TTomeDatabase::SetPassword(const std::string& password) {
  fPassword = password;
  fPasswordGiven = true;
  if (Connected()) fAccess = fFileIO->SetPassword(password);
}

void TTomeDatabase::CheckAccess() {
  if (fAccess) return;
  if (fPasswordGiven && Connected()) fAccess = fFileIO->SetPassword(fPassword);
  if (!fAccess && !fPasswordGiven && Connected() && LoginPromptHook()) {
    std::string typed;
    const std::string fileName = fFileName.empty() ? fDatabaseName : fFileName;
    if (!LoginPromptHook()(fileName, typed)) Abort();
    fAccess = fFileIO->SetPassword(typed);
    if (fAccess) {
      fPassword = typed;
      fPasswordGiven = true;
    }
  }
  if (!fAccess) DatabaseError(ekAccessDenied, "Access denied");
}

// ----------------------------------------------------------------- properties

void TTomeDatabase::CheckInactive() const {
  if (Connected()) DatabaseError(ekInvalidState, "Cannot perform this operation on an open database", Name());
}

void TTomeDatabase::SetDatabaseName(const std::string& name) {
  if (name == fDatabaseName) return;
  CheckInactive();
  const std::string previous = fDatabaseName;
  fDatabaseName = name;
  try {
    CheckDatabaseName();
  } catch (...) {
    fDatabaseName = previous;
    throw;
  }
}

void TTomeDatabase::CheckDatabaseName() {
  if (!fSession || fDatabaseName.empty()) return;
  for (;;) {
    TTomeDatabase* namesake = nullptr;
    for (int i = 0; i < fSession->DatabaseCount(); ++i) {
      TTomeDatabase* other = fSession->Databases(i);
      if (other != this && SameNameIgnoringCase(other->DatabaseName(), fDatabaseName)) {
        namesake = other;
        break;
      }
    }
    if (!namesake) return;
    if (!namesake->Temporary() || namesake->UseCount() > 0)
      DatabaseErrorFmt(ekInvalidValue, "Duplicate database name '%s'", {fDatabaseName});
    // An unused temporary database gives way to the component.
    delete namesake;
  }
}

void TTomeDatabase::SetFileName(const std::string& name) {
  if (name == fFileName) return;
  CheckInactive();
  fFileName = name;
}

void TTomeDatabase::SetMediumType(TTomeDBMediumType value) {
  if (value == fMediumType) return;
  CheckInactive();
  fMediumType = value;
  for (TTDBDataSet* dataSet : fDataSets)
    if (auto* engineDataSet = dynamic_cast<TTDEDataSet*>(dataSet)) engineDataSet->SetMediumTypeFromDatabase(value);
}

void TTomeDatabase::SetExclusive(bool value) {
  if (value == fExclusive) return;
  CheckInactive();
  fExclusive = value;
}

void TTomeDatabase::SetReadOnly(bool value) {
  if (value == fReadOnly) return;
  CheckInactive();
  fReadOnly = value;
}

void TTomeDatabase::SetSessionName(const std::string& name) {
  if (name == fSessionName) return;
  CheckInactive();
  fSessionName = name;
  BindToSession(false);
}

void TTomeDatabase::BindToSession(bool connecting) {
  TTomeSession* session =
      connecting ? ::Sessions().GetSession(fSessionName) : ::Sessions().FindSession(fSessionName);
  if (!session || session == fSession) return;
  JoinSession(session);
  try {
    CheckDatabaseName();
  } catch (...) {
    fDatabaseName.clear();
    throw;
  }
}

void TTomeDatabase::JoinSession(TTomeSession* session) {
  if (fSession) fSession->RemoveDatabase(this);
  fSession = session;
  if (fSession) fSession->AddDatabase(this);
}

void TTomeDatabase::SetKeepConnection(bool value) {
  if (value == fKeepConnection) return;
  fKeepConnection = value;
  if (!value && fUseCount == 0 && fDataSets.empty()) Close();
}

// ---------------------------------------------------------------- timed flush

void TTomeDatabase::SetAutoFlush(bool value) {
  fAutoFlush = value;
  UpdateTimer();
}

void TTomeDatabase::SetAutoFlushInterval(int32_t milliseconds) {
  fAutoFlushInterval = milliseconds;
  if (fTimerEnabled && fFlushTimer) fFlushTimer->SetInterval(fAutoFlushInterval);
}

void TTomeDatabase::UpdateTimer() {
  fTimerEnabled = fAutoFlush;
  if (!fFlushTimer) return;
  if (fAutoFlush) {
    fFlushTimer->SetInterval(fAutoFlushInterval);
    fFlushTimer->SetEnabled(true);
  } else {
    fFlushTimer->SetEnabled(false);
  }
}

void TTomeDatabase::FlushTimerTick() {
  if (!Connected()) return;
  if (!fFileIO->IsFlushed()) fFileIO->Flush();
}

// ------------------------------------------------------------- the open file

bool TTomeDatabase::IsEncrypted() const {
  if (!Connected()) DatabaseError(ekInvalidState, "Cannot perform this operation on a closed database", Name());
  return fFileIO->Encrypted();
}

bool TTomeDatabase::IsCompressed() const {
  if (!Connected()) DatabaseError(ekInvalidState, "Cannot perform this operation on a closed database", Name());
  return fFileIO->Compressed();
}

bool TTomeDatabase::IsWriteCheck() const {
  if (!Connected()) DatabaseError(ekInvalidState, "Cannot perform this operation on a closed database", Name());
  return fFileIO->WriteCheck();
}

void TTomeDatabase::CheckWritable() const {
  if (fReadOnly || (fFileIO && fFileIO->OpenedReadOnly()))
    DatabaseError(ekReadOnly, "Cannot modify a read-only database");
}

TTomeTableIO* TTomeDatabase::FindTableIO(std::string_view tableName) const {
  for (const auto& io : fTableIOs)
    if (SameNameIgnoringCase(io->TableName(), tableName)) return io.get();
  return nullptr;
}

// ------------------------------------------------------------------ datasets

TTDBDataSet* TTomeDatabase::DataSetAt(int index) const { return fDataSets.at(static_cast<size_t>(index)); }

int TTomeDatabase::DataSetCount() const { return static_cast<int>(fDataSets.size()); }

void TTomeDatabase::AttachDataSet(TTDBDataSet* dataSet) {
  if (std::find(fDataSets.begin(), fDataSets.end(), dataSet) == fDataSets.end()) fDataSets.push_back(dataSet);
}

void TTomeDatabase::DetachDataSet(TTDBDataSet* dataSet) {
  fDataSets.erase(std::remove(fDataSets.begin(), fDataSets.end(), dataSet), fDataSets.end());
}
