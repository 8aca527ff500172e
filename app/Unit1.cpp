#include "Unit1.h"

#include <QCloseEvent>
#include <QInputEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QShortcut>
#include <QTabBar>
#include <QComboBox>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>
#include <QTreeWidget>
#include <stdexcept>

#include "catalogue/catalogue.h"
#include "globalunit.h"
#include "info/aboutunit.h"
#include "info/wheelunit.h"
#include "platform/controls.h"
#include "platform/desktop.h"
#include "platform/guard.h"
#include "platform/pagecontrol.h"
#include "tomedb/TomeDB.h"
#include "wheels/tablecatalogue.h"

std::int32_t buttoncount = 0;
QToolButton* numberbuttons[101] = {};
bool boardbuilt = false;
bool lotterychanged = true;
bool pagechangeallowed = false;
QString exedir;
QString separator = QStringLiteral(" ");
QString zeropad;
std::int32_t ticketlimit = 0;

namespace {

constexpr int kFormWidth = 743;
constexpr int kFormHeight = 594;
constexpr int kBottomPanelHeight = 100;
constexpr int kNavigationPanelWidth = 455;

bool isPathSeparator(QChar c) { return c == QLatin1Char('\\') || c == QLatin1Char('/'); }

// Reads a column of the lottery list as an integer.
int integerOf(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  if (!ok) throw std::invalid_argument("'" + text.toStdString() + "' is not a valid integer value");
  return value;
}

}  // namespace

QString catalogueHint(const QString& directory) {
  return QStringLiteral("Numerion looks for its catalogue %1 in %2, the directory of the program. The catalogue "
                        "is built together with the program and lies beside it; building or installing the "
                        "program again puts it back.")
      .arg(QLatin1String(catalogue::kFileName), directory);
}

QString directoryof(const QString& path) {
  bool extensionSeen = false;
  qsizetype i = path.size() - 1;
  for (; i >= 0 && !isPathSeparator(path[i]); --i)
    if (path[i] == QLatin1Char('.')) extensionSeen = true;
  if (!extensionSeen || i < 0) return QString();
  if (i == 0 && path[0] == QLatin1Char('/')) return QStringLiteral("/");
  QString directory = path.left(i);
  if (directory.endsWith(QLatin1Char(':'))) directory += QLatin1Char('\\');
  return directory;
}

TForm1::TForm1(QWidget* parent, const QString& catalogueDirectory)
    : QWidget(parent), catalogueDirectory_(catalogueDirectory) {
  Q_INIT_RESOURCE(numerion);
  // A main window starts from a fresh wizard state (the program has one
  // window for the whole run; tests create several in turn).
  wizardstate = globalvar1{};
  std::fill(std::begin(numberbuttons), std::end(numberbuttons), nullptr);
  pagechangeallowed = false;

  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  resize(kFormWidth, kFormHeight);
  setMinimumSize(kFormWidth, kFormHeight);
  if (const QScreen* screen = this->screen())
    move(screen->availableGeometry().center() - rect().center());

  createCatalogue();
  createPages();
  createBottomPanel();
  setFocusOrder();
  arrangeAreas();
  guarded(this, [this] { FormCreate(); });
}

TForm1::~TForm1() {
  wheelCatalogue = nullptr;
  tableWheels_.reset();
  // The tables go before their database.
  delete TomeTable4;
  delete TomeTable3;
  delete TomeTable2;
  delete TomeTable1;
  delete TomeDatabase1;
  // The buttons die with the window; leave no dangling slot behind.
  std::fill(std::begin(numberbuttons), std::end(numberbuttons), nullptr);
  boardbuilt = false;
  buttoncount = 0;
}

void TForm1::createCatalogue() {
  TomeDatabase1 = new TTomeDatabase;
  TomeDatabase1->SetName("TomeDatabase1");
  TomeDatabase1->SetSessionName("Default");
  TomeTable1 = new TTomeTable;
  TomeTable1->SetName("TomeTable1");
  TomeTable2 = new TTomeTable;
  TomeTable2->SetName("TomeTable2");
  TomeTable3 = new TTomeTable;
  TomeTable3->SetName("TomeTable3");
  TomeTable4 = new TTomeTable;
  TomeTable4->SetName("TomeTable4");
  tableWheels_ = std::make_unique<TableWheelCatalogue>(TomeTable3, TomeTable4);
}

