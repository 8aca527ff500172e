#include "wheels/wintableunit.h"

#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

namespace {

// "1 random ticket", "7 random tickets": the comparison the chart draws.
QString randomTicketsText(size_t count) {
  return count == 1 ? QStringLiteral("1 random ticket") : QStringLiteral("%1 random tickets").arg(count);
}

QTableWidgetItem* cell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

QTableWidget* tableWidget(int rows, const QStringList& columns) {
  auto* table = new QTableWidget(rows, static_cast<int>(columns.size()));
  table->setHorizontalHeaderLabels(columns);
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  return table;
}

// The rows of a table: the h for which sets exist.
QList<int> rowsOf(const WinTable& table) {
  QList<int> rows;
  for (int h = 0; h <= table.k; ++h)
    if (table.sets[static_cast<size_t>(h)] > 0) rows << h;
  return rows;
}

// For each h: the sets, how many of them have a best ticket of exactly j
// hits, and the guaranteed hits.
QTableWidget* waysTable(const WinTable& t) {
  QStringList columns{QStringLiteral("Drawn among chosen"), QStringLiteral("Ways")};
  for (int j = 0; j <= t.k; ++j) columns << QStringLiteral("Best %1").arg(j);
  columns << QStringLiteral("Guaranteed");
  const QList<int> rows = rowsOf(t);
  QTableWidget* table = tableWidget(static_cast<int>(rows.size()), columns);
  for (int r = 0; r < rows.size(); ++r) {
    const auto h = static_cast<size_t>(rows[r]);
    table->setItem(r, 0, cell(QString::number(rows[r])));
    table->setItem(r, 1, cell(QString::number(t.sets[h])));
    for (int j = 0; j <= t.k; ++j) table->setItem(r, 2 + j, cell(QString::number(t.ways[h][static_cast<size_t>(j)])));
    table->setItem(r, 3 + t.k, cell(QString::number(t.guaranteed(rows[r]))));
  }
  table->resizeColumnsToContents();
  return table;
}

// For each h and j >= 1: the tickets with at least j hits, at worst and on
// average over the sets of h.
QTableWidget* ticketsTable(const WinTable& t) {
  QStringList columns{QStringLiteral("Drawn among chosen")};
  for (int j = 1; j <= t.k; ++j) columns << QStringLiteral("%1+ hits: worst / average").arg(j);
  const QList<int> rows = rowsOf(t);
  QTableWidget* table = tableWidget(static_cast<int>(rows.size()), columns);
  for (int r = 0; r < rows.size(); ++r) {
    const auto h = static_cast<size_t>(rows[r]);
    table->setItem(r, 0, cell(QString::number(rows[r])));
    for (int j = 1; j <= t.k; ++j)
      table->setItem(r, j, cell(QStringLiteral("%1 / %2")
                                    .arg(t.fewestTickets[h][static_cast<size_t>(j)])
                                    .arg(t.averageTickets(rows[r], j), 0, 'f', 2)));
  }
  table->resizeColumnsToContents();
  return table;
}

}  // namespace

Twintableform::Twintableform(QWidget* parent, WinTableRequest request) : QDialog(parent), request_(std::move(request)) {
  setWindowTitle(QStringLiteral("What it pays"));
  resize(900, 640);

  titleLabel = new QLabel(request_.title);
  titleLabel->setWordWrap(true);
  progressBar = new QProgressBar;
  progressBar->setRange(0, 1000);
  cancelButton = new QPushButton(QStringLiteral("Cancel"));
  stateLabel = new QLabel(QStringLiteral("Counting every way the drawn numbers can fall among yours..."));
  tables = new QTabWidget;
  chancesTable = tableWidget(request_.k, {QStringLiteral("Prize level"), QStringLiteral("This wheel"),
                                          randomTicketsText(request_.tickets.size())});
  chartView = new QChartView;
  chartView->setRenderHint(QPainter::Antialiasing);
  chartView->setMinimumHeight(260);
  closeButton = new QPushButton(QStringLiteral("Close"));

  auto* progressRow = new QHBoxLayout;
  progressRow->addWidget(stateLabel);
  progressRow->addWidget(progressBar, 1);
  progressRow->addWidget(cancelButton);
  auto* chanceRow = new QHBoxLayout;
  chanceRow->addWidget(chancesTable, 2);
  chanceRow->addWidget(chartView, 3);
  auto* bottomRow = new QHBoxLayout;
  bottomRow->addStretch(1);
  bottomRow->addWidget(closeButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(titleLabel);
  layout->addLayout(progressRow);
  layout->addWidget(tables, 1);
  layout->addLayout(chanceRow, 1);
  layout->addLayout(bottomRow);

  connect(cancelButton, &QPushButton::clicked, this, &Twintableform::cancel);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);

  pollTimer_ = new QTimer(this);
  pollTimer_->setInterval(50);
  connect(pollTimer_, &QTimer::timeout, this, &Twintableform::poll);
  pollTimer_->start();
  worker_ = std::thread([this] {
    WinTableOptions options;
    options.cancel = &cancel_;
    options.progress = [this](double done) { permille_ = static_cast<int>(done * 1000); };
    workerResult_ = computeWheelReport(request_.from, request_.v, request_.k, request_.tickets, request_.keyWheel,
                                       options);
    workerDone_ = true;
  });
}

