#pragma once
// Tnewlottoform: the modal "New Lotto" dialog that adds a lottery to the
// catalogue (table lottery, through the main window's TomeTable2). It refuses
// a name already present in the same country and values that no lottery can
// have, and otherwise appends one record and closes. Created fresh for each
// opening and released when it closes. User-interface thread only.

#include <QDialog>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class TForm1;

class Tnewlottoform : public QDialog {
  Q_OBJECT

 public:
  // `owner` gives the lottery table and must outlive the dialog.
  explicit Tnewlottoform(TForm1* owner);

  QLabel* Label5 = nullptr;
  QComboBox* ComboBox4 = nullptr;  // country
  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;  // lottery name
  QLabel* Label2 = nullptr;
  QComboBox* ComboBox1 = nullptr;  // From
  QLabel* Label3 = nullptr;
  QComboBox* ComboBox2 = nullptr;  // Match
  QFrame* Panel1 = nullptr;        // separator
  QPushButton* Button1 = nullptr;  // "&Ok"
  QPushButton* Button2 = nullptr;  // "&Cancel"

  // "&Ok": checks and appends the lottery, then closes the dialog.
  void Button1Click();

 private:
  TForm1* owner_;

  // Whether table lottery holds a record of exactly this country and name.
  bool lotteryExists(const QString& country, const QString& name);
};