void TForm1::createPages() {
  PageControl1 = new TPageControl(this);
  PageControl1->OnChanging = [this](bool& allow) { guarded(this, [&] { PageControl1Changing(allow); }); };
  TabSheet4 = new QWidget;
  TabSheet1 = new QWidget;
  TabSheet5 = new QWidget;
  TabSheet3 = new QWidget;
  TabSheet7 = new QWidget;
  PageControl1->addTab(TabSheet4, QStringLiteral("1. Select Lottery"));
  PageControl1->addTab(TabSheet1, QStringLiteral("Select Numbers"));
  // Qt, like the captions' original form, shows "&&" as a single "&".
  PageControl1->addTab(TabSheet5, QStringLiteral("3. Choose Wheels && Build Tickets"));
  PageControl1->addTab(TabSheet3, QStringLiteral("4. Output Tickets"));
  PageControl1->addTab(TabSheet7, QStringLiteral("5. Finish"));
  createLotteryPage();
  createNumberPage();
  createWheelPage();
  createOutputFormats();
  createTicketPage();
  createFinishPage();
}

void TForm1::createFinishPage() {
  Label4 = new QLabel(QStringLiteral("Congratulation !!!"), TabSheet7);
  QFont font = Label4->font();
  font.setPixelSize(32);
  font.setBold(true);
  Label4->setFont(font);
  Label4->adjustSize();
  // The page's own size settles after the window's: centre again then.
  TabSheet7->installEventFilter(this);
}

void TForm1::createBottomPanel() {
  Panel1 = new QFrame(this);
  SpeedButton3 = makeSpeedButton(Panel1, QString(), 24, 24, 41, 41);
  SpeedButton3->setIcon(QIcon(QStringLiteral(":/icons/about.svg")));
  SpeedButton3->setIconSize(QSize(32, 32));
  SpeedButton3->setToolTip(QStringLiteral("About"));
  connect(SpeedButton3, &QToolButton::clicked, this, guardedSlot(this, &TForm1::SpeedButton3Click));

  Panel6 = new QFrame(Panel1);
  SpeedButtonprevious = makeSpeedButton(Panel6, QStringLiteral("<< Previous"), 160, 24, 113, 49);
  SpeedButtonnext = makeSpeedButton(Panel6, QStringLiteral("Next >>"), 296, 24, 113, 49);
  SpeedButtonbuildticket = makeSpeedButton(Panel6, QStringLiteral("Build Ticket >>"), 296, 24, 113, 49);
  SpeedButtonapplyfilter = makeSpeedButton(Panel6, QStringLiteral("Apply Filter >>"), 296, 24, 113, 49);
  speedbuttonfinish = makeSpeedButton(Panel6, QStringLiteral("Finish"), 304, 24, 97, 49);
  SpeedButtonprinttickets = makeSpeedButton(Panel6, QString(), 0, 24, 49, 41);
  SpeedButtonprinttickets->setToolTip(QStringLiteral("Print Tickets"));
  SpeedButtonprinttickets->setIcon(QIcon(QStringLiteral(":/icons/print.svg")));
  SpeedButtonsavefile = makeSpeedButton(Panel6, QString(), 56, 24, 41, 41);
  SpeedButtonsavefile->setToolTip(QStringLiteral("Save Tickets"));
  SpeedButtonsavefile->setIcon(QIcon(QStringLiteral(":/icons/save.svg")));
  SpeedButtontext = makeSpeedButton(Panel6, QString(), 104, 24, 41, 41);
  SpeedButtontext->setIcon(QIcon(QStringLiteral(":/icons/text.svg")));
  // Left of print, save and text; arrangeAreas keeps it beside them.
  checkDrawButton = makeSpeedButton(Panel1, QStringLiteral("Check draw..."), 0, 24, 97, 41);
  checkDrawButton->setToolTip(QStringLiteral("Type the numbers drawn and see the hits of every ticket"));
  for (QToolButton* button : {SpeedButtonprinttickets, SpeedButtonsavefile, SpeedButtontext})
    button->setIconSize(QSize(32, 32));
  for (QToolButton* button : Panel6->findChildren<QToolButton*>()) button->installEventFilter(this);

  // The keyboard's way along the wizard; the captions stay as they are.
  auto* forward = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_N), this);
  connect(forward, &QShortcut::activated, this, [this] {
    if (QToolButton* button = forwardButton()) button->click();
  });
  auto* back = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_P), this);
  connect(back, &QShortcut::activated, this, [this] {
    if (!SpeedButtonprevious->isHidden()) SpeedButtonprevious->click();
  });
  for (QToolButton* button : {SpeedButtonnext, SpeedButtonbuildticket, speedbuttonfinish})
    button->setToolTip(QStringLiteral("Alt+N or Enter"));
  SpeedButtonprevious->setToolTip(QStringLiteral("Alt+P"));

  connect(SpeedButtonnext, &QToolButton::clicked, this, guardedSlot(this, &TForm1::SpeedButtonnextClick));
  connect(SpeedButtonprevious, &QToolButton::clicked, this,
          guardedSlot(this, &TForm1::SpeedButtonpreviousClick));
  connect(speedbuttonfinish, &QToolButton::clicked, this,
          guardedSlot(this, &TForm1::speedbuttonfinishClick));
  connect(SpeedButtonbuildticket, &QToolButton::clicked, this,
          guardedSlot(this, &TForm1::SpeedButtonbuildticketClick));
  connect(SpeedButtonprinttickets, &QToolButton::clicked, this,
          guardedSlot(this, &TForm1::SpeedButtonprintticketsClick));
  connect(SpeedButtonsavefile, &QToolButton::clicked, this,
          guardedSlot(this, &TForm1::SpeedButtonsavefileClick));
  connect(SpeedButtontext, &QToolButton::clicked, this, guardedSlot(this, &TForm1::SpeedButtontextClick));
  connect(checkDrawButton, &QToolButton::clicked, this, guardedSlot(this, &TForm1::checkDrawClick));
}

