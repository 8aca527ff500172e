// Databases and sessions: sharing and use counts, temporary databases, the
// password steps and the login prompt, properties bound to a connection,
// session names and the timed flush.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "catalogue_fixture.h"
#include "tests/database_error_of.h"

using ::testing::HasSubstr;

namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

// Installs a login prompt for one test and counts its calls.
class PromptScope {
 public:
  PromptScope(bool accept, std::string typed) {
    previous_ = SetLoginPromptHook([this, accept, typed](const std::string& fileName, std::string& password) {
      ++calls;
      askedFor = fileName;
      password = typed;
      return accept;
    });
  }
  ~PromptScope() { SetLoginPromptHook(previous_); }
  int calls = 0;
  std::string askedFor;

 private:
  TTomeLoginPromptHook previous_;
};

TEST(DatabaseTest, TwoTablesShareTheDatabaseComponentAndItsUseCount) {
  TCatalogueFile file;
  TTomeDatabase database;
  database.SetName("Database1");
  database.SetDatabaseName(file.path());
  database.Open();
  TTomeTable first, second;
  first.SetDatabaseName(file.path());
  first.SetTableName("country");
  second.SetDatabaseName(Upper(file.path()));  // other letter case, same database
  second.SetTableName("lottery");

  first.Open();
  second.Open();
  EXPECT_EQ(first.Database(), &database);
  EXPECT_EQ(second.Database(), &database);
  EXPECT_EQ(database.UseCount(), 2);
  EXPECT_EQ(database.DataSetCount(), 2);

  first.Close();
  EXPECT_TRUE(database.Connected());
  EXPECT_EQ(database.UseCount(), 1);
  second.Close();
  EXPECT_FALSE(database.Connected()) << "KeepConnection is off";
  EXPECT_EQ(database.UseCount(), 0);
  EXPECT_EQ(Session()->FindDatabase(file.path()), &database) << "a component is never freed by its users";

  database.SetKeepConnection(true);
  first.Open();
  first.Close();
  EXPECT_TRUE(database.Connected());
  database.SetKeepConnection(false);
  EXPECT_FALSE(database.Connected()) << "switching KeepConnection off with no user disconnects";
}

TEST(DatabaseTest, ConnectionEventsAndDestructionWithOpenTables) {
  TCatalogueFile file;
  std::vector<std::string> events;
  TTomeTable table;
  table.AfterClose = [&](TDataSet&) { events.push_back("table closed"); };
  {
    TTomeDatabase database;
    database.SetDatabaseName(file.path());
    database.BeforeConnect = [&](TTomeDatabase& db) { events.push_back(db.Connected() ? "?" : "before connect"); };
    database.AfterConnect = [&](TTomeDatabase& db) { events.push_back(db.Connected() ? "after connect" : "?"); };
    database.BeforeDisconnect = [&](TTomeDatabase&) { events.push_back("before disconnect"); };
    database.AfterDisconnect = [&](TTomeDatabase&) { events.push_back("after disconnect"); };
    table.SetDatabaseName(file.path());
    table.SetTableName("country");
    table.Open();
    database.Close();
    table.Open();
    database.BeforeDisconnect = nullptr;
    database.AfterDisconnect = nullptr;
  }  // destroyed with the table open: the table closes without its close events
  EXPECT_FALSE(table.Active());
  EXPECT_EQ(table.Database(), nullptr);
  EXPECT_EQ(events, (std::vector<std::string>{"before connect", "after connect", "before disconnect", "table closed",
                                              "after disconnect", "before connect", "after connect"}));
}

