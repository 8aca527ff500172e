// An installed program's catalogue cannot be written: the first new lottery
// makes the user's own copy, which every later start reads, and which a newer
// shipped catalogue renews without losing the user's lotteries.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "Unit1.h"
#include "catalogue/newlottounit.h"
#include "catalogue/usercatalogue.h"
#include "recordingdesktop.h"
#include "testcatalogue.h"

namespace {

void makeReadOnly(const QString& path) {
  ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
}

// The lotteries of a catalogue file as "country|name".
QStringList lotteriesIn(const QString& path) {
  TTomeTable lottery;
  lottery.SetDatabaseName(path.toStdString());
  lottery.SetPassword(kCataloguePassword);
  lottery.SetTableName("lottery");
  lottery.Open();
  QStringList rows;
  for (lottery.First(); !lottery.Eof(); lottery.Next())
    rows << QString::fromStdString(lottery.FieldByName("country").AsString() + "|" +
                                   lottery.FieldByName("lotteryname").AsString());
  return rows;
}

class UserCatalogue : public ::testing::Test {
 protected:
  RecordingDesktop desktop;
  QTemporaryDir home{QDir::tempPath() + QStringLiteral("/numerion-home-XXXXXX")};
  QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");

  void SetUp() override { qputenv("XDG_DATA_HOME", home.path().toLocal8Bit()); }
  void TearDown() override {
    if (savedDataHome.isEmpty()) qunsetenv("XDG_DATA_HOME");
    else qputenv("XDG_DATA_HOME", savedDataHome);
  }
  QString userCopy() const { return home.path() + QStringLiteral("/numerion/data.dat"); }

  bool addLottery(TForm1& form, const QString& name) {
    int result = -1;
    desktop.onModal = [&](QDialog& dialog) {
      auto& add = static_cast<Tnewlottoform&>(dialog);
      add.ComboBox4->setEditText(QStringLiteral("Spain"));
      add.Edit1->setText(name);
      add.ComboBox1->setEditText(QStringLiteral("49"));
      add.ComboBox2->setEditText(QStringLiteral("6"));
      QTest::mouseClick(add.Button1, Qt::LeftButton);
      result = dialog.result();
      return result;
    };
    QTest::mouseClick(form.SpeedButton2, Qt::LeftButton);
    desktop.onModal = nullptr;
    return result == QDialog::Accepted;
  }
};

}  // namespace

