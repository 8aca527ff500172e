// The two information windows: created for each opening through the modal
// seam, the about window's centred name and link, the wheel explanation.
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <QScreen>
#include <QUrl>

#include <gtest/gtest.h>

#include "Unit1.h"
#include "info/aboutunit.h"
#include "info/wheelunit.h"
#include "platform/controls.h"
#include "recordingdesktop.h"

namespace {

TEST(AboutWindow, OpensFreshAndModalFromTheAboutButton) {
  RecordingDesktop desktop;
  TForm1 form;
  QPointer<QDialog> seen;
  QString name;
  desktop.onModal = [&](QDialog& dialog) {
    seen = &dialog;
    name = static_cast<Taboutform&>(dialog).programnameLabel->text();
    return int(QDialog::Accepted);
  };
  QTest::mouseClick(form.SpeedButton3, Qt::LeftButton);
  QTest::mouseClick(form.SpeedButton3, Qt::LeftButton);
  EXPECT_EQ(desktop.dialogs, (QStringList{"Taboutform", "Taboutform"}));
  EXPECT_EQ(name, "Numerion");
  EXPECT_TRUE(seen.isNull()) << "the window is released when it closes";
  EXPECT_EQ(form.SpeedButton3->toolTip(), "About");
}

TEST(AboutWindow, CentresTheProductNameOfAnyLength) {
  RecordingDesktop desktop;
  Taboutform about;
  EXPECT_EQ(about.size(), QSize(472, 282));
  // Centred on the desktop by its own size.
  EXPECT_EQ(about.geometry().center(), about.screen()->availableGeometry().center());
  EXPECT_EQ(about.GroupBox1->geometry(), QRect(80, 24, 321, 145));
  for (const QString& name : {QStringLiteral("N"), QStringLiteral("Numerion"),
                             QStringLiteral("Numerion Lottery Wheel Wizard Professional Edition 2026")}) {
    about.showProgramName(name);
    const QLabel* label = about.programnameLabel;
    EXPECT_EQ(label->text(), name);
    EXPECT_EQ(label->x(), (about.GroupBox1->width() - label->width()) / 2) << name.toStdString();
    EXPECT_EQ(label->y(), 24);
  }
  // Longer names are wider: the label sizes itself to its text.
  about.showProgramName("N");
  const int narrow = about.programnameLabel->width();
  about.showProgramName("Numerion Numerion Numerion");
  EXPECT_GT(about.programnameLabel->width(), narrow);
}

TEST(AboutWindow, TheAddressOpensThroughTheShellAndOkCloses) {
  RecordingDesktop desktop;
  Taboutform about;
  about.show();
  QTest::mouseClick(about.companysitelabel, Qt::LeftButton);
  const QString guide = QCoreApplication::applicationDirPath() + "/numerion-guide.html";
  EXPECT_EQ(desktop.opened, QStringList{QUrl::fromLocalFile(guide).toString()});
  EXPECT_TRUE(about.companysitelabel->text().contains("a page on this computer"));
  EXPECT_EQ(about.companysitelabel->toolTip(), guide);
  EXPECT_LE(about.companysitelabel->geometry().right(), about.GroupBox1->width());
  EXPECT_TRUE(about.isVisible()) << "a failing shell leaves the window open";
  EXPECT_TRUE(desktop.errors.isEmpty());
  QTest::mouseClick(about.Button1, Qt::LeftButton);
  EXPECT_FALSE(about.isVisible());
  EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(WheelWindow, ExplainsWheelsInFortySevenLines) {
  const QStringList lines = wheelExplanation();
  ASSERT_EQ(lines.size(), 47);
  EXPECT_EQ(lines[0], "What is a Lottery Wheel?");
  EXPECT_EQ(lines[1], "");
  EXPECT_TRUE(lines[2].startsWith("Lottery Wheel Systems are a method of playing lottery games, in which"));
  EXPECT_TRUE(lines[2].endsWith("fall within a certain range of numbers."));
  EXPECT_TRUE(lines.contains("    * Guaranteed X-win if Y of the numbers drawn are in your set of Z numbers."));
  EXPECT_TRUE(lines.contains("    * X if Y of Z."));
  // Two numbered lists of three, each marker on its own line, items below it
  // indented by six blanks.
  EXPECT_EQ(lines.count("   1."), 2);
  EXPECT_EQ(lines.count("   3."), 2);
  for (int i = 0; i + 1 < lines.size(); ++i)
    if (lines[i].startsWith("   ") && lines[i].endsWith('.') && lines[i].size() == 5) {
      EXPECT_TRUE(lines[i + 1].startsWith("      ") && lines[i + 1][6] != ' ') << i;
    }
}

TEST(WheelWindow, OpensFromMoreInfoAndKeepsItsButtonRow) {
  RecordingDesktop desktop;
  TForm1 form;
  QString text;
  desktop.onModal = [&](QDialog& dialog) {
    auto& wheel = static_cast<Twheelform&>(dialog);
    dialog.show();
    QCoreApplication::processEvents();
    text = wheel.Memo1->toPlainText();
    EXPECT_EQ(dialog.windowTitle(), "wheelForm");
    EXPECT_EQ(dialog.size(), QSize(870, 500));
    dialog.resize(1000, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(wheel.Panel1->height(), 64);
    EXPECT_EQ(wheel.Panel1->geometry().bottom(), 699);
    EXPECT_EQ(wheel.Memo1->geometry(), QRect(0, 0, 1000, 636));
    wheel.Memo1->setPlainText("edited");
    QTest::mouseClick(wheel.Button1, Qt::LeftButton);
    return dialog.result();
  };
  form.Label11->show();
  QTest::mouseClick(form.Label11, Qt::LeftButton);
  ASSERT_EQ(desktop.dialogs, QStringList{"Twheelform"});
  EXPECT_EQ(text, wheelExplanation().join('\n'));

  // A second opening starts from the original text again.
  desktop.onModal = [&](QDialog& dialog) {
    text = static_cast<Twheelform&>(dialog).Memo1->toPlainText();
    return int(QDialog::Accepted);
  };
  QTest::mouseClick(form.Label11, Qt::LeftButton);
  EXPECT_EQ(text, wheelExplanation().join('\n'));
}

}  // namespace