TEST(DatabaseTest, TemporaryDatabaseLivesFromFirstOpenToLastClose) {
  TCatalogueFile file;
  TTomeTable table;
  table.SetDatabaseName(file.path());
  table.SetTableName("country");
  table.Open();
  TTomeDatabase* temporary = table.Database();
  ASSERT_NE(temporary, nullptr);
  EXPECT_TRUE(temporary->Temporary());
  EXPECT_EQ(Session()->FindDatabase(Upper(file.path())), temporary);
  table.Close();
  EXPECT_EQ(Session()->FindDatabase(file.path()), nullptr) << "freed at the last close";

  // With KeepConnections the temporary database stays until the session deactivates.
  TTomeSession session;
  session.SetSessionName("KeepSession");
  session.SetKeepConnections(true);
  TTomeTable kept;
  kept.SetSessionName("KeepSession");
  kept.SetDatabaseName(file.path());
  kept.SetTableName("country");
  kept.Open();
  kept.Close();
  TTomeDatabase* stays = session.FindDatabase(file.path());
  ASSERT_NE(stays, nullptr);
  EXPECT_TRUE(stays->Connected());
  session.SetActive(false);
  EXPECT_EQ(session.FindDatabase(file.path()), nullptr);
}

TEST(DatabaseTest, DisconnectClosesTablesAndForgetsThePassword) {
  TCatalogueFile file("", "Blowfish", "qivort");
  TTomeDatabase database;
  database.SetDatabaseName(file.path());
  database.Open();
  TTomeTable table;
  table.SetDatabaseName(file.path());
  table.SetPassword("qivort");
  table.SetTableName("country");
  table.Open();
  EXPECT_TRUE(database.IsEncrypted());

  database.Close();
  EXPECT_FALSE(table.Active());
  EXPECT_EQ(table.Database(), nullptr);
  EXPECT_FALSE(database.HasPassword());
  EXPECT_EQ(database.UseCount(), 0);

  EXPECT_EQ(ErrorOf([&] { table.Open(); }), "Access denied") << "no password, no prompt installed";
  EXPECT_FALSE(table.Active());
  table.SetPassword("qivort");
  table.Open();
  EXPECT_TRUE(table.Active());
}

TEST(DatabaseTest, WrongPasswordIsDeniedWithoutAskingTheUser) {
  TCatalogueFile file("", "Twofish", "qivort");
  PromptScope prompt(true, "qivort");
  TTomeTable table;
  table.SetDatabaseName(file.path());
  table.SetPassword("qivorT");
  table.SetTableName("country");
  EXPECT_EQ(ErrorOf([&] { table.Open(); }), "Access denied");
  EXPECT_EQ(prompt.calls, 0);
  EXPECT_EQ(Session()->FindDatabase(file.path()), nullptr) << "the failed open released its temporary database";
}

TEST(DatabaseTest, CancelledPromptAbortsTheOpenSilently) {
  TCatalogueFile file("", "Gost", "qivort");
  TTomeTable table;
  table.SetDatabaseName(file.path());
  table.SetTableName("country");
  {
    PromptScope prompt(false, "");
    EXPECT_THROW(table.Open(), EAbort);
    EXPECT_EQ(prompt.calls, 1);
    EXPECT_EQ(prompt.askedFor, file.path());
    EXPECT_FALSE(table.Active());
  }
  {
    PromptScope prompt(true, "wrong");
    EXPECT_EQ(ErrorOf([&] { table.Open(); }), "Access denied");
  }
  {
    PromptScope prompt(true, "qivort");
    table.Open();
    EXPECT_TRUE(table.Active());
    EXPECT_EQ(prompt.calls, 1);
  }
}

TEST(DatabaseTest, AnyPasswordOrNoneOpensAnUnencryptedFile) {
  TCatalogueFile file;
  for (const char* password : {"", "anything", "qivort"}) {
    TTomeTable table;
    table.SetDatabaseName(file.path());
    if (*password) table.SetPassword(password);
    table.SetTableName("country");
    table.Open();
    EXPECT_TRUE(table.Active()) << password;
  }
}