Twintableform::~Twintableform() { stopWorker(); }

void Twintableform::stopWorker() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

void Twintableform::done(int result) {
  stopWorker();
  QDialog::done(result);
}

void Twintableform::cancel() {
  if (finished_) return;
  stopWorker();
  pollTimer_->stop();
  finished_ = true;
  progressBar->hide();
  cancelButton->hide();
  stateLabel->setText(QStringLiteral("Cancelled: nothing was counted."));
}

void Twintableform::poll() {
  progressBar->setValue(permille_.load());
  if (!workerDone_) return;
  pollTimer_->stop();
  worker_.join();
  finished_ = true;
  report_ = std::move(workerResult_);
  progressBar->hide();
  cancelButton->hide();
  if (!report_) {
    stateLabel->setText(QStringLiteral("Cancelled: nothing was counted."));
    return;
  }
  stateLabel->clear();
  stateLabel->hide();
  showReport();
}

void Twintableform::showReport() {
  const WheelReport& r = *report_;
  for (const WinTable& t : r.tables) {
    const QString key = !r.keyWheel                  ? QString()
                        : t.key == KeyCount::drawn ? QStringLiteral(", key drawn")
                                                   : QStringLiteral(", key not drawn");
    tables->addTab(waysTable(t), QStringLiteral("Win table%1").arg(key));
    tables->addTab(ticketsTable(t), QStringLiteral("Tickets per prize level%1").arg(key));
  }

  auto* wheel = new QLineSeries;
  wheel->setName(QStringLiteral("This wheel"));
  auto* random = new QLineSeries;
  random->setName(randomTicketsText(r.tickets));
  double lowest = 1;
  for (int j = 1; j <= r.k; ++j) {
    const auto level = static_cast<size_t>(j);
    chancesTable->setItem(j - 1, 0, cell(j == 1 ? QStringLiteral("1 hit") : QStringLiteral("%1 hits").arg(j)));
    chancesTable->setItem(j - 1, 1, cell(QString::fromStdString(oddsText(r.wheelChance[level]))));
    chancesTable->setItem(j - 1, 2, cell(QString::fromStdString(oddsText(r.randomChance[level]))));
    // A log axis cannot show a chance of 0: such a point is left out.
    if (r.wheelChance[level] > 0) wheel->append(j, r.wheelChance[level]);
    if (r.randomChance[level] > 0) random->append(j, r.randomChance[level]);
    for (double chance : {r.wheelChance[level], r.randomChance[level]})
      if (chance > 0) lowest = std::min(lowest, chance);
  }
  chancesTable->resizeColumnsToContents();
  for (QLineSeries* series : {wheel, random}) series->setPointsVisible(true);

  auto* chart = new QChart;
  chart->setTitle(QStringLiteral("Chance per draw of at least j hits on one ticket"));
  chart->addSeries(wheel);
  chart->addSeries(random);
  auto* hits = new QValueAxis;
  hits->setRange(1, std::max(2, r.k));
  hits->setTickCount(std::max(2, r.k));
  hits->setLabelFormat(QStringLiteral("%d"));
  hits->setTitleText(QStringLiteral("hits (j)"));
  auto* chance = new QLogValueAxis;
  chance->setBase(10);
  chance->setLabelFormat(QStringLiteral("%g"));
  chance->setRange(lowest / 2, 1.5);
  chance->setTitleText(QStringLiteral("chance per draw"));
  chart->addAxis(hits, Qt::AlignBottom);
  chart->addAxis(chance, Qt::AlignLeft);
  for (QLineSeries* series : {wheel, random}) {
    series->attachAxis(hits);
    series->attachAxis(chance);
  }
  chart->legend()->setAlignment(Qt::AlignBottom);
  chartView->setChart(chart);
}