void TForm1::setFocusOrder() {
  // The bottom row and "&Create New Lottery" are reached by Tab and pressed
  // by the space bar or Enter; the number buttons are not (digits typed into
  // the display choose numbers). The page tabs cannot be chosen, so their bar
  // is left out, and the fixed texts are read, not visited.
  for (QToolButton* button : Panel6->findChildren<QToolButton*>()) button->setFocusPolicy(Qt::TabFocus);
  SpeedButton3->setFocusPolicy(Qt::TabFocus);
  checkDrawButton->setFocusPolicy(Qt::TabFocus);
  SpeedButton2->setFocusPolicy(Qt::TabFocus);
  PageControl1->setFocusPolicy(Qt::NoFocus);
  PageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);
  for (QPlainTextEdit* memo : {Memo1, Memo2, Memo3}) memo->setFocusPolicy(Qt::ClickFocus);
  const QList<QWidget*> order = {
      // page 1
      ComboBoxEx1, SpeedButton2, ListView3,
      // page 2
      Edit1, CheckBox1, Button2, Button5, Button4,
      // page 3
      PageControl2->tabBar(), ComboBox2, ComboBox3, RadioButton3, RadioButton5, RadioButton4,
      RadioButton6, RadioButton7, RadioButton8, RadioButton9, RadioButton10,
      // page 4
      ticketListView,
      // the bottom row, left to right
      SpeedButton3, checkDrawButton, SpeedButtonprinttickets, SpeedButtonsavefile, SpeedButtontext, SpeedButtonprevious,
      SpeedButtonnext, SpeedButtonbuildticket, SpeedButtonapplyfilter, speedbuttonfinish};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void TForm1::focusPage(int page) {
  QWidget* first = nullptr;
  switch (page) {
    case 0: first = ListView3->topLevelItemCount() > 0 ? static_cast<QWidget*>(ListView3) : ComboBoxEx1; break;
    case 1: first = Edit1; break;
    case 2: first = PageControl2->currentIndex() == 0 ? ComboBox2 : ComboBox3; break;
    case 3: first = ticketListView; break;
    default: first = speedbuttonfinish; break;
  }
  first->setFocus(Qt::OtherFocusReason);
}

QToolButton* TForm1::forwardButton() const {
  for (QToolButton* button : {SpeedButtonnext, SpeedButtonbuildticket, speedbuttonfinish})
    if (!button->isHidden()) return button;
  return nullptr;
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    // Enter presses the focused button, or else the page's forward button.
    auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
    if (focused != nullptr && !focused->isCheckable() && focused->isVisible()) {
      focused->click();
      return;
    }
    if (QToolButton* button = forwardButton()) {
      button->click();
      return;
    }
  }
  QWidget::keyPressEvent(event);
}