TEST(DatabaseTest, ConnectionBoundPropertiesAndStatusQuestions) {
  TCatalogueFile file;
  TTomeDatabase database;
  database.SetName("Db1");
  EXPECT_EQ(ErrorOf([&] { database.Open(); }), "Db1: Database name missing");
  EXPECT_EQ(ErrorOf([&] { database.IsEncrypted(); }), "Db1: Cannot perform this operation on a closed database");
  EXPECT_EQ(ErrorOf([&] { database.IsCompressed(); }), "Db1: Cannot perform this operation on a closed database");

  database.SetDatabaseName(file.path() + ".missing");
  EXPECT_THAT(ErrorOf([&] { database.Open(); }), HasSubstr("Cannot open file"));
  EXPECT_FALSE(database.Connected());
  EXPECT_EQ(database.FileIO(), nullptr) << "a failed connect keeps no file object";

  database.SetDatabaseName(file.path());
  database.Open();
  EXPECT_EQ(database.TableDefs().Count(), 4);
  EXPECT_EQ(database.TableDefs().Items(1)->Name(), "lottery");
  EXPECT_EQ(database.TableDefs().Items(1)->TableIndex(), 1);
  const std::string open = "Db1: Cannot perform this operation on an open database";
  EXPECT_EQ(ErrorOf([&] { database.SetDatabaseName("other"); }), open);
  EXPECT_EQ(ErrorOf([&] { database.SetFileName("other"); }), open);
  EXPECT_EQ(ErrorOf([&] { database.SetReadOnly(true); }), open);
  EXPECT_EQ(ErrorOf([&] { database.SetExclusive(true); }), open);
  EXPECT_EQ(ErrorOf([&] { database.SetMediumType(mtMemory); }), open);
  EXPECT_EQ(ErrorOf([&] { database.SetSessionName("other"); }), open);
  EXPECT_EQ(database.DatabaseName(), file.path());
  database.CheckWritable();

  database.Close();
  database.SetReadOnly(true);
  database.Open();
  EXPECT_EQ(ErrorOf([&] { database.CheckWritable(); }), "Cannot modify a read-only database");
}

TEST(DatabaseTest, FileNameWinsOverDatabaseName) {
  TCatalogueFile file;
  TTomeDatabase database;
  database.SetDatabaseName("catalogue");
  database.SetFileName(file.path());
  database.Open();
  EXPECT_TRUE(database.Connected());
  TTomeTable table;
  table.SetDatabaseName("CATALOGUE");
  table.SetTableName("lottery");
  table.Open();
  EXPECT_EQ(table.Database(), &database);
}

TEST(DatabaseTest, DuplicateNamesWithinASession) {
  TCatalogueFile file;
  TTomeDatabase first;
  first.SetDatabaseName("shared");
  TTomeDatabase second;
  EXPECT_EQ(ErrorOf([&] { second.SetDatabaseName("SHARED"); }), "Duplicate database name 'SHARED'");
  EXPECT_EQ(second.DatabaseName(), "");

  // An unused temporary namesake gives way to the component.
  TTomeTable table;
  table.SetDatabaseName(file.path());
  table.SetTableName("country");
  Session()->SetKeepConnections(true);
  table.Open();
  table.Close();
  Session()->SetKeepConnections(false);
  ASSERT_NE(Session()->FindDatabase(file.path()), nullptr);
  EXPECT_TRUE(Session()->FindDatabase(file.path())->Temporary());
  second.SetDatabaseName(file.path());
  EXPECT_EQ(Session()->FindDatabase(file.path()), &second);

  // Another component does not.
  TTomeDatabase third;
  third.SetFileName(file.path());
  third.SetDatabaseName("third");
  third.Open();
  EXPECT_EQ(ErrorOf([&] { first.SetDatabaseName("third"); }), "Duplicate database name 'third'");
}

