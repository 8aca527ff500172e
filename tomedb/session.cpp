#include "tomedb/session.h"

#include <algorithm>

#include "core/errors.h"
#include "tomedb/database.h"
#include "tomedb/dataset.h"

namespace {

TTomeWaitCursorHook& WaitCursorHook() {
  static TTomeWaitCursorHook hook;
  return hook;
}

// Set while the process-wide list frees its sessions at shut-down: they must
// not look the list up again.
bool gListShuttingDown = false;
// Set while Sessions() makes the default session.
bool gMakingDefault = false;

// The session on `owner` (other than `except`) that has AutoSessionName on.
TTomeSession* AutoSessionOnOwner(TComponent* owner, const TTomeSession* except) {
  if (!owner) return nullptr;
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    auto* session = dynamic_cast<TTomeSession*>(owner->Components(i));
    if (session && session != except && session->AutoSessionName()) return session;
  }
  return nullptr;
}

}  // namespace

TTomeWaitCursorHook SetWaitCursorHook(TTomeWaitCursorHook hook) {
  TTomeWaitCursorHook previous = std::move(WaitCursorHook());
  WaitCursorHook() = std::move(hook);
  return previous;
}

void ShowWaitCursor(bool busy) {
  if (WaitCursorHook()) WaitCursorHook()(busy);
}

TCriticalSection& SessionsLock() {
  static TCriticalSection lock;
  return lock;
}

TTomeSessionList& Sessions() {
  // The lock is made first so that it outlives the list.
  SessionsLock();
  static TTomeSessionList list;
  TLockGuard<TCriticalSection> guard(SessionsLock());
  if (!list.fDefault && !gListShuttingDown) {
    gMakingDefault = true;
    auto* session = new TTomeSession(nullptr);
    gMakingDefault = false;
    session->fSessionName = "Default";
    list.fSessions.push_back(session);
    list.fOwned.push_back(session);
    list.fDefault = session;
  }
  return list;
}

TTomeSession* Session() {
  TTomeSessionList& list = Sessions();
  TLockGuard<TCriticalSection> guard(SessionsLock());
  return list.fDefault;
}

// ------------------------------------------------------------ session list

TTomeSessionList::~TTomeSessionList() {
  gListShuttingDown = true;
  while (!fOwned.empty()) {
    TTomeSession* session = fOwned.back();
    fOwned.pop_back();
    if (session == fDefault) fDefault = nullptr;
    delete session;
  }
}

TTomeSession* TTomeSessionList::FindSession(std::string_view name) const {
  TLockGuard<TCriticalSection> guard(SessionsLock());
  if (name.empty()) return fDefault;
  for (TTomeSession* session : fSessions)
    if (SameNameIgnoringCase(session->SessionName(), name)) return session;
  return nullptr;
}

TTomeSession* TTomeSessionList::GetSession(std::string_view name) const {
  TTomeSession* session = FindSession(name);
  if (!session) DatabaseErrorFmt(ekNotFound, "Invalid session name %s", {name});
  return session;
}

void TTomeSessionList::AddSession(TTomeSession* session) {
  TLockGuard<TCriticalSection> guard(SessionsLock());
  if (std::find(fSessions.begin(), fSessions.end(), session) == fSessions.end()) fSessions.push_back(session);
}

void TTomeSessionList::RemoveSession(TTomeSession* session) {
  TLockGuard<TCriticalSection> guard(SessionsLock());
  fSessions.erase(std::remove(fSessions.begin(), fSessions.end(), session), fSessions.end());
}

int TTomeSessionList::Count() const {
  TLockGuard<TCriticalSection> guard(SessionsLock());
  return static_cast<int>(fSessions.size());
}

TTomeSession* TTomeSessionList::Sessions(int index) const {
  TLockGuard<TCriticalSection> guard(SessionsLock());
  return fSessions.at(static_cast<size_t>(index));
}

// ----------------------------------------------------------------- session

TTomeSession::TTomeSession(TComponent* owner) : TComponent(owner) {
  if (TTomeSession* autoSession = AutoSessionOnOwner(owner, this)) {
    // Leave the owner before the error so that nothing refers to this half-made session.
    const std::string name = autoSession->SessionName();
    if (owner) owner->RemoveComponent(this);
    DatabaseErrorFmt(ekInvalidState,
                     "Cannot add a session to the form or data-module while session '%s' has AutoSessionName enabled",
                     {name});
  }
  // The default session is made inside Sessions() itself, which adds it.
  if (!gMakingDefault && !gListShuttingDown) ::Sessions().AddSession(this);
}

