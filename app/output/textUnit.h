#pragma once
// Ttextform: the ticket list as numbered text lines, ready to be selected and
// copied. Created fresh for each opening; every showing fills the text anew
// from the ticket list, and edits are lost when the window closes.

#include <QDialog>

class QFrame;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

class Ttextform : public QDialog {
  Q_OBJECT

 public:
  // `tickets` is the main window's ticket list (not owned; it outlives the
  // window).
  Ttextform(QWidget* parent, const QTreeWidget& tickets);

  QPlainTextEdit* Memo1 = nullptr;
  QFrame* Panel1 = nullptr;
  QPushButton* Button1 = nullptr;

  // Fills Memo1 with one numbered line per ticket.
  void FormShow();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  const QTreeWidget& tickets_;
};
