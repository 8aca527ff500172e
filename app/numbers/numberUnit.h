#pragma once
// TnumberForm: the modal dialog "Select the number" that asks how many numbers
// the random pick should add. The caller sets chosencount, boardcount and
// pickcount before showing it and reads requestedcount afterwards (0 when it
// was cancelled or closed). Created fresh for each press.

#include <QDialog>

class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;

// The bounds of the request: at least enough to reach one number more than a
// ticket holds (never below 1), at most the numbers still free.
struct PickBounds {
  int minimum = 0;
  int maximum = 0;
};
PickBounds pickBounds(int chosencount, int boardcount, int pickcount);

// The value the field holds for `text`: a whole number clamped into the
// bounds; anything else counts as the minimum. 0 when the maximum is below
// the minimum (every number already chosen).
int boundedRequest(const QString& text, const PickBounds& bounds);

class TnumberForm : public QDialog {
  Q_OBJECT

 public:
  explicit TnumberForm(QWidget* parent = nullptr);

  int chosencount = 0;
  int boardcount = 0;
  int pickcount = 0;
  int requestedcount = 0;

  QLabel* Label1 = nullptr;
  QSpinBox* SpinEdit1 = nullptr;
  QPushButton* Button1 = nullptr;  // "&Ok"
  QPushButton* Button2 = nullptr;  // "&Cancel"
  QTimer* Timer1 = nullptr;

  void FormShow();
  void Timer1Timer();
  void Button1Click();
  void Button2Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  PickBounds bounds_;
};
