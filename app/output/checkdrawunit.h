#pragma once
// Tcheckdrawform: "Check draw", the dialog in which the user types the drawn
// numbers. OK is accepted only for a valid draw of the lottery (its count of
// numbers, each from 1 to From, none twice); otherwise the dialog stays and
// says what is wrong. Created fresh for each opening.

#include <QDialog>
#include <QList>

class QLabel;
class QLineEdit;
class QPushButton;

class Tcheckdrawform : public QDialog {
  Q_OBJECT

 public:
  // A draw of `count` numbers from 1 to `from`.
  Tcheckdrawform(QWidget* parent, int count, int from);

  QLabel* promptLabel = nullptr;
  QLineEdit* drawEdit = nullptr;
  QLabel* problemLabel = nullptr;  // what is wrong with the numbers typed; empty when nothing is
  QPushButton* okButton = nullptr;
  QPushButton* cancelButton = nullptr;

  // The numbers of the draw accepted, in the order typed.
  const QList<int>& draw() const { return draw_; }

 public slots:
  void accept() override;

 private:
  int count_;
  int from_;
  QList<int> draw_;
};
