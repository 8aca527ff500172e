#pragma once
// TForm1: the wizard's main window. Five pages in PageControl1 and the bottom
// row of buttons; the program alone changes the page (showPage), the user only
// through "Next >>", "<< Previous" and "Finish". The window owns every widget
// it shows for the whole run. Page logic lives beside its subsystem
// (app/numbers/, app/output/, ...) as TForm1 member functions.
//
// User-interface thread only. Every event handler runs inside guarded().

#include <QList>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

#include "catalogue/usercatalogue.h"
#include "numbers/selection.h"
#include "platform/randomsource.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class QToolButton;
class QTreeWidget;
class TClickLabel;
class TPageControl;
class TTomeDatabase;
class TTomeTable;
class TableWheelCatalogue;
class WheelCatalogue;
struct WheelEntry;

// Main-window state: the globals of this unit. FormCreate and the window's
// constructor give them their start values.
extern std::int32_t buttoncount;        // buttons on the board being replaced
extern QToolButton* numberbuttons[101];  // slot k holds number k's button, k = 1..100
extern bool boardbuilt;                  // a number button has been created
extern bool lotterychanged;              // lottery selection changed since the board was built
extern bool pagechangeallowed;           // true only while the program switches pages
extern QString exedir;                   // where data.dat is looked for
extern QString separator;                // between the numbers of a ticket line
extern QString zeropad;                  // "0": numbers below 10 keep a leading zero
extern std::int32_t ticketlimit;         // ticket count of the chosen formula entry

// The directory part of a file path whose separators are "\" or "/": empty when
// the last component has no "."; a drive root keeps its "\" ("C:\"), and the
// root of a "/" path is "/".
QString directoryof(const QString& path);

