#pragma once
// A desktop for the GUI tests: records every message, error and address that
// the program would have shown or opened, and hands modal dialogs to the test
// instead of blocking. Installed for the lifetime of the object.

#include <QDialog>
#include <QStringList>
#include <functional>
#include <ostream>

#include "platform/desktop.h"

class RecordingDesktop : public Desktop {
 public:
  RecordingDesktop() { previous_ = installDesktop(this); }
  ~RecordingDesktop() override { installDesktop(previous_); }

  QStringList messages;
  QStringList errors;
  QStringList opened;
  QStringList dialogs;  // class names of the dialogs run modally
  std::uint32_t seed = 12345;
  // Called with each modal dialog; returns its result. Without it the dialog
  // is closed at once as cancelled.
  std::function<int(QDialog&)> onModal;

  void messageBox(QWidget*, const QString& text) override { messages << text; }
  void errorBox(QWidget*, const QString& text) override { errors << text; }
  bool shellOpen(QWidget*, const QString& address) override {
    opened << address;
    return false;
  }
  int runModal(QDialog& dialog) override {
    dialogs << QString::fromLatin1(dialog.metaObject()->className());
    return onModal ? onModal(dialog) : int(QDialog::Rejected);
  }
  std::uint32_t randomSeed() override { return seed++; }

 private:
  Desktop* previous_ = nullptr;
};

// Readable failure output for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* out) {
  *out << '{' << list.join(QStringLiteral("|")).toStdString() << '}';
}