TEST(DatabaseTest, TimedFlushRunsThroughTheTimerHook) {
  struct FakeTimer : TTomeTimer {
    int32_t* interval;
    bool* enabled;
    void SetInterval(int32_t ms) override { *interval = ms; }
    void SetEnabled(bool on) override { *enabled = on; }
  };
  int32_t interval = 0;
  bool enabled = false;
  std::function<void()> tick;
  TTomeTimerHook previous = SetFlushTimerHook([&](std::function<void()> onTick) {
    tick = std::move(onTick);
    auto timer = std::make_unique<FakeTimer>();
    timer->interval = &interval;
    timer->enabled = &enabled;
    return timer;
  });
  TCatalogueFile file;
  {
    TTomeDatabase database;
    database.SetDatabaseName(file.path());
    EXPECT_FALSE(enabled) << "created disabled";
    EXPECT_EQ(database.AutoFlushInterval(), 60000);
    database.SetAutoFlush(true);
    EXPECT_TRUE(enabled);
    EXPECT_EQ(interval, 60000);
    database.SetAutoFlushInterval(250);
    EXPECT_EQ(interval, 250) << "a new interval takes effect at once";

    database.Open();
    TTomeTable table;
    table.SetDatabaseName(file.path());
    table.SetTableName("country");
    table.Open();
    table.AppendRecord({Variant("Ireland")});
    EXPECT_FALSE(database.FileIO()->IsFlushed()) << "a post does not flush";
    ASSERT_TRUE(tick);
    tick();
    EXPECT_TRUE(database.FileIO()->IsFlushed());
    database.SetAutoFlush(false);
    EXPECT_FALSE(enabled);
  }
  SetFlushTimerHook(previous);
}

TEST(DatabaseTest, ProgressOfBlobCodingReachesTheDatabaseEvents) {
  TCatalogueFile file("compression on", "Twofish", "qivort");
  TTomeDatabase database;
  database.SetDatabaseName(file.path());
  std::vector<int> compress, uncompress, encrypt, decrypt;
  database.OnCompressProgress = [&](TTomeDatabase&, int percent) { compress.push_back(percent); };
  database.OnUncompressProgress = [&](TTomeDatabase&, int percent) { uncompress.push_back(percent); };
  database.OnEncryptProgress = [&](TTomeDatabase&, int percent) { encrypt.push_back(percent); };
  database.OnDecryptProgress = [&](TTomeDatabase&, int percent) { decrypt.push_back(percent); };
  database.Open();
  TTomeTable table;
  table.SetDatabaseName(file.path());
  table.SetPassword("qivort");
  table.SetTableName("moments");
  table.Open();
  table.Append();
  table.FieldByName("note").SetAsString(std::string(5000, 'n'));
  table.Post();
  ASSERT_FALSE(compress.empty());
  EXPECT_EQ(compress.back(), 100);
  EXPECT_THAT(encrypt, ::testing::Contains(100));
  table.Close();  // the last user: the database disconnects and forgets the password
  table.SetPassword("qivort");
  table.Open();
  table.First();
  EXPECT_EQ(table.FieldByName("note").AsString().size(), 5000u);
  ASSERT_FALSE(uncompress.empty());
  EXPECT_EQ(uncompress.back(), 100);
  EXPECT_THAT(decrypt, ::testing::Contains(100));
}

TEST(SessionTest, DefaultSessionAndLookupByName) {
  ASSERT_NE(Session(), nullptr);
  EXPECT_EQ(Session()->SessionName(), "Default");
  EXPECT_EQ(Sessions().FindSession(""), Session());
  EXPECT_EQ(Sessions().FindSession("dEfAuLt"), Session());
  EXPECT_EQ(Sessions().FindSession("nobody"), nullptr);
  EXPECT_EQ(ErrorOf([] { Sessions().GetSession("nobody"); }), "Invalid session name nobody");

  TTomeSession session;
  session.SetName("Session9");
  EXPECT_EQ(ErrorOf([&] { session.Open(); }), "Session9: Session name missing");
  EXPECT_EQ(ErrorOf([&] { session.SetSessionName("DEFAULT"); }), "Session9: Duplicate session name 'DEFAULT'");
  session.SetSessionName("Reports");
  EXPECT_EQ(Sessions().FindSession("reports"), &session);
  session.Open();
  EXPECT_TRUE(Session()->Active()) << "activating a session activates the default one";
  EXPECT_EQ(ErrorOf([&] { session.SetSessionName("Other"); }),
            "Session9: Cannot perform this operation on an active session");

  TTomeTable table;
  table.SetSessionName("nobody");
  table.SetDatabaseName("x");
  EXPECT_EQ(ErrorOf([&] { table.Open(); }), "Invalid session name nobody");
}

