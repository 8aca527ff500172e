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
