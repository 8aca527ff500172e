#pragma once
// TTomeDatabase: one database file as the program and its table datasets see
// it. It opens and closes the file (through TTomeDBFileIO), decides whether
// the caller may read it (the password, or the login prompt), keeps the
// file's table definitions and one TTomeTableIO per table, counts the dataset
// opens that hold it, and flushes the file on a timer when AutoFlush is on.
//
// A database belongs to a session (session.h), found by SessionName; within
// a session databases are found by DatabaseName, ignoring letter case. A
// database made by a session for a dataset (a temporary database) is owned by
// the session and freed when its last user lets it go.
//
// The engine never shows a window itself. Where it needs the user it calls a
// hook that the application installs:
//  - the login prompt (SetLoginPromptHook): asked for a password when a
//    dataset opens an encrypted file and no password was given. Without a
//    hook the open fails with "Access denied"; a prompt the user cancels
//    stops the open with the silent EAbort.
//  - the flush timer (SetFlushTimerHook): a repeating timer on the
//    user-interface thread that calls FlushTimerTick(). Without a hook the
//    timer settings are kept but nothing ticks; a host may call
//    FlushTimerTick() itself.
//
// Ownership: the database owns its TTomeDBFileIO and table I/O objects while
// connected. Pointers returned by FileIO(), TableIOs() and TableDefs() stay
// valid until the next disconnect. Attached datasets are not owned.
//
// Threading: a database and its datasets are used from one thread at a time;
// session lookups run under the process-wide lock (session.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/component.h"
#include "tomedb/defs.h"
#include "tomedb/fileio.h"
#include "tomedb/tableio.h"

class TTDBDataSet;
class TTomeSession;

// Asks the user for the password of the database file `fileName`. Returns
// false when the user cancelled; otherwise `password` holds the typed text.
using TTomeLoginPromptHook = std::function<bool(const std::string& fileName, std::string& password)>;
// Installs the login prompt for every database of the process (an empty
// function removes it). Returns the previous hook.
TTomeLoginPromptHook SetLoginPromptHook(TTomeLoginPromptHook hook);

// A repeating timer the application provides for a database's timed flush.
// It calls the tick function given at creation every Interval milliseconds
// while enabled, on the user-interface thread.
class TTomeTimer {
 public:
  virtual ~TTomeTimer() = default;
  virtual void SetInterval(int32_t milliseconds) = 0;
  virtual void SetEnabled(bool enabled) = 0;
};
using TTomeTimerHook = std::function<std::unique_ptr<TTomeTimer>(std::function<void()> tick)>;
// Installs the timer factory used by databases created afterwards. Returns
// the previous hook.
TTomeTimerHook SetFlushTimerHook(TTomeTimerHook hook);

class TTomeDatabase : public TComponent {
 public:
  using TNotifyEvent = std::function<void(TTomeDatabase& sender)>;
  using TProgressEvent = std::function<void(TTomeDatabase& sender, int percent)>;

  // The session is `owner` when that is a TTomeSession, else the default
  // session (or the auto-named session of the owner, session.h).
  explicit TTomeDatabase(TComponent* owner = nullptr);
  // Leaves the session and disconnects.
  ~TTomeDatabase() override;

  // ---- Connection ----
  void Open() { SetConnected(true); }
  void Close() { SetConnected(false); }
  // True while the file I/O object exists and reports the file open.
  bool Connected() const;
  // Connecting: BeforeConnect, OpenFile, the attached datasets are told,
  // AfterConnect. Disconnecting: BeforeDisconnect, the datasets are told,
  // CloseFile (which closes every attached dataset and forgets the
  // password), AfterDisconnect. A failed connect leaves the database
  // disconnected without a file I/O object.
  void SetConnected(bool value);

  // Remembers the password; while connected, access becomes the result of
  // the password check (always granted for an unencrypted file; for an
  // encrypted one the password then keys the cipher).
  void SetPassword(const std::string& password);
  bool HasPassword() const { return fPasswordGiven; }
  // Reading the file is allowed (valid while connected).
  bool AccessGranted() const { return fAccess; }

  // ---- Properties that bind the database to a file; each may change only
  // while disconnected ("Cannot perform this operation on an open
  // database"). The file opened is FileName when it is set, else
  // DatabaseName.
  const std::string& DatabaseName() const { return fDatabaseName; }
  // Also checks the name within the session ("Duplicate database name
  // '%s'"; an unused temporary namesake is freed instead).
  void SetDatabaseName(const std::string& name);
  const std::string& FileName() const { return fFileName; }
  void SetFileName(const std::string& name);
  TTomeDBMediumType MediumType() const { return fMediumType; }
  // Also passed on to every attached dataset.
  void SetMediumType(TTomeDBMediumType value);
  bool Exclusive() const { return fExclusive; }
  void SetExclusive(bool value);
  bool ReadOnly() const { return fReadOnly; }
  void SetReadOnly(bool value);
  const std::string& SessionName() const { return fSessionName; }
  // Binds to the session of that name (an unknown name leaves the binding;
  // connecting then fails with "Invalid session name %s").
  void SetSessionName(const std::string& name);