TEST(SessionTest, NegativeLockSettingsReadZero) {
  TTomeSession session;
  EXPECT_EQ(session.LockRetryCount(), 20);
  EXPECT_EQ(session.LockWaitTime(), 100);
  session.SetLockRetryCount(-5);
  session.SetLockWaitTime(-1);
  EXPECT_EQ(session.LockRetryCount(), 0);
  EXPECT_EQ(session.LockWaitTime(), 0);
}

TEST(SessionTest, SessionSettingsReachTheOpenFile) {
  TCatalogueFile file;
  Session()->SetLockRetryCount(7);
  TTomeTable table;
  table.SetDatabaseName(file.path());
  table.SetTableName("country");
  table.Open();
  EXPECT_EQ(table.Database()->FileIO()->LockRetryCount(), 7);
  Session()->SetLockWaitTime(33);
  EXPECT_EQ(table.Database()->FileIO()->LockWaitTime(), 33);
  table.Close();
  Session()->SetLockRetryCount(20);
  Session()->SetLockWaitTime(100);
}

TEST(SessionTest, AutoSessionNameNamesAfterTheComponent) {
  TComponent form;
  auto* session = new TTomeSession(&form);
  session->SetName("Session1");
  auto* database = new TTomeDatabase(&form);
  session->SetAutoSessionName(true);
  EXPECT_EQ(session->SessionName(), "Session1_1");
  EXPECT_EQ(database->SessionName(), "Session1_1") << "components on the owner take the name";
  EXPECT_EQ(database->Session(), session);
  auto* table = new TTomeTable(&form);
  EXPECT_EQ(table->SessionName(), "Session1_1") << "a dataset added later takes it too";

  EXPECT_EQ(ErrorOf([&] { session->SetSessionName("Mine"); }),
            "Session1: Cannot modify SessionName while AutoSessionName is enabled");
  EXPECT_EQ(ErrorOf([&] { new TTomeSession(&form); }),
            "Cannot add a session to the form or data-module while session 'Session1_1' has AutoSessionName enabled");

  // A second form's session takes the next free number; freeing gives it back.
  {
    TComponent other;
    auto* second = new TTomeSession(&other);
    second->SetName("Session1");
    second->SetAutoSessionName(true);
    EXPECT_EQ(second->SessionName(), "Session1_2");
    session->SetName("Main");
    EXPECT_EQ(session->SessionName(), "Main_1") << "renaming re-makes the auto name";
  }
  TComponent third;
  auto* again = new TTomeSession(&third);
  again->SetName("S");
  again->SetAutoSessionName(true);
  EXPECT_EQ(again->SessionName(), "S_2");
}

TEST(SessionTest, AutoSessionNameNeedsASessionAloneOnItsOwner) {
  TComponent form;
  auto* first = new TTomeSession(&form);
  first->SetName("A");
  auto* second = new TTomeSession(&form);
  second->SetName("B");
  EXPECT_EQ(ErrorOf([&] { first->SetAutoSessionName(true); }),
            "A: Cannot enable AutoSessionName property with more than one session on a form or data-module");
  EXPECT_FALSE(first->AutoSessionName());
}

TEST(SessionTest, DestroyedSessionHandsItsDatabasesToTheDefault) {
  TCatalogueFile file;
  TTomeDatabase database;
  {
    TTomeSession session;
    session.SetSessionName("Short");
    database.SetSessionName("short");
    EXPECT_EQ(database.Session(), &session);
    database.SetDatabaseName(file.path());
    database.Open();
  }
  EXPECT_FALSE(database.Connected());
  EXPECT_EQ(database.SessionName(), "");
  EXPECT_EQ(database.Session(), Session());
  database.Open();
  EXPECT_TRUE(database.Connected());
}

}  // namespace
