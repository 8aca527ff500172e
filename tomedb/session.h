#pragma once
// Sessions: TTomeSession groups databases by name so that a dataset finds its
// database from a DatabaseName alone (making a temporary database when no
// component has that name) and counts how many datasets use each database.
// TTomeSessionList is the one process-wide list of sessions; it always holds
// the default session, named "Default", which lives from the first use of the
// engine until the process ends.
//
// Ownership: the session list owns the sessions it created (the default
// session); a session owns the temporary databases it makes. Sessions made
// by the program belong to their owner component and leave the list when
// destroyed.
//
// Threading: one process-wide lock (SessionsLock) guards the session list,
// session activation, the auto-name numbers and the session lock around
// OpenDatabase. Everything else runs on the thread that uses the components.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/component.h"
#include "core/sync.h"
#include "tomedb/fileio.h"

class TTomeDatabase;
class TTDBDataSet;
class TTomeSession;
class TTomeSessionList;
TTomeSessionList& Sessions();
TTomeSession* Session();
// The lock that guards the session list, session activation, the session
// lock and the auto-name numbers (recursive).
TCriticalSection& SessionsLock();

// Shows or hides the wait cursor while a filtered record list is built
// (sessions with SQLHourGlass on). Installed by the application; without it
// nothing is shown. Returns the previous hook.
using TTomeWaitCursorHook = std::function<void(bool busy)>;
TTomeWaitCursorHook SetWaitCursorHook(TTomeWaitCursorHook hook);
// Calls the installed hook, if any.
void ShowWaitCursor(bool busy);

class TTomeSession : public TComponent {
 public:
  using TNotifyEvent = std::function<void(TTomeSession& sender)>;

  // Joins the session list. On an owner that holds a session with
  // AutoSessionName on: "Cannot add a session to the form or data-module
  // while session '%s' has AutoSessionName enabled".
  explicit TTomeSession(TComponent* owner = nullptr);
  // Deactivates, releases its databases to the default session, leaves the
  // session list.
  ~TTomeSession() override;

  // ---- Databases ----
  // The database whose DatabaseName equals `name` (letter case ignored), or
  // null. Databases without a name that are not temporary are skipped.
  TTomeDatabase* FindDatabase(std::string_view name) const;
  // Under the session lock: the database of that name, or a new temporary
  // one owned by the session (medium type from `dataSet`, KeepConnection
  // from KeepConnections); connected if it is not; with `countUse` its use
  // count goes up. A new database that fails to connect is freed.
  TTomeDatabase* OpenDatabase(const std::string& name, TComponent* owner, bool countUse, TTDBDataSet* dataSet);
  // Gives up one use; at 0 a database that does not keep its connection is
  // freed when temporary, otherwise closed.
  void CloseDatabase(TTomeDatabase* database);
  int DatabaseCount() const { return static_cast<int>(fDatabases.size()); }
  TTomeDatabase* Databases(int index) const { return fDatabases.at(static_cast<size_t>(index)); }

  // ---- Activation ----
  bool Active() const { return fActive; }
  // On: OnStartup, "Session name missing" without a name, the default
  // session is activated too. Off: temporary databases are freed and the
  // others closed, from the last to the first.
  void SetActive(bool value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }

  // ---- Names ----
  const std::string& SessionName() const { return fSessionName; }
  // Refused while AutoSessionName is on, while active, and when another
  // session has the name.
  void SetSessionName(const std::string& name);
  bool AutoSessionName() const { return fAutoSessionName; }
  // On: names the session "<component name>_<n + 1>" with the lowest free
  // auto-name number n, and gives that name to every dataset and database on
  // the same owner. Requires an inactive session alone on its owner.
  void SetAutoSessionName(bool value);
  // Renaming the component re-makes the auto name.
  void SetName(const std::string& name) override;

  // ---- Settings ----
  bool KeepConnections() const { return fKeepConnections; }
  void SetKeepConnections(bool value) { fKeepConnections = value; }
  bool SQLHourGlass() const { return fSQLHourGlass; }
  void SetSQLHourGlass(bool value) { fSQLHourGlass = value; }
  // Lock retries and wait (milliseconds) for the file's lock byte; a
  // negative value is stored as 0. Passed on to the open files.
  int32_t LockRetryCount() const { return fLockRetryCount; }
  void SetLockRetryCount(int32_t value);
  int32_t LockWaitTime() const { return fLockWaitTime; }
  void SetLockWaitTime(int32_t value);

  // The session lock: the outermost entry takes the process-wide lock and
  // activates the session; nested entries only count. The lock is held from
  // the outermost LockSession to its UnlockSession, across calls, which the
  // thread-safety analysis cannot follow.
  void LockSession() NO_THREAD_SAFETY_ANALYSIS;
  void UnlockSession() NO_THREAD_SAFETY_ANALYSIS;

  TNotifyEvent OnStartup;

 private:
  friend class TTomeDatabase;
  friend TTomeSessionList& Sessions();

  void AddDatabase(TTomeDatabase* database);
  void RemoveDatabase(TTomeDatabase* database);
  void MakeAutoName();
  void ReleaseAutoNumber();
  void ApplySessionNameToOwner();
  void ApplyLockSettings();

  bool fActive = false;
  std::vector<TTomeDatabase*> fDatabases;
  bool fKeepConnections = false;
  std::string fSessionName;
  int32_t fAutoNameNumber = -1;
  bool fAutoSessionName = false;
  bool fSQLHourGlass = true;
  int32_t fLockDepth = 0;
  bool fNaming = false;
  int32_t fLockRetryCount = 20;
  int32_t fLockWaitTime = 100;
};

class TTomeSessionList {
 public:
  TTomeSessionList() = default;
  // Frees the sessions it owns, from the last to the first.
  ~TTomeSessionList();
  TTomeSessionList(const TTomeSessionList&) = delete;
  TTomeSessionList& operator=(const TTomeSessionList&) = delete;

  // An empty name gives the default session; otherwise the session of that
  // name (letter case ignored), or null.
  TTomeSession* FindSession(std::string_view name) const;
  // As FindSession, but "Invalid session name %s" when there is none.
  TTomeSession* GetSession(std::string_view name) const;
  void AddSession(TTomeSession* session);
  void RemoveSession(TTomeSession* session);
  int Count() const;
  TTomeSession* Sessions(int index) const;

 private:
  friend class TTomeSession;
  friend TTomeSessionList& Sessions();
  friend TTomeSession* Session();

  // State below is protected by SessionsLock().
  std::vector<TTomeSession*> fSessions GUARDED_BY(SessionsLock());
  std::vector<TTomeSession*> fOwned GUARDED_BY(SessionsLock());
  std::vector<bool> fAutoNumbers GUARDED_BY(SessionsLock());  // auto-name numbers in use
  TTomeSession* fDefault GUARDED_BY(SessionsLock()) = nullptr;
};

// The process-wide session list, created with the default session on first use.
TTomeSessionList& Sessions();
// The default session ("Default").
TTomeSession* Session();
