// Page 4's output: the printed lines and a printout to PDF read back, the
// text view window, and saving the tickets to a text file.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "output/textUnit.h"
#include "output/ticketoutput.h"
#include "wizardfixture.h"

namespace {

const QString kGap(13, ' ');

TEST(TicketOutputLines, PrintoutAndTextView) {
  const QStringList two = {"5 8 12 21 33 40", "1 2 3 4 5 6"};
  EXPECT_EQ(printoutLines(two), (QStringList{" ", " ", " ", " 5 8 12 21 33 40", " 1 2 3 4 5 6"}));
  EXPECT_EQ(printoutLines({}), (QStringList{" ", " ", " "}));
  EXPECT_EQ(textViewLines(two), (QStringList{"000" + kGap + "5 8 12 21 33 40", "001" + kGap + "1 2 3 4 5 6"}));
  EXPECT_TRUE(textViewLines({}).isEmpty());
  QStringList many;
  for (int i = 0; i < 1001; ++i) many << QString::number(i);
  const QStringList numbered = textViewLines(many);
  EXPECT_EQ(numbered[10], "010" + kGap + "10");
  EXPECT_EQ(numbered[100], "100" + kGap + "100");
  EXPECT_EQ(numbered[1000], "1000" + kGap + "1000");
}

class Output : public WizardFixture {
 protected:
  QTemporaryDir dir;

