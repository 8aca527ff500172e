#pragma once
// The places where the wizard talks to the desktop around it: the message box,
// the standard error box, the shell's "Open" verb, modal dialogs and the seed
// of the random generator. The program reaches them only through desktop(), so
// that the tests can install a Desktop of their own that records what would
// have been shown instead of blocking on a modal window.
//
// All calls happen on the user-interface thread.

#include <QString>
#include <cstdint>

class QDialog;
class QWidget;

class Desktop {
 public:
  virtual ~Desktop() = default;

  // An information message with one "OK" button; returns when it is closed.
  virtual void messageBox(QWidget* parent, const QString& text);
  // The box that shows the message of an exception that reached an event handler.
  virtual void errorBox(QWidget* parent, const QString& text);
  // Asks the desktop to open `address` (a web address) in its default program.
  // Returns whether the desktop accepted; callers may ignore it.
  virtual bool shellOpen(QWidget* parent, const QString& address);
  // Shows `dialog` modally and returns its result code when it closes.
  virtual int runModal(QDialog& dialog);
  // A fresh seed for the random generator: taken from the clock.
  virtual std::uint32_t randomSeed();
};

// The desktop in use: the real one unless a replacement is installed.
Desktop& desktop();

// Installs `replacement` (not owned; it must outlive its installation) or, with
// nullptr, the real desktop again. Returns the previously installed one.
Desktop* installDesktop(Desktop* replacement);