TTomeSession::~TTomeSession() {
  try {
    SetActive(false);
  } catch (...) {
    // Closing files while being destroyed: nothing sensible to report.
  }
  if (fAutoNameNumber >= 0) ReleaseAutoNumber();
  // Databases that remain bound here go to the default session.
  TTomeSession* fallback = gListShuttingDown ? nullptr : ::Session();
  while (!fDatabases.empty()) {
    TTomeDatabase* database = fDatabases.back();
    fDatabases.pop_back();
    database->fSession = nullptr;
    if (database->Temporary() || database->Destroying()) continue;
    try {
      database->Close();
    } catch (...) {
    }
    database->fSessionName.clear();
    if (fallback && fallback != this) database->JoinSession(fallback);
  }
  if (!gListShuttingDown) ::Sessions().RemoveSession(this);
}

TTomeDatabase* TTomeSession::FindDatabase(std::string_view name) const {
  for (TTomeDatabase* database : fDatabases) {
    if (database->DatabaseName().empty() && !database->Temporary()) continue;
    if (SameNameIgnoringCase(database->DatabaseName(), name)) return database;
  }
  return nullptr;
}

TTomeDatabase* TTomeSession::OpenDatabase(const std::string& name, TComponent* /*owner*/, bool countUse,
                                          TTDBDataSet* dataSet) {
  LockSession();
  struct Unlock {
    TTomeSession* session;
    ~Unlock() { session->UnlockSession(); }
  } unlock{this};

  TTomeDatabase* database = FindDatabase(name);
  if (!database) {
    database = new TTomeDatabase(this);
    try {
      database->fTemporary = true;
      if (auto* engineDataSet = dynamic_cast<TTDEDataSet*>(dataSet))
        database->fMediumType = engineDataSet->MediumType();
      database->SetDatabaseName(name);
      database->SetKeepConnection(fKeepConnections);
      database->Open();
    } catch (...) {
      delete database;
      throw;
    }
  } else {
    database->Open();
  }
  if (countUse) ++database->fUseCount;
  return database;
}

void TTomeSession::CloseDatabase(TTomeDatabase* database) {
  if (!database) return;
  if (database->fUseCount > 0) --database->fUseCount;
  if (database->fClosingFile) return;
  if (database->fUseCount == 0 && !database->KeepConnection()) {
    if (database->Temporary()) {
      if (!database->Destroying()) delete database;
    } else {
      database->Close();
    }
  }
}

void TTomeSession::SetActive(bool value) {
  if (value == fActive) return;
  if (value) {
    TLockGuard<TCriticalSection> guard(SessionsLock());
    if (fActive) return;
    if (OnStartup) OnStartup(*this);
    if (fSessionName.empty()) DatabaseError(ekInvalidState, "Session name missing", Name());
    fActive = true;
    TTomeSession* defaultSession = gListShuttingDown ? nullptr : ::Session();
    if (defaultSession && defaultSession != this) defaultSession->SetActive(true);
    ApplyLockSettings();
  } else {
    // From the last to the first: temporary databases go, the others close.
    for (size_t i = fDatabases.size(); i-- > 0;) {
      if (i >= fDatabases.size()) continue;
      TTomeDatabase* database = fDatabases[i];
      if (database->Temporary()) {
        if (!database->Destroying()) delete database;  // leaves fDatabases
      } else {
        database->Close();
      }
    }
    fActive = false;
  }
}

void TTomeSession::SetSessionName(const std::string& name) {
  if (name == fSessionName) return;
  if (fAutoSessionName && !fNaming)
    DatabaseError(ekInvalidState, "Cannot modify SessionName while AutoSessionName is enabled", Name());
  if (fActive) DatabaseError(ekInvalidState, "Cannot perform this operation on an active session", Name());
  if (!name.empty()) {
    TTomeSession* other = ::Sessions().FindSession(name);
    if (other && other != this) DatabaseErrorFmt(ekInvalidValue, "Duplicate session name '%s'", {name}, Name());
  }
  fSessionName = name;
}