  void fill(int count, const QString& separator = " ") {
    for (int i = 1; i <= count; ++i)
      form.addTicket(QStringList{QString::number(i), "03", QString::number(i % 49 + 1)}.join(separator));
    form.showPage(3);
  }
  QString path(const QString& name) const { return dir.filePath(name); }
  static QByteArray read(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
  }
  // Answers the next modal dialog: a print dialog prints to `file` as PDF,
  // a save dialog chooses `file`.
  void answerWith(const QString& file) {
    desktop.onModal = [file](QDialog& dialog) {
      if (auto* print = qobject_cast<QPrintDialog*>(&dialog)) {
        print->printer()->setOutputFormat(QPrinter::PdfFormat);
        print->printer()->setOutputFileName(file);
      }
      if (auto* save = qobject_cast<QFileDialog*>(&dialog)) save->selectFile(file);
      return int(QDialog::Accepted);
    };
  }
  static QString pdfToText(const QStringList& arguments) {
    QProcess process;
    process.start("pdftotext", arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) return "<pdftotext failed>";
    return QString::fromUtf8(process.readAllStandardOutput());
  }
};

TEST_F(Output, TheTextViewNumbersEveryTicket) {
  fill(120);
  QStringList shown;
  QString caption;
  QSize size;
  desktop.onModal = [&](QDialog& dialog) {
    auto& textform = dynamic_cast<Ttextform&>(dialog);
    dialog.show();
    QCoreApplication::processEvents();
    shown = textform.Memo1->toPlainText().split('\n');
    caption = dialog.windowTitle();
    size = dialog.size();
    EXPECT_EQ(textform.Panel1->height(), 57);
    EXPECT_EQ(textform.Panel1->y(), 500 - 57);
    EXPECT_EQ(textform.Memo1->geometry().bottom() + 1, 500 - 57);
    EXPECT_EQ(textform.Button1->text(), "&Ok");
    EXPECT_EQ(textform.Button1->geometry(), QRect(688, 8, 137, 41));
    textform.Button1->click();
    return dialog.result();
  };
  click(form.SpeedButtontext);
  EXPECT_EQ(desktop.dialogs, QStringList{"Ttextform"});
  EXPECT_EQ(caption, "textform");
  EXPECT_EQ(size, QSize(870, 500));
  ASSERT_EQ(shown.size(), 120);
  for (int i = 0; i < 120; ++i)
    EXPECT_EQ(shown[i], QStringLiteral("%1").arg(i, 3, 10, QChar('0')) + kGap + QStringLiteral("%1 03 %2").arg(i + 1).arg((i + 1) % 49 + 1));
  EXPECT_EQ(shown[10].left(3), "010");
  EXPECT_EQ(shown[100].left(3), "100");

  // An empty list shows an empty text.
  form.ticketListView->clear();
  click(form.SpeedButtontext);
  EXPECT_EQ(shown, QStringList{""});
}

TEST_F(Output, PrintingToPdfGivesEveryTicketInOrderOverSeveralPages) {
  ASSERT_TRUE(dir.isValid());
  fill(300, ", ");
  const QString pdf = path("tickets.pdf");
  answerWith(pdf);
  click(form.SpeedButtonprinttickets);
  EXPECT_EQ(desktop.dialogs, QStringList{"QPrintDialog"});
  EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("|").toStdString();
  ASSERT_TRUE(QFile::exists(pdf));

  // Every ticket, in order, and nothing else.
  const QString text = pdfToText({pdf, "-"});
  const QStringList pages = text.split('\f', Qt::SkipEmptyParts);
  EXPECT_GE(pages.size(), 3);
  QStringList printed;
  for (const QString& line : text.split(QRegularExpression("[\n\f]"), Qt::SkipEmptyParts))
    if (!line.trimmed().isEmpty()) printed << line.trimmed();
  ASSERT_EQ(printed.size(), 300);
  for (int i = 1; i <= 300; ++i) EXPECT_EQ(printed[i - 1], QStringLiteral("%1, 03, %2").arg(i).arg(i % 49 + 1));

  // Where the lines sit: page 1 begins three lines lower than page 2, which
  // has no header; every ticket starts one blank in from the left edge.
  const QString boxes = pdfToText({"-bbox", "-f", "1", "-l", "2", pdf, "-"});
  const QRegularExpression wordBox(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re");
  QList<QList<double>> firstWords;  // per page: xMin, yMin, xMax of its first two lines' first words
  for (const QString& page : boxes.split("<page", Qt::SkipEmptyParts).mid(1)) {
    QList<double> values;
    auto it = wordBox.globalMatch(page);
    double lastY = -1;
    while (it.hasNext() && values.size() < 6) {
      const auto m = it.next();
      if (m.captured(2).toDouble() == lastY) continue;  // same line
      lastY = m.captured(2).toDouble();
      values << m.captured(1).toDouble() << lastY << m.captured(3).toDouble();
    }
    firstWords << values;
  }
  ASSERT_EQ(firstWords.size(), 2);
  ASSERT_EQ(firstWords[0].size(), 6);
  ASSERT_EQ(firstWords[1].size(), 6);
  const double lineHeight = firstWords[1][4] - firstWords[1][1];
  ASSERT_GT(lineHeight, 0);
  EXPECT_NEAR(firstWords[0][4] - firstWords[0][1], lineHeight, 0.01);
  EXPECT_NEAR(firstWords[0][1] - firstWords[1][1], 3 * lineHeight, 0.05);
  // "1," is two characters wide; the blank before it is one more, counted
  // from the left edge of the printable area.
  const double charWidth = (firstWords[0][2] - firstWords[0][0]) / 2;
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const double printableLeft = printer.pageLayout().paintRect(QPageLayout::Point).left();
  EXPECT_NEAR(firstWords[0][0] - charWidth, printableLeft, 0.3);
  EXPECT_NEAR(firstWords[1][0] - charWidth, printableLeft, 0.3);
}

TEST_F(Output, ACancelledOrFailingPrintout) {
  fill(3);
  const QString pdf = path("never.pdf");
  click(form.SpeedButtonprinttickets);  // cancelled
  EXPECT_FALSE(QFile::exists(pdf));
  EXPECT_TRUE(desktop.errors.isEmpty());

  const QString blocked = path("file") + "/inside.pdf";
  QFile file(path("file"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  answerWith(blocked);
  click(form.SpeedButtonprinttickets);
  ASSERT_EQ(desktop.errors.size(), 1);
  EXPECT_TRUE(desktop.errors[0].startsWith("Input/output error while printing to \"" + blocked + "\""))
      << desktop.errors[0].toStdString();
}

TEST_F(Output, AnEmptyListPrintsTheThreeBlankLinesOnly) {
  form.showPage(3);
  const QString pdf = path("empty.pdf");
  answerWith(pdf);
  click(form.SpeedButtonprinttickets);
  EXPECT_TRUE(desktop.errors.isEmpty());
  EXPECT_TRUE(pdfToText({pdf, "-"}).trimmed().isEmpty());
}

TEST_F(Output, SaveWritesOneLinePerTicket) {
  fill(3, ", ");
  const QString file = path("tickets.txt");
  answerWith(file);
  click(form.SpeedButtonsavefile);
  EXPECT_EQ(desktop.dialogs, QStringList{"QFileDialog"});
  EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.messages.join("|").toStdString();
  EXPECT_EQ(read(file), QByteArray("1, 03, 2\n2, 03, 3\n3, 03, 4\n"));

  // Saving again replaces the file as a whole.
  form.ticketListView->clear();
  form.addTicket("5 8 12 21 33 40");
  click(form.SpeedButtonsavefile);
  EXPECT_EQ(read(file), QByteArray("5 8 12 21 33 40\n"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"tickets.txt"});
}

TEST_F(Output, TheSaveDialogOffersTextFilesAndCancelWritesNothing) {
  fill(2);
  desktop.onModal = [](QDialog& dialog) {
    auto& save = dynamic_cast<QFileDialog&>(dialog);
    EXPECT_EQ(save.nameFilters(), QStringList{"*.txt (*.txt)"});
    EXPECT_EQ(save.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(save.defaultSuffix(), "");
    return int(QDialog::Rejected);
  };
  click(form.SpeedButtonsavefile);
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
  EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_F(Output, AnUnwritablePathIsReportedAndLeavesNothing) {
  fill(2);
  QFile blocker(path("notafolder"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.write("keep");
  blocker.close();
  for (const QString& target : {path("notafolder") + "/tickets.txt", path("missing/tickets.txt"), dir.path()}) {
    desktop.messages.clear();
    answerWith(target);
    click(form.SpeedButtonsavefile);
    ASSERT_EQ(desktop.messages.size(), 1) << target.toStdString();
    EXPECT_TRUE(desktop.messages[0].startsWith("The tickets could not be saved to \"" + target + "\": "))
        << desktop.messages[0].toStdString();
  }
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot),
            QStringList{"notafolder"});
  EXPECT_EQ(read(path("notafolder")), QByteArray("keep"));
}

}  // namespace
