#pragma once
// Taboutform: the modal "About" window with the product name, its version,
// the maker's notice and a link to the user guide, a page that comes with the
// program and lies beside it. Created fresh for each opening and released
// when it closes.

#include <QDialog>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class TClickLabel;

class Taboutform : public QDialog {
  Q_OBJECT

 public:
  explicit Taboutform(QWidget* parent = nullptr);

  // The user guide beside the program (a file: address), opened by a click
  // on companysitelabel.
  static QString companysite();

  QGroupBox* GroupBox1 = nullptr;
  QLabel* programnameLabel = nullptr;
  QLabel* programversionlabel = nullptr;
  QLabel* Label12 = nullptr;  // first line of the maker's notice
  QLabel* Label13 = nullptr;  // second line of the maker's notice
  TClickLabel* companysitelabel = nullptr;
  // Where the shipped data come from: the published covering designs among
  // the wheels and the flag pictures, with their licences.
  QLabel* creditsLabel = nullptr;
  QFrame* Panel1 = nullptr;
  QPushButton* Button1 = nullptr;

  void FormCreate();
  // Shows `name` as the product name, centred across GroupBox1.
  void showProgramName(const QString& name);
  void companysitelabelClick();
};
