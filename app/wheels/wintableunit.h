#pragma once
// Twintableform: "What it pays", the window that shows what one wheel gives
// for the current lottery and numbers: its win table (two for a key wheel,
// the key drawn and not drawn), the tickets that reach each prize level, and
// a chart of the chance per draw of each prize level beside as many random
// tickets. Created fresh for each opening.
//
// The table is counted on a worker thread that the window starts when it is
// created and owns: the window shows the progress and a Cancel button
// meanwhile, and stays responsive. Closing or destroying the window cancels
// the count and waits for the thread. The widgets are touched on the
// user-interface thread only.

#include <QDialog>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "wheelcore/winreport.h"

class QChartView;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTimer;

// What the window counts: the wheel's tickets over the chosen numbers.
struct WinTableRequest {
  QString title;      // what the window's top line says of the wheel and the lottery
  int from = 0;       // the lottery's numbers, 1..from
  int v = 0;          // chosen numbers
  int k = 0;          // numbers per ticket, and drawn
  bool keyWheel = false;
  std::vector<uint64_t> tickets;  // bit masks over the positions 0..v-1; position 0 is the key
};

class Twintableform : public QDialog {
  Q_OBJECT

 public:
  // REQUIRES: the request meets computeWheelReport's requirements.
  Twintableform(QWidget* parent, WinTableRequest request);
  ~Twintableform() override;

  QLabel* titleLabel = nullptr;
  QProgressBar* progressBar = nullptr;
  QPushButton* cancelButton = nullptr;
  QLabel* stateLabel = nullptr;  // "Counting ...", "Cancelled." or empty when done
  QTabWidget* tables = nullptr;  // the win tables and the ticket counts
  QTableWidget* chancesTable = nullptr;
  QChartView* chartView = nullptr;
  QPushButton* closeButton = nullptr;

  // Whether the count has ended (done or cancelled), and its result.
  bool finished() const { return finished_; }
  const std::optional<WheelReport>& report() const { return report_; }

  // Stops the count; the window stays open and says so.
  void cancel();

 protected:
  void done(int result) override;

 private:
  void poll();
  void showReport();
  void stopWorker();

  WinTableRequest request_;
  QTimer* pollTimer_ = nullptr;
  bool finished_ = false;
  std::optional<WheelReport> report_;

  // State below is shared with the worker thread.
  std::atomic<bool> cancel_{false};
  std::atomic<bool> workerDone_{false};
  std::atomic<int> permille_{0};
  std::optional<WheelReport> workerResult_;  // written by the worker before workerDone_ is set
  std::thread worker_;
};