// What the start-up message adds when the catalogue cannot be opened: where
// the program looks for it and where it comes from.
QString catalogueHint(const QString& directory);

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // `catalogueDirectory` is where data.dat is looked for; empty means the
  // executable's directory (the program's only choice; tests give their own).
  explicit TForm1(QWidget* parent = nullptr, const QString& catalogueDirectory = QString());
  ~TForm1() override;

  // The catalogue: the database file data.dat and its four tables, owned by
  // the window for the whole run (opened by openCatalogue at start-up, closed
  // by closeCatalogue when the window closes).
  TTomeDatabase* TomeDatabase1 = nullptr;  // session "Default"
  TTomeTable* TomeTable1 = nullptr;        // country, by "countryindex"
  TTomeTable* TomeTable2 = nullptr;        // lottery, by "loterynameindex"
  TTomeTable* TomeTable3 = nullptr;        // wheels, by "pickindex"
  TTomeTable* TomeTable4 = nullptr;        // wheelssurvey, in stored order

  // Pages and the bottom panel.
  TPageControl* PageControl1 = nullptr;
  QWidget* TabSheet4 = nullptr;  // 1. Select Lottery
  QWidget* TabSheet1 = nullptr;  // Select Numbers
  QWidget* TabSheet5 = nullptr;  // 3. Choose Wheels & Build Tickets
  QWidget* TabSheet3 = nullptr;  // 4. Output Tickets
  QWidget* TabSheet7 = nullptr;  // 5. Finish
  QLabel* Label4 = nullptr;      // "Congratulation !!!"
  QFrame* Panel1 = nullptr;
  QToolButton* SpeedButton3 = nullptr;  // about
  QFrame* Panel6 = nullptr;
  QToolButton* SpeedButtonprevious = nullptr;
  QToolButton* SpeedButtonnext = nullptr;
  QToolButton* SpeedButtonbuildticket = nullptr;
  QToolButton* speedbuttonfinish = nullptr;
  QToolButton* SpeedButtonprinttickets = nullptr;
  QToolButton* SpeedButtonsavefile = nullptr;
  QToolButton* SpeedButtontext = nullptr;
  QToolButton* SpeedButtonapplyfilter = nullptr;  // never shown

  // Page 1: the country with its flag, the new lottery button and the
  // lottery list.
  QFrame* Panel3 = nullptr;
  QLabel* Label1 = nullptr;
  QComboBox* ComboBoxEx1 = nullptr;
  QToolButton* SpeedButton2 = nullptr;  // "&Create New Lottery"
  QTreeWidget* ListView3 = nullptr;
  QList<QPixmap> ImageList1;  // the 18 flags, 32 x 32 (catalogue/flags.h)
  QTimer* Timer1 = nullptr;   // one second after fillCountries: shows the first flag

  // Page 2: the selection strip and the number board.
  QFrame* Panel4 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Panel8 = nullptr;  // "<country>:<lottery>"
  QLabel* Label9 = nullptr;
  QLabel* Label10 = nullptr;
  QLabel* Label15 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QCheckBox* CheckBox1 = nullptr;  // "Auto Sort"
  QLabel* Label21 = nullptr;
  QLabel* Label22 = nullptr;  // count of chosen numbers
  QPushButton* Button2 = nullptr;  // "Randomize"
  QPushButton* Button5 = nullptr;  // "Backspace"
  QPushButton* Button4 = nullptr;  // "Clear"
  QFrame* Panel5 = nullptr;        // the board

  // Page 3: the link to the wheel explanation, the wheel family tabs with
  // their formula combos and the key display, and the output formats.
  QLabel* Label12 = nullptr;
  TClickLabel* Label11 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;  // what a wheel is, in three lines
  QFrame* Panel10 = nullptr;        // separator
  QTabWidget* PageControl2 = nullptr;
  QWidget* TabSheet2 = nullptr;  // abbreviated wheels
  QPlainTextEdit* Memo2 = nullptr;
  QLabel* Label13 = nullptr;     // "Formula"
  QComboBox* ComboBox2 = nullptr;  // abbreviated wheel entries
  QLabel* Panel12 = nullptr;     // "No Tickets" over ComboBox2
  QWidget* TabSheet6 = nullptr;  // key wheels
  QPlainTextEdit* Memo3 = nullptr;
  QLabel* Label16 = nullptr;
  QLabel* Panel13 = nullptr;  // the key: the first chosen number
  QLabel* Label14 = nullptr;       // "Formula"
  QComboBox* ComboBox3 = nullptr;  // key wheel entries
  QLabel* Panel11 = nullptr;       // "No Tickets" over ComboBox3
  QPlainTextEdit* Memo4 = nullptr;  // hidden: the raw patterns of the last build
  QLabel* Label18 = nullptr;
  QRadioButton* RadioButton3 = nullptr;
  QRadioButton* RadioButton5 = nullptr;
  QRadioButton* RadioButton4 = nullptr;
  QRadioButton* RadioButton6 = nullptr;
  QRadioButton* RadioButton7 = nullptr;
  QRadioButton* RadioButton8 = nullptr;
  QRadioButton* RadioButton9 = nullptr;
  QRadioButton* RadioButton10 = nullptr;
  // "What it pays...": the win table window of the entry chosen in ComboBox2
  // and ComboBox3.
  TClickLabel* abbreviatedPaysLink = nullptr;
  TClickLabel* keyPaysLink = nullptr;

  // Page 4: the ticket list and its count.
  QTreeWidget* ticketListView = nullptr;
  QFrame* Panel2 = nullptr;
  QLabel* Label19 = nullptr;
  QLabel* Label20 = nullptr;
  // "Check draw..." on the bottom row, and the line that sums up the hits
  // of the last draw checked.
  QToolButton* checkDrawButton = nullptr;
  QLabel* drawSummaryLabel = nullptr;

  // The chosen numbers and the pool (hidden lists).
  SelectionLists selection;
  // The generator of the random pick, seeded afresh on each press.
  RandomSource random;
  // Hidden list: the positions of the pattern decoded last.
  QStringList baseListBox;
  // Where the wheel survey and the wheels' tickets are read (not owned).
  // Without one there is nothing to offer or to build.
  WheelCatalogue* wheelCatalogue = nullptr;

  // Navigation.
  // The page's forward button ("Next >>", "Build Ticket >>" or "Finish"),
  // pressed by Alt+N or Enter; nothing on a page without one.
  QToolButton* forwardButton() const;
  void showPage(int index);
  void nextPage();
  void SpeedButtonnextClick();
  void SpeedButtonpreviousClick();
  void speedbuttonfinishClick();
  void PageControl1Changing(bool& AllowChange);

  // Window events.
  void FormCreate();
  void FormShow();
  void FormClose();
  void FormResize();

  // The catalogue (data.dat at `path`): opens the database and its four
  // tables, or closes the database with every table.
  void openCatalogue(const QString& path);
  void closeCatalogue();
  // Before anything is written to the catalogue: when the file open is one
  // the user may not write (an installed program's), the user's own copy is
  // made and opened in its place. Throws when the copy cannot be made.
  void prepareCatalogueForWriting();
  // The catalogue file open now (empty when none is).
  const QString& catalogueFile() const { return catalogueFile_; }

  // Information windows.
  void SpeedButton3Click();
  void Label11Click();

  // Number board.
  void buildBoard(int count, int oldcount);
  void layoutBoard(int w, int h, int count);
  void selectNumber(QObject* sender);
  void refreshSelection(bool autoSort);
  void clearSelection();
  void enableBoard(int count);
  int sortedPosition(const QString& text) const { return selection.sortedPosition(text); }
  int poolPosition(const QString& text) const { return selection.poolPosition(text); }
  void Button4Click();
  void Button5Click();
  void CheckBox1Click();
  void Edit1KeyUp();
  // Keys pressed in Edit1: digits make the next number, a blank or Enter
  // chooses it as a click on its button would, Backspace takes back a digit
  // or else the last number; other text is not taken. Returns whether the
  // key was used.
  bool Edit1KeyPress(QKeyEvent* event);
  void chooseTypedNumber();
  void Panel5Resize();
  void Button2Click();

  // Wheel choice.
  void fillWheelLists();
  // The reason a wheel family offers nothing, as the tool tip of its "No
  // Tickets" panel; when the chosen count is beyond every wheel of the
  // catalogue, also a message.
  void explainMissingWheels();
  void addWheelEntry(const QString& pick, const QString& wheeltype, const QString& formula,
                     const QString& numbers, const QString& tickets);
  void ComboBox2Change();
  void ComboBox3Change();
  // Opens the win table window of the entry chosen on the abbreviated tab
  // (keyWheels false) or on the key tab.
  void showWinTable(bool keyWheels);

  // Ticket building.
  void SpeedButtonbuildticketClick();
  // The ticket text of `pattern` (with its trailing "-") over the chosen
  // numbers in the current format. Throws PatternError for a damaged pattern.
  QString decodeTicket(const QString& pattern);
  void addTicket(const QString& ticket);

  // Output formats.
  void setFormat(int format);

  // Print, save and text view of the ticket list.
  QStringList ticketTexts() const;
  void SpeedButtonprintticketsClick();
  void printTickets();
  void SpeedButtonsavefileClick();
  void SpeedButtontextClick();
  void showTicketText();

  // Checking the tickets against a draw: the dialog, then each ticket's
  // hits in the Tag column, the rows with the most hits in bold on a
  // coloured background, and the summary line below the list.
  void checkDrawClick();
  void checkDraw(const QList<int>& draw);
  // Empties the Tag column and the summary line again.
  void clearDrawCheck();

  // Lottery page: the countries in the combo, the lotteries of one country
  // in the list (one row of name, From and Match texts each).
  void fillCountries();
  void fillLotteries(const QString& country);
  void addLotteryRow(const QString& name, const QString& from, const QString& match);
  void ComboBoxEx1Change();
  void showTypedCountryFlag();
  void ListView3SelectItem();
  void Timer1Timer();
  void SpeedButton2Click();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QString catalogueDirectory_;
  // The shipped catalogue and the user's copy; catalogueFile_ is the one open.
  catalogue::CatalogueFiles catalogueFiles_;
  QString catalogueFile_;
  // The click sequences on the bottom row (see bottomRowPressIgnored): the
  // time stamp of the last press acted on, whether the page has changed
  // since, and the button whose press is being ignored until its release.
  quint64 lastPressTime_ = 0;
  bool pressSeen_ = false;
  bool pageChangedSincePress_ = false;
  QObject* ignoredPress_ = nullptr;
  // Digits typed into Edit1 for a number not chosen yet.
  QString typedDigits_;
  // The wheel catalogue over TomeTable3 and TomeTable4; wheelCatalogue points
  // here while the catalogue is open.
  std::unique_ptr<TableWheelCatalogue> tableWheels_;

  void createCatalogue();
  void createPages();
  void createBottomPanel();
  void createLotteryPage();
  void createNumberPage();
  void createWheelPage();
  void createOutputFormats();
  void createTicketPage();
  void createFinishPage();
  // The entry chosen in `combo` when it is one offered for the numbers, else
  // no value after telling the user why (no catalogue, no wheel, a text typed
  // by hand that names no offered entry).
  std::optional<WheelEntry> offeredEntry(const QComboBox* combo, const QLabel* noTickets);
  void arrangeAreas();
  // The Tab order of each page, the bottom row after the page's controls,
  // and the control that takes the focus when a page is shown.
  void setFocusOrder();
  void focusPage(int page);
  // "Next >>", "Build Ticket >>" and "Finish" share one place, so the second
  // press of a double-click would land on the button that a page change has
  // just put there. A press on the bottom row that follows the last one
  // within the double-click interval, with a page change in between, belongs
  // to the click sequence that changed the page: it is ignored, together
  // with its release.
  bool bottomRowPressIgnored(QObject* watched, QEvent* event);
};