  // When switched off while no dataset holds the database, it disconnects.
  bool KeepConnection() const { return fKeepConnection; }
  void SetKeepConnection(bool value);

  // ---- Timed flush ----
  bool AutoFlush() const { return fAutoFlush; }
  void SetAutoFlush(bool value);
  int32_t AutoFlushInterval() const { return fAutoFlushInterval; }
  void SetAutoFlushInterval(int32_t milliseconds);
  // The timer's work: flushes the file unless it is already flushed or the
  // database is disconnected.
  void FlushTimerTick();
  // True while the flush timer is enabled (AutoFlush on).
  bool FlushTimerEnabled() const { return fTimerEnabled; }

  // ---- The open file (REQUIRES: connected, else "Cannot perform this
  // operation on a closed database") ----
  bool IsEncrypted() const;
  bool IsCompressed() const;
  bool IsWriteCheck() const;
  // "Cannot modify a read-only database" when ReadOnly is on or the file was
  // opened read-only.
  virtual void CheckWritable() const;
  // The file I/O object; null while disconnected.
  TTomeDBFileIO* FileIO() const { return fFileIO.get(); }
  // One item per table of the file, in file order (empty while disconnected).
  TTomeTableDefs& TableDefs() { return fTableDefs; }
  // The table I/O object of that table (letter case ignored), or null.
  TTomeTableIO* FindTableIO(std::string_view tableName) const;
  int TableIOCount() const { return static_cast<int>(fTableIOs.size()); }
  TTomeTableIO* TableIOs(int index) const { return fTableIOs.at(static_cast<size_t>(index)).get(); }

  // ---- Datasets and use ----
  // Runs the password steps when access is not yet granted: the given
  // password, else the login prompt (cancel: EAbort), else "Access denied".
  virtual void CheckAccess();
  virtual TTDBDataSet* DataSetAt(int index) const;
  virtual int DataSetCount() const;
  virtual void AttachDataSet(TTDBDataSet* dataSet);
  virtual void DetachDataSet(TTDBDataSet* dataSet);
  int32_t UseCount() const { return fUseCount; }
  // True while the destructor runs: datasets then close without their
  // close events, whose handlers may already be gone.
  bool BeingDestroyed() const { return fBeingDestroyed; }
  bool Temporary() const { return fTemporary; }
  TTomeSession* Session() const { return fSession; }

  // ---- Events ----
  TNotifyEvent BeforeConnect, BeforeDisconnect, AfterConnect, AfterDisconnect;
  TProgressEvent OnCompressProgress, OnUncompressProgress, OnEncryptProgress, OnDecryptProgress;
  // Declared for completeness; no operation of the engine raises it.
  TProgressEvent OnOperationProgress;

 protected:
  virtual void OpenFile();
  virtual void CloseFile();

 private:
  friend class TTomeSession;

  void CheckInactive() const;
  // Binds to the session named SessionName; `connecting` makes an unknown
  // name an error.
  void BindToSession(bool connecting);
  void JoinSession(TTomeSession* session);
  // Checks DatabaseName against the other databases of the session.
  void CheckDatabaseName();
  void UpdateTimer();

  std::unique_ptr<TTomeDBFileIO> fFileIO;
  std::vector<TTDBDataSet*> fDataSets;
  bool fKeepConnection = false;
  // Set while CloseFile closes the attached datasets: their release must not
  // free or close the database a second time.
  bool fClosingFile = false;
  bool fBeingDestroyed = false;
  bool fTemporary = false;
  bool fExclusive = false;
  bool fReadOnly = false;
  int32_t fUseCount = 0;
  TTomeSession* fSession = nullptr;
  std::string fSessionName;
  std::string fDatabaseName;
  std::string fFileName;
  TTomeDBMediumType fMediumType = mtDisk;
  bool fAccess = false;
  std::string fPassword;
  bool fPasswordGiven = false;
  TTomeTableDefs fTableDefs;
  std::vector<std::unique_ptr<TTomeTableIO>> fTableIOs;
  bool fAutoFlush = false;
  int32_t fAutoFlushInterval = 60000;
  bool fTimerEnabled = false;
  std::unique_ptr<TTomeTimer> fFlushTimer;
};