TEST_F(UserCatalogue, ANewLotteryGoesToTheUsersCopyWhichLaterStartsReadAndANewerCatalogueRenews) {
  TestCatalogue shipped{{"Spain"}, {{"Spain", "Bonoloto", 49, 6}}};
  makeReadOnly(shipped.path());
  {
    TForm1 form{nullptr, shipped.directory()};
    form.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(form.catalogueFile(), shipped.path());
    EXPECT_FALSE(QFile::exists(userCopy())) << "reading alone makes no copy";
    ASSERT_TRUE(addLottery(form, QStringLiteral("Mi Lotto")));
    EXPECT_EQ(form.catalogueFile(), userCopy());
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join(" / ").toStdString();
  }
  EXPECT_EQ(lotteriesIn(shipped.path()), QStringList{"Spain|Bonoloto"});
  EXPECT_EQ(lotteriesIn(userCopy()), (QStringList{"Spain|Bonoloto", "Spain|Mi Lotto"}));
  {
    // A restart reads the copy.
    TForm1 form{nullptr, shipped.directory()};
    form.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(form.catalogueFile(), userCopy());
    EXPECT_TRUE(lotteryRows(form.ListView3).contains(QStringLiteral("Mi Lotto|49|6")));
  }
  // A newer program ships a catalogue with one more lottery.
  TestCatalogue newer{{"Spain"}, {{"Spain", "Bonoloto", 49, 6}, {"Spain", "La Primitiva", 49, 6}}};
  QFile::setPermissions(shipped.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  ASSERT_TRUE(QFile::remove(shipped.path()));
  ASSERT_TRUE(QFile::copy(newer.path(), shipped.path()));
  makeReadOnly(shipped.path());
  {
    TForm1 form{nullptr, shipped.directory()};
    form.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(form.catalogueFile(), userCopy());
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join(" / ").toStdString();
  }
  EXPECT_EQ(lotteriesIn(userCopy()), (QStringList{"Spain|Bonoloto", "Spain|La Primitiva", "Spain|Mi Lotto"}));
  // Renewed once: the next start leaves the copy alone.
  const QByteArray renewed = [&] {
    QFile file(userCopy());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }();
  QString warning;
  EXPECT_EQ(catalogue::catalogueToOpen(catalogue::catalogueFiles(shipped.directory()), warning), userCopy());
  QFile after(userCopy());
  ASSERT_TRUE(after.open(QIODevice::ReadOnly));
  EXPECT_EQ(after.readAll(), renewed);
  QFile::setPermissions(shipped.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(UserCatalogue, AWritableCatalogueBesideTheProgramIsUsedInPlace) {
  TestCatalogue shipped{{"Spain"}, {{"Spain", "Bonoloto", 49, 6}}};
  TForm1 form{nullptr, shipped.directory()};
  form.show();
  QCoreApplication::processEvents();
  ASSERT_TRUE(addLottery(form, QStringLiteral("Mi Lotto")));
  EXPECT_EQ(form.catalogueFile(), shipped.path());
  EXPECT_FALSE(QFile::exists(userCopy()));
}

// The same on the files of the Debian package, unpacked by scripts/check-package
// into NUMERION_PACKAGE_ROOT with the shipped catalogue read-only.
class InstalledCatalogue : public UserCatalogue {};

TEST_F(InstalledCatalogue, KeepsTheUsersLotteryAcrossARestartAndANewerCatalogue) {
  const QByteArray root = qgetenv("NUMERION_PACKAGE_ROOT");
  if (root.isEmpty()) GTEST_SKIP() << "runs on an unpacked package (scripts/check-package)";
  const QString folder = QString::fromLocal8Bit(root) + QStringLiteral("/usr/lib/numerion");
  const QString shipped = folder + QStringLiteral("/data.dat");
  ASSERT_FALSE(catalogue::isWritableCatalogue(shipped));
  {
    TForm1 form{nullptr, folder};
    form.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(form.catalogueFile(), shipped) << desktop.messages.join(" / ").toStdString();
    EXPECT_EQ(form.ComboBoxEx1->count(), 18);
    ASSERT_TRUE(addLottery(form, QStringLiteral("Numerion Check")));
    EXPECT_EQ(form.catalogueFile(), userCopy());
  }
  {
    TForm1 form{nullptr, folder};
    form.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(form.catalogueFile(), userCopy());
    EXPECT_TRUE(lotteriesIn(userCopy()).contains(QStringLiteral("Spain|Numerion Check")));
  }
  // A newer package: the same catalogue with one more lottery of its own.
  QTemporaryDir work;
  const QString newer = work.filePath(QStringLiteral("data.dat"));
  ASSERT_TRUE(QFile::copy(shipped, newer));
  QFile::setPermissions(newer, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  {
    TTomeTable lottery;
    lottery.SetDatabaseName(newer.toStdString());
    lottery.SetPassword(kCataloguePassword);
    lottery.SetTableName("lottery");
    lottery.Open();
    std::vector<Variant> values = {Variant("Spain"), Variant("Shipped Later"), Variant(49), Variant(0), Variant(0),
                                   Variant(6)};
    values.resize(23, Variant(0));
    for (size_t k = 18; k < 23; ++k) values[k] = Variant("");
    lottery.AppendRecord(values);
  }
  ASSERT_TRUE(QFile::remove(shipped));
  ASSERT_TRUE(QFile::copy(newer, shipped));
  makeReadOnly(shipped);
  {
    TForm1 form{nullptr, folder};
    form.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(form.catalogueFile(), userCopy());
  }
  const QStringList lotteries = lotteriesIn(userCopy());
  EXPECT_TRUE(lotteries.contains(QStringLiteral("Spain|Shipped Later")));
  EXPECT_TRUE(lotteries.contains(QStringLiteral("Spain|Numerion Check")));
  EXPECT_EQ(lotteries.count(QStringLiteral("Spain|Numerion Check")), 1);
}