void TForm1::arrangeAreas() {
  const int w = width();
  const int h = height();
  PageControl1->setGeometry(0, 0, w, h - kBottomPanelHeight);
  Panel1->setGeometry(0, h - kBottomPanelHeight, w, kBottomPanelHeight);
  Panel6->setGeometry(w - kNavigationPanelWidth, 0, kNavigationPanelWidth, kBottomPanelHeight);
  checkDrawButton->move(Panel6->x() - checkDrawButton->width() - 8, 24);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  arrangeAreas();
  guarded(this, [this] { FormResize(); });
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Shown by the program (not restored from the task bar by the system).
  if (!event->spontaneous()) guarded(this, [this] { FormShow(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
  guarded(this, [this] { FormClose(); });
  QWidget::closeEvent(event);
}

bool TForm1::bottomRowPressIgnored(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      const quint64 time = static_cast<QInputEvent*>(event)->timestamp();
      if (pressSeen_ && pageChangedSincePress_ &&
          time - lastPressTime_ < quint64(QApplication::doubleClickInterval())) {
        ignoredPress_ = watched;
        return true;
      }
      lastPressTime_ = time;
      pressSeen_ = true;
      pageChangedSincePress_ = false;
      ignoredPress_ = nullptr;
      return false;
    }
    case QEvent::MouseButtonRelease:
      if (ignoredPress_ != watched) return false;
      ignoredPress_ = nullptr;
      return true;
    default:
      return false;
  }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (Panel6 != nullptr && watched->parent() == Panel6 && bottomRowPressIgnored(watched, event)) return true;
  if (event->type() == QEvent::KeyPress && watched == Edit1) {
    bool used = false;
    guarded(this, [&] { used = Edit1KeyPress(static_cast<QKeyEvent*>(event)); });
    if (used) return true;
  }
  if (event->type() == QEvent::KeyRelease && watched == Edit1) guarded(this, [this] { Edit1KeyUp(); });
  if (event->type() == QEvent::Resize) {
    if (watched == TabSheet7) guarded(this, [this] { FormResize(); });
    if (watched == Panel5) guarded(this, [this] { Panel5Resize(); });
    if (watched == TabSheet1) {
      Panel4->resize(TabSheet1->width(), Panel4->height());
      Panel5->setGeometry(0, Panel4->height(), TabSheet1->width(), TabSheet1->height() - Panel4->height());
    }
    if (watched == TabSheet3) {
      const int stripHeight = 44;
      ticketListView->setGeometry(0, 0, TabSheet3->width(), TabSheet3->height() - stripHeight);
      Panel2->setGeometry(0, TabSheet3->height() - stripHeight, TabSheet3->width(), stripHeight);
    }
    if (watched == TabSheet4) {
      Panel3->resize(TabSheet4->width(), Panel3->height());
      ListView3->setGeometry(0, Panel3->height(), TabSheet4->width(), TabSheet4->height() - Panel3->height());
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TForm1::FormCreate() {
  try {
    setWindowTitle(QStringLiteral("Numerion"));
    setFormat(1);
    buttoncount = 0;
    lotterychanged = true;
    boardbuilt = false;
    showPage(0);
    pagechangeallowed = false;
    numbercount = 49;
    // The executable carries no extension on this platform, so its directory
    // comes from the platform rather than from directoryof.
    exedir = catalogueDirectory_.isEmpty() ? QCoreApplication::applicationDirPath() : catalogueDirectory_;
    catalogueFiles_ = catalogue::catalogueFiles(exedir);
    QString warning;
    const QString file = catalogue::catalogueToOpen(catalogueFiles_, warning);
    if (!warning.isEmpty()) desktop().messageBox(this, warning);
    try {
      openCatalogue(file);
    } catch (const std::exception& error) {
      throw std::runtime_error(error.what() + ("\n\n" + catalogueHint(exedir).toStdString()));
    }
    wheelCatalogue = tableWheels_.get();
    fillCountries();
    selection.reset(numbercount);
  } catch (const std::exception& error) {
    // A failing step is reported; the later steps are skipped and the window
    // still opens.
    desktop().messageBox(this, QString::fromUtf8(error.what()));
  }
}

void TForm1::FormShow() {
  try {
    fillLotteries(ComboBoxEx1->currentText());
  } catch (const std::exception& error) {
    desktop().messageBox(this, QString::fromUtf8(error.what()));
  }
}

void TForm1::FormClose() { closeCatalogue(); }

void TForm1::FormResize() {
  Label4->move((TabSheet7->width() - Label4->width()) / 2, (TabSheet7->height() - Label4->height()) / 2);
}

void TForm1::showPage(int index) {
  if (index < 0) index = 0;
  const int before = PageControl1->currentIndex();
  PageControl1->setCurrentIndex(index);
  const int page = PageControl1->currentIndex();
  if (page != before) pageChangedSincePress_ = true;
  SpeedButtonapplyfilter->setVisible(false);
  SpeedButtonprevious->setVisible(page >= 1);
  SpeedButtonnext->setVisible(page == 0 || page == 1 || page == 3);
  SpeedButtonbuildticket->setVisible(page == 2);
  speedbuttonfinish->setVisible(page == 4);
  SpeedButtonprinttickets->setVisible(page == 3);
  SpeedButtonsavefile->setVisible(page == 3);
  SpeedButtontext->setVisible(page == 3);
  checkDrawButton->setVisible(page == 3);
  if (page == 3) Panel6->repaint();
  if (page != before) focusPage(page);
}

void TForm1::nextPage() {
  pagechangeallowed = true;
  showPage(PageControl1->currentIndex() + 1);
  pagechangeallowed = false;
}

void TForm1::SpeedButtonpreviousClick() {
  // A draw checked belongs to the list as it stood; going back ends it.
  if (PageControl1->currentIndex() == 3) clearDrawCheck();
  pagechangeallowed = true;
  showPage(PageControl1->currentIndex() - 1);
  pagechangeallowed = false;
}

void TForm1::speedbuttonfinishClick() {
  pagechangeallowed = true;
  showPage(0);
  pagechangeallowed = false;
}

void TForm1::PageControl1Changing(bool& AllowChange) {
  AllowChange = pagechangeallowed;
  if (!AllowChange) desktop().messageBox(this, QStringLiteral("Please click \"Next >>\" or \"<< Previous\" button!"));
}

void TForm1::SpeedButtonnextClick() {
  switch (PageControl1->currentIndex()) {
    case 0: {
      if (!lotterychanged) {
        nextPage();
        return;
      }
      const QList<QTreeWidgetItem*> rows = ListView3->selectedItems();
      if (rows.isEmpty()) {
        desktop().messageBox(this, QStringLiteral("You have to choose a lottery!"));
        return;
      }
      const QTreeWidgetItem* row = rows.first();
      const int match = integerOf(row->text(2));
      const int from = integerOf(row->text(1));
      // The board has slots for the numbers 1 to 100 only: refuse any other
      // lottery size before anything changes.
      if (from < 1 || from > 100) {
        desktop().messageBox(this, QStringLiteral("The lottery \"%1\" draws from %2 numbers, but the number "
                                                  "board holds 1 to 100 numbers.")
                                       .arg(row->text(0))
                                       .arg(from));
        return;
      }
      Panel5->hide();
      Panel8->setText(ComboBoxEx1->currentText() + QLatin1Char(':') + row->text(0));
      pagechangeallowed = true;
      showPage(1);
      buttoncount = numbercount;
      wizardstate.pick = match;
      numbercount = from;
      buildBoard(numbercount, buttoncount);
      layoutBoard(40, 30, numbercount);
      pagechangeallowed = false;
      lotterychanged = false;
      clearSelection();
      Panel5->show();
      return;
    }
    case 1: {
      const auto chosen = static_cast<int>(selection.nosortlistbox.size());
      if (chosen < wizardstate.pick + 1) {
        desktop().messageBox(this, QStringLiteral("You should choose %1 more numbers.")
                                       .arg(wizardstate.pick + 1 - chosen));
        return;
      }
      pagechangeallowed = true;
      wizardstate.wheeltype = PageControl2->currentIndex() == 0 ? QStringLiteral("a") : QStringLiteral("k");
      ComboBox2->clear();
      ComboBox3->clear();
      showPage(2);
      // A failing survey must not leave the tabs open to the user.
      try {
        fillWheelLists();
      } catch (...) {
        pagechangeallowed = false;
        throw;
      }
      pagechangeallowed = false;
      return;
    }
    case 2:
    case 3:
      nextPage();
      return;
    default:
      return;
  }
}

void TForm1::SpeedButton3Click() {
  Taboutform form(this);
  desktop().runModal(form);
}

void TForm1::Label11Click() {
  Twheelform form(this);
  desktop().runModal(form);
}


