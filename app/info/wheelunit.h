#pragma once
// Twheelform: the modal window "What is a Lottery Wheel?", a resizable window
// whose text area explains wheels. Created fresh for each opening; edits made
// in the text are lost when it closes.

#include <QDialog>
#include <QStringList>

class QFrame;
class QPlainTextEdit;
class QPushButton;

// The explanation shown in Twheelform, one entry per line.
QStringList wheelExplanation();

class Twheelform : public QDialog {
  Q_OBJECT

 public:
  explicit Twheelform(QWidget* parent = nullptr);

  QPlainTextEdit* Memo1 = nullptr;
  QFrame* Panel1 = nullptr;
  QPushButton* Button1 = nullptr;
};