void TTomeSession::SetAutoSessionName(bool value) {
  if (value == fAutoSessionName) return;
  if (value) {
    if (fActive) DatabaseError(ekInvalidState, "Cannot perform this operation on an active session", Name());
    if (TComponent* owner = Owner()) {
      for (int i = 0; i < owner->ComponentCount(); ++i) {
        auto* session = dynamic_cast<TTomeSession*>(owner->Components(i));
        if (session && session != this)
          DatabaseError(ekInvalidState,
                        "Cannot enable AutoSessionName property with more than one session on a form or data-module",
                        Name());
      }
    }
    fAutoSessionName = true;
    try {
      MakeAutoName();
    } catch (...) {
      fAutoSessionName = false;
      throw;
    }
  } else {
    fAutoSessionName = false;
    ReleaseAutoNumber();
  }
}

void TTomeSession::SetName(const std::string& name) {
  TComponent::SetName(name);
  if (fAutoSessionName) MakeAutoName();
}

void TTomeSession::MakeAutoName() {
  TLockGuard<TCriticalSection> guard(SessionsLock());
  TTomeSessionList& list = ::Sessions();
  if (fAutoNameNumber < 0) {
    size_t n = 0;
    while (n < list.fAutoNumbers.size() && list.fAutoNumbers[n]) ++n;
    if (n == list.fAutoNumbers.size()) list.fAutoNumbers.push_back(false);
    list.fAutoNumbers[n] = true;
    fAutoNameNumber = static_cast<int32_t>(n);
  }
  fNaming = true;
  try {
    SetSessionName(Name() + "_" + std::to_string(fAutoNameNumber + 1));
  } catch (...) {
    fNaming = false;
    throw;
  }
  fNaming = false;
  ApplySessionNameToOwner();
}

void TTomeSession::ReleaseAutoNumber() {
  if (fAutoNameNumber < 0) return;
  TLockGuard<TCriticalSection> guard(SessionsLock());
  if (!gListShuttingDown) {
    TTomeSessionList& list = ::Sessions();
    if (static_cast<size_t>(fAutoNameNumber) < list.fAutoNumbers.size())
      list.fAutoNumbers[static_cast<size_t>(fAutoNameNumber)] = false;
  }
  fAutoNameNumber = -1;
}

void TTomeSession::ApplySessionNameToOwner() {
  TComponent* owner = Owner();
  if (!owner) return;
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    TComponent* component = owner->Components(i);
    if (auto* database = dynamic_cast<TTomeDatabase*>(component)) {
      if (!SameNameIgnoringCase(database->SessionName(), fSessionName)) database->SetSessionName(fSessionName);
    } else if (auto* dataSet = dynamic_cast<TTDBDataSet*>(component)) {
      if (!SameNameIgnoringCase(dataSet->SessionName(), fSessionName)) dataSet->SetSessionName(fSessionName);
    }
  }
}

void TTomeSession::SetLockRetryCount(int32_t value) {
  fLockRetryCount = value < 0 ? 0 : value;
  ApplyLockSettings();
}

void TTomeSession::SetLockWaitTime(int32_t value) {
  fLockWaitTime = value < 0 ? 0 : value;
  ApplyLockSettings();
}

void TTomeSession::ApplyLockSettings() {
  for (TTomeDatabase* database : fDatabases) {
    if (TTomeDBFileIO* io = database->FileIO()) {
      io->SetLockRetryCount(fLockRetryCount);
      io->SetLockWaitTime(fLockWaitTime);
    }
  }
}

void TTomeSession::LockSession() {
  if (fLockDepth == 0) {
    SessionsLock().Enter();
    try {
      if (!fActive) SetActive(true);
    } catch (...) {
      SessionsLock().Leave();
      throw;
    }
  }
  ++fLockDepth;
}

void TTomeSession::UnlockSession() {
  if (fLockDepth <= 0) return;
  if (--fLockDepth == 0) SessionsLock().Leave();
}

void TTomeSession::AddDatabase(TTomeDatabase* database) {
  if (std::find(fDatabases.begin(), fDatabases.end(), database) == fDatabases.end()) fDatabases.push_back(database);
}

void TTomeSession::RemoveDatabase(TTomeDatabase* database) {
  fDatabases.erase(std::remove(fDatabases.begin(), fDatabases.end(), database), fDatabases.end());
}
