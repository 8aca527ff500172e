#pragma once
// The engine's seams on the desktop: the password dialog that a database
// shows when a table opens an encrypted file without a password, the wait
// cursor while a filtered record list is built, and the timer of a
// database's timed flush. installEngineHooks() puts all three in place; the
// engine works without them (a missing password is then "Access denied").
//
// All of it runs on the user-interface thread.

#include <QDialog>
#include <string>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

// "Database Login": the file name (read-only) and a password edit, with OK
// and Cancel. Fixed size, laid out at the positions the engine's dialog has
// always had.
class TTomeDBLoginForm : public QDialog {
  Q_OBJECT

 public:
  explicit TTomeDBLoginForm(const QString& fileName, QWidget* parent = nullptr);

  QFrame* BackPanel;
  QLabel* DatabaseLabel;
  QLabel* PasswordLabel;
  QLineEdit* DatabaseEdit;
  QLineEdit* PasswordEdit;
  QPushButton* OkButton;
  QPushButton* CancelButton;

 private:
  void createPanel(const QString& fileName);
  void createButtons();
};

// Shows the dialog modally (through the desktop seam) for `fileName`;
// true with the typed password when closed with OK, false when cancelled.
bool tomeDBLoginPrompt(const std::string& fileName, std::string& password);

// Installs the login prompt, the wait cursor and the flush timer hooks.
void installEngineHooks();
