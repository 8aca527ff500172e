// The password dialog and its use as the engine's login prompt.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include "platform/tomedblogin.h"
#include "recordingdesktop.h"
#include "tomedb/catalogue_fixture.h"

namespace {

TEST(TomeDBLoginFormTest, LayoutNamesAndCaptions) {
  TTomeDBLoginForm form(QStringLiteral("/data/data.dat"));
  EXPECT_EQ(form.windowTitle(), "Database Login");
  EXPECT_EQ(form.size(), QSize(281, 154));
  EXPECT_EQ(form.BackPanel->objectName(), "BackPanel");
  EXPECT_EQ(form.BackPanel->geometry(), QRect(8, 8, 265, 75));
  EXPECT_EQ(form.DatabaseLabel->text(), "Database:");
  EXPECT_EQ(form.DatabaseLabel->pos(), QPoint(12, 15));
  EXPECT_EQ(form.PasswordLabel->text(), "Password:");
  EXPECT_EQ(form.PasswordLabel->pos(), QPoint(12, 45));

  EXPECT_EQ(form.DatabaseEdit->objectName(), "DatabaseEdit");
  EXPECT_EQ(form.DatabaseEdit->text(), "/data/data.dat");
  EXPECT_TRUE(form.DatabaseEdit->isReadOnly());
  EXPECT_EQ(form.DatabaseEdit->focusPolicy(), Qt::NoFocus);
  const int editWidth = form.BackPanel->contentsRect().width() - 98;
  EXPECT_EQ(form.DatabaseEdit->geometry(), QRect(86, 12, editWidth, 21));
  EXPECT_EQ(form.PasswordEdit->objectName(), "PasswordEdit");
  EXPECT_EQ(form.PasswordEdit->geometry(), QRect(86, 42, editWidth, 21));
  EXPECT_EQ(form.PasswordEdit->echoMode(), QLineEdit::Password);
  EXPECT_TRUE(form.PasswordEdit->text().isEmpty());
  QWidget* first = form.nextInFocusChain();
  while (first != &form && !(first->focusPolicy() & Qt::TabFocus)) first = first->nextInFocusChain();
  EXPECT_EQ(first, form.PasswordEdit) << "first in the tab order";

  EXPECT_EQ(form.OkButton->objectName(), "OkButton");
  EXPECT_EQ(form.OkButton->text(), "&OK");
  EXPECT_EQ(form.OkButton->pos(), QPoint(109, 94));
  EXPECT_TRUE(form.OkButton->isDefault());
  EXPECT_EQ(form.CancelButton->objectName(), "CancelButton");
  EXPECT_EQ(form.CancelButton->text(), "&Cancel");
  EXPECT_EQ(form.CancelButton->pos(), QPoint(191, 94));

  form.CancelButton->click();
  EXPECT_EQ(form.result(), QDialog::Rejected);
}

TEST(TomeDBLoginFormTest, PromptsForThePasswordOfAnEncryptedFile) {
  TCatalogueFile file("", "Blowfish", "qivort");
  RecordingDesktop desk;
  installEngineHooks();
  QString shownFile;
  desk.onModal = [&](QDialog& dialog) {
    auto& form = static_cast<TTomeDBLoginForm&>(dialog);
    shownFile = form.DatabaseEdit->text();
    form.PasswordEdit->setText(QStringLiteral("qivort"));
    form.OkButton->click();
    return dialog.result();
  };
  {
    TTomeTable table;
    table.SetDatabaseName(file.path());
    table.SetTableName("country");
    table.Open();
    EXPECT_TRUE(table.Active());
    EXPECT_EQ(shownFile, QString::fromStdString(file.path()));
  }
  desk.onModal = nullptr;  // closed as cancelled
  {
    TTomeTable table;
    table.SetDatabaseName(file.path());
    table.SetTableName("country");
    EXPECT_THROW(table.Open(), EAbort);
    EXPECT_FALSE(table.Active());
  }
  EXPECT_EQ(desk.dialogs, QStringList({"TTomeDBLoginForm", "TTomeDBLoginForm"}));
  SetLoginPromptHook(nullptr);
  SetWaitCursorHook(nullptr);
  SetFlushTimerHook(nullptr);
}

}  // namespace
