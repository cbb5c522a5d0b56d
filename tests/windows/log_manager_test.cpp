#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

#include <map>
#include <optional>

#include "charts/chart_window.h"
#include "export/export_dialog.h"
#include "library/log_info_dialog.h"
#include "library/log_library.h"
#include "library/merge_dialog.h"
#include "log_manager/log_manager_dialog.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "support/event_wait.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "widgets/written_summary.h"
#include "window_settings.h"

namespace trevalo {
namespace {

class LogManagerTest : public ::testing::Test {
 protected:
  LogManagerTest() {
    settings_ = test::WindowSettings(home_.path());
    settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
    texts_ = LanguageTexts::Load(*settings_);
  }
  // A log starting at hh:mm on 2009-05-17 (UTC), one point a minute.
  QString Log(const QString& name, int hour, int minutes) {
    const QString path = home_.filePath(name);
    test::WriteFile(
        path, test::GenerateLog({.hour = hour, .epochs = minutes + 1, .intervalSeconds = 60}));
    return path;
  }
  // The column's texts joined with "|".
  static std::string Column(const QTableWidget* list, int column) {
    QStringList texts;
    for (int row = 0; row < list->rowCount(); ++row) {
      texts << list->item(row, column)->text();
    }
    return texts.join(u'|').toStdString();
  }

  QTemporaryDir home_;
  std::unique_ptr<Settings> settings_;
  LanguageTexts texts_;
  MatchSettings match_;
};

TEST_F(LogManagerTest, TheWindowAnswersWhileALongTrackIsWrittenForTheMap) {
  const QString path = home_.filePath(QStringLiteral("day.log"));
  test::WriteFile(path, test::GenerateLog(
                            {.epochs = 200'000, .climbPerEpoch = 0.001, .deviceSentences = false}));
  LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
  library.AddLog(path, 5, 1, 0);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  manager.show();
  manager.findChild<QTableWidget*>(QStringLiteral("logList"))->selectRow(0);
  std::optional<MapRequest> shown;
  QObject::connect(&manager, &LogManagerDialog::tracksRequested,
                   [&](const MapRequest& request) { shown = request; });
  // While the file is written the window's thread keeps answering.
  test::AnswerGaps gaps;
  gaps.Start();
  manager.findChild<QPushButton*>(QStringLiteral("showTracksButton"))->click();
  const qint64 took = gaps.Stop();
  ASSERT_TRUE(shown.has_value());
  EXPECT_TRUE(shown->problems.isEmpty()) << shown->problems.join(u'\n').toStdString();
  EXPECT_EQ(
      test::ReadFile(settings_->folders().cacheFolder + QStringLiteral("/TRXMLONLYTRACKS.xml"))
          .count("<point "),
      200'000);
  EXPECT_GE(gaps.ticks(), 5) << "the command took " << took << " ms";
  EXPECT_LT(gaps.longest(), 200) << "the command took " << took << " ms";
}

TEST_F(LogManagerTest, TheWindowAnswersWhileTheChartsOfALongLogArePrepared) {
  const QString path = home_.filePath(QStringLiteral("day.log"));
  test::WriteFile(path, test::GenerateLog({.epochs = 200'000, .climbPerEpoch = 0.001}));
  LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
  library.AddLog(path, 5, 1, 0);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  manager.show();
  manager.findChild<QTableWidget*>(QStringLiteral("logList"))->selectRow(0);
  // The browser engine starts once per program, with the main window's map page, before
  // the log manager can be opened: not part of the command.
  QWebEngineView mainWindowsMap;
  ASSERT_TRUE(test::Wait([&](auto done) {
    QObject::connect(&mainWindowsMap, &QWebEngineView::loadFinished, done);
    mainWindowsMap.setHtml(QStringLiteral("<p>map</p>"));
  }));
  // The window's thread answers until the chart window is up.
  test::AnswerGaps gaps;
  qint64 took = 0;
  QString fileNameShown;
  test::AnswerWhenShown<ChartWindow>(&manager, [&](ChartWindow* window) {
    took = gaps.Stop();
    const auto* statistics = window->findChild<QTableWidget*>(QStringLiteral("statistics"));
    fileNameShown = statistics->item(statistics->rowCount() - 1, 1)->text();
    window->accept();
  });
  gaps.Start();
  manager.findChild<QPushButton*>(QStringLiteral("chartButton"))->click();
  EXPECT_EQ(fileNameShown, QStringLiteral("day.log"));
  for (const char* page :
       {"CHT_DISTALT.cht", "CHT_TIMEALT.cht", "CHT_DISTSPD.cht", "CHT_TIMESPD.cht"}) {
    EXPECT_TRUE(QFileInfo::exists(settings_->folders().cacheFolder + u'/' + QLatin1String(page)))
        << page;
  }
#if !defined(__SANITIZE_ADDRESS__)  // instrumented code is several times slower
  EXPECT_LT(gaps.longest(), 200) << "the command took " << took << " ms";
#else
  (void)took;
#endif
}

TEST_F(LogManagerTest, TheWindowAnswersWhileALongLogIsAddedAndExported) {
  const QString path = home_.filePath(QStringLiteral("day.log"));
  test::WriteFile(path, test::GenerateLog({.epochs = 200'000, .climbPerEpoch = 0.001}));
  LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  manager.show();
  auto* list = manager.findChild<QTableWidget*>(QStringLiteral("logList"));

  // Adding reads the whole log to scan it.
  test::AnswerGaps gaps;
  gaps.Start();
  manager.AddLogs({path});
  const qint64 adding = gaps.Stop();
  ASSERT_EQ(list->rowCount(), 1);
  const qint64 addingLongest = gaps.longest();

  // Exporting loads every point and writes it.
  const QString out = home_.filePath(QStringLiteral("out"));
  QDir().mkpath(out);
  list->selectRow(0);
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<ExportDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->SetExportFolder(out);
    dialog->findChild<QLineEdit*>(QStringLiteral("fileName"))->setText(QStringLiteral("day"));
    test::AnswerWhenShown<QMessageBox>(&manager, [&](QMessageBox* box) {
      gaps.Stop();
      box->close();
    });
    gaps.Start();
    dialog->findChild<QPushButton*>(QStringLiteral("exportButton"))->click();
  });
  manager.ExportSelected();
  const qint64 exporting = gaps.Stop();
  EXPECT_GE(test::ReadFile(out + QStringLiteral("/day.KML")).count("\n"), 200'000)
      << "every point on a line of its own";
#if !defined(__SANITIZE_ADDRESS__)  // instrumented code is several times slower
  EXPECT_LT(addingLongest, 200) << "adding took " << adding << " ms";
  EXPECT_LT(gaps.longest(), 200) << "exporting took " << exporting << " ms";
#else
  (void)adding;
  (void)addingLongest;
  (void)exporting;
#endif
}

TEST_F(LogManagerTest, ListsTheLibraryInOrderWithItsTexts) {
  LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
  library.AddLog(Log(QStringLiteral("ten.log"), 10, 30), 6, 2, -330);
  library.AddLog(Log(QStringLiteral("nine.log"), 9, 30), 0, 0, 0);
  library.AddLog(Log(QStringLiteral("ten-long.log"), 10, 90), 0, 5, 900);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  const auto* list = manager.findChild<QTableWidget*>(QStringLiteral("logList"));

  EXPECT_EQ(Column(list, LogManagerDialog::kFileName), "nine.log|ten-long.log|ten.log");
  EXPECT_EQ(Column(list, LogManagerDialog::kTimeZone), "GMT|GMT +09:00|GMT -03:30");
  EXPECT_EQ(list->item(0, LogManagerDialog::kWidth)->text(), QStringLiteral("8  Pixel"));
  EXPECT_EQ(list->item(1, LogManagerDialog::kWidth)->text(), QStringLiteral("3  Pixel"));
  // The colour cell is a swatch of the palette colour (index 6 is red).
  const QTableWidgetItem* red = list->item(2, LogManagerDialog::kColor);
  EXPECT_EQ(red->text(), QStringLiteral("6"));
  EXPECT_EQ(red->background().color(), QColor(255, 0, 0));
  EXPECT_EQ(red->foreground().color(), QColor(255, 0, 0));
  EXPECT_EQ(list->item(2, LogManagerDialog::kStart)->text(), QStringLiteral("2009-05-17 06:30:00"));

  // Column widths: fifths of the list, 50 for colour and width, unless stored.
  EXPECT_EQ(LogManagerDialog::ColumnWidths(*settings_, 1000),
            (std::vector<int>{200, 50, 50, 200, 200, 200, 200, 400}));
}

TEST_F(LogManagerTest, ALogWithSentencesChangedOnTheWaySaysHowManyItLeftOut) {
  LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
  const QString damaged = home_.filePath(QStringLiteral("damaged.log"));
  std::uint32_t refused = 0;
  test::WriteFile(damaged, test::AddReceiverNoise(test::GenerateLog({.hour = 8, .epochs = 5}),
                                                  test::ReceiverNoise::kCorruptedCopies, &refused));
  library.AddLog(damaged, 0, 0, 0);
  library.AddLog(Log(QStringLiteral("nine.log"), 9, 30), 0, 0, 0);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  const auto* list = manager.findChild<QTableWidget*>(QStringLiteral("logList"));
  ASSERT_EQ(Column(list, LogManagerDialog::kFileName), "damaged.log|nine.log");
  const QString told = list->item(0, LogManagerDialog::kStart)->toolTip();
  EXPECT_TRUE(told.contains(QString::number(refused) + QStringLiteral(" RMC sentences")))
      << told.toStdString();
  EXPECT_TRUE(list->item(1, LogManagerDialog::kStart)->toolTip().isEmpty());
}

TEST_F(LogManagerTest, TheAddDialogOffersLogsGpxAndAllFiles) {
  EXPECT_EQ(LogFileFilter(texts_).toStdString(),
            "Logs and GPX tracks (*.log *.nmea *.gpx);;GPX tracks (*.gpx);;All files (*)");
}

TEST_F(LogManagerTest, AddsEachLogOnceAndRemovesAfterAsking) {
  LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  const QString a = Log(QStringLiteral("a.log"), 8, 10);
  const QString noTimes = home_.filePath(QStringLiteral("empty.log"));
  test::WriteFile(noTimes, "no sentences");
  // What is not added is told in one message, with why; a log given twice is added once.
  QString told;
  test::AnswerWhenShown<QMessageBox>(&manager, [&](QMessageBox* box) {
    EXPECT_EQ(box->objectName(), QStringLiteral("addProblems"));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    told = box->text();
    box->button(QMessageBox::Ok)->click();
  });
  manager.AddLogs({a, a, home_.filePath(QStringLiteral("A.LOG")), noTimes,
                   Log(QStringLiteral("b.log"), 9, 10)});
  auto* list = manager.findChild<QTableWidget*>(QStringLiteral("logList"));
  EXPECT_EQ(Column(list, LogManagerDialog::kFileName), "a.log|b.log");
  const QStringList lines = told.split(u'\n');
  ASSERT_EQ(lines.size(), 2) << told.toStdString();
  // In the language file's words, not the reader's.
  EXPECT_EQ(lines[0], home_.filePath(QStringLiteral("A.LOG")) + QStringLiteral(": ") +
                          texts_.Text(QStringLiteral("GPSMAN_REASON_UNREADABLE")));
  EXPECT_EQ(lines[1],
            noTimes + QStringLiteral(": ") + texts_.Text(QStringLiteral("GPSMAN_REASON_NOTIMES")));
  EXPECT_EQ(settings_->ReadSetting(setting::kPathLog), home_.path() + u'/');

  auto* remove = manager.findChild<QPushButton*>(QStringLiteral("removeLogsButton"));
  EXPECT_FALSE(remove->isEnabled());
  list->selectRow(0);
  EXPECT_TRUE(remove->isEnabled());
  QTimer::singleShot(0, [] {
    auto* ask = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(ask, nullptr);
    ask->button(QMessageBox::Yes)->click();
  });
  remove->click();
  EXPECT_EQ(Column(list, LogManagerDialog::kFileName), "b.log");
  EXPECT_TRUE(QFile::exists(a)) << "the log file stays on disk";
  EXPECT_EQ(LogLibrary(home_.filePath(QStringLiteral("Wayfable Logs")), 0).size(), 1u);
}

TEST_F(LogManagerTest, ShowsWhatOtherProgramsChangeAndKeepsTheSelection) {
  const QString folder = home_.filePath(QStringLiteral("Wayfable Logs"));
  LogLibrary library(folder, 0);
  library.AddLog(Log(QStringLiteral("b.log"), 9, 10), 0, 0, 0);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  manager.show();
  auto* list = manager.findChild<QTableWidget*>(QStringLiteral("logList"));
  list->selectRow(0);
  // trevalo-cli, say, adds an earlier log: the list shows it, and b.log stays selected.
  LogLibrary other(folder, 0);
  ASSERT_TRUE(other.AddLog(Log(QStringLiteral("a.log"), 8, 10), 0, 0, 0).done());
  EXPECT_TRUE(test::Wait([&](auto done) {
    auto* poll = new QTimer(&manager);
    QObject::connect(poll, &QTimer::timeout, [&, done] {
      if (list->rowCount() == 2) {
        done();
      }
    });
    poll->start(20);
  }));
  EXPECT_EQ(Column(list, LogManagerDialog::kFileName), "a.log|b.log");
  ASSERT_EQ(list->selectionModel()->selectedRows().size(), 1);
  EXPECT_EQ(list->selectionModel()->selectedRows()[0].row(), 1);

  // A database damaged by hand: its unread lines are told above the list.
  auto* problems = manager.findChild<QLabel*>(QStringLiteral("libraryFileProblems"));
  EXPECT_TRUE(problems->isHidden());
  QByteArray bytes = test::ReadFile(library.databasePath());
  bytes.append(QByteArray("x\0y\0", 4));
  test::WriteFile(library.databasePath(),
                  std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  manager.PickUpOutsideChanges();
  EXPECT_FALSE(problems->isHidden());
  EXPECT_EQ(problems->textFormat(), Qt::PlainText);
  EXPECT_TRUE(problems->text().contains(QStringLiteral("line 3: cut off")))
      << problems->text().toStdString();
  // The window as the user sees it, for a look by eye.
  manager.resize(920, 420);
  manager.show();
  QDir().mkpath(test::BinaryFolder() + QStringLiteral("/../test-output"));
  manager.grab().save(test::BinaryFolder() +
                      QStringLiteral("/../test-output/log-manager-damaged-library.png"));
}

TEST_F(LogManagerTest, ALogWhoseFileIsGoneIsListedAndCanBeRemoved) {
  const QString gone = Log(QStringLiteral("gone.log"), 8, 10);
  {
    LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
    library.AddLog(gone, 3, 1, 100);
    library.AddLog(Log(QStringLiteral("here.log"), 9, 10), 0, 0, 0);
  }
  QFile::remove(gone);
  LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  auto* list = manager.findChild<QTableWidget*>(QStringLiteral("logList"));
  EXPECT_EQ(Column(list, LogManagerDialog::kFileName), "here.log|gone.log");
  EXPECT_EQ(list->item(1, LogManagerDialog::kTimeZone)->text(), QStringLiteral("GMT +01:00"));
  list->selectRow(1);
  QTimer::singleShot(0, [] {
    qobject_cast<QMessageBox*>(QApplication::activeModalWidget())
        ->button(QMessageBox::Yes)
        ->click();
  });
  manager.RemoveSelected();
  EXPECT_EQ(Column(list, LogManagerDialog::kFileName), "here.log");
  EXPECT_TRUE(library.unavailable().empty());
}

TEST_F(LogManagerTest, AColumnsHeaderOrdersTheRowsByItsValueAndCommandsFollowTheRows) {
  const QString gone = Log(QStringLiteral("day10.log"), 7, 10);
  {
    LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
    library.AddLog(gone, 3, 1, 100);
    library.AddLog(Log(QStringLiteral("day9.log"), 11, 10), 6, 0, -330);
    library.AddLog(Log(QStringLiteral("Day11.log"), 8, 30), 0, 2, 0);
    library.AddLog(Log(QStringLiteral("day100.log"), 9, 10), 1, 0, 900);
  }
  QFile::remove(gone);
  LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  auto* list = manager.findChild<QTableWidget*>(QStringLiteral("logList"));
  // The library's own order (by start), the unavailable log last.
  EXPECT_EQ(Column(list, LogManagerDialog::kFileName), "Day11.log|day100.log|day9.log|day10.log");

  auto* header = list->horizontalHeader();
  const auto click = [&](int column) { Q_EMIT header->sectionClicked(column); };
  click(LogManagerDialog::kFileName);  // numbers by value, case aside
  EXPECT_EQ(Column(list, LogManagerDialog::kFileName), "day9.log|day10.log|Day11.log|day100.log");
  EXPECT_EQ(header->sortIndicatorSection(), LogManagerDialog::kFileName);
  click(LogManagerDialog::kFileName);
  EXPECT_EQ(Column(list, LogManagerDialog::kFileName), "day100.log|Day11.log|day10.log|day9.log");
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
  click(LogManagerDialog::kTimeZone);  // by the zone's value, not its text
  EXPECT_EQ(Column(list, LogManagerDialog::kTimeZone), "GMT -03:30|GMT|GMT +01:00|GMT +09:00");
  click(LogManagerDialog::kColor);
  EXPECT_EQ(Column(list, LogManagerDialog::kColor), "0|1|3|6");
  // Times as shown, local to each log's zone; a log without them comes last both ways.
  click(LogManagerDialog::kEnd);
  EXPECT_EQ(Column(list, LogManagerDialog::kFileName), "day9.log|Day11.log|day100.log|day10.log");
  click(LogManagerDialog::kEnd);
  EXPECT_EQ(Column(list, LogManagerDialog::kFileName), "day100.log|Day11.log|day9.log|day10.log");

  // The commands take the logs the rows show, and the order stays through a change.
  list->selectRow(0);
  test::AnswerWhenShown<QMessageBox>(
      &manager, [](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
  manager.RemoveSelected();
  EXPECT_EQ(Column(list, LogManagerDialog::kFileName), "Day11.log|day9.log|day10.log");
  list->selectRow(1);
  test::AnswerWhenShown<LogInfoDialog>(&manager, [](LogInfoDialog* editor) {
    EXPECT_TRUE(editor->findChild<QLineEdit*>(QStringLiteral("path"))
                    ->text()
                    .endsWith(QStringLiteral("/day9.log")));
    editor->reject();
  });
  manager.EditDetails();
}

TEST_F(LogManagerTest, MergingJoinsLogsThatDoNotOverlapAndRefusesThoseThatDo) {
  LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
  library.AddLog(Log(QStringLiteral("0517.log"), 10, 30), 0, 0, 900);
  library.AddLog(Log(QStringLiteral("later.log"), 11, 30), 0, 0, 0);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  auto* list = manager.findChild<QTableWidget*>(QStringLiteral("logList"));
  auto* merge = manager.findChild<QPushButton*>(QStringLiteral("mergeButton"));
  list->selectRow(0);
  EXPECT_FALSE(merge->isEnabled());

  list->selectionModel()->select(list->model()->index(1, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  EXPECT_TRUE(merge->isEnabled());
  QTimer::singleShot(0, [this] {
    auto* dialog = qobject_cast<MergeDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("logName"));
    EXPECT_EQ(name->text(), QStringLiteral("M_0517"));
    EXPECT_FALSE(
        dialog->findChild<QLabel*>(QStringLiteral("discontinuityWarning"))->isVisibleTo(dialog));
    dialog->SetOutputFolder(home_.path());
    name->setText(QStringLiteral("a:b?c"));
    dialog->findChild<QPushButton*>(QStringLiteral("mergeButton"))->click();
  });
  merge->click();
  EXPECT_EQ(Column(list, LogManagerDialog::kFileName), "a_b_c.LOG");
  EXPECT_EQ(list->item(0, LogManagerDialog::kTimeZone)->text(), QStringLiteral("GMT +09:00"));
  EXPECT_TRUE(QFile::exists(home_.filePath(QStringLiteral("0517.log")))) << "sources stay on disk";
  EXPECT_EQ(settings_->ReadSetting(setting::kPathLog), home_.path() + u'/');

  // The merged log (10:00 to 11:30 UTC) and one that starts inside it.
  test::WriteFile(
      home_.filePath(QStringLiteral("inside.log")),
      test::GenerateLog({.hour = 10, .minute = 15, .epochs = 5, .intervalSeconds = 60}));
  library.AddLog(home_.filePath(QStringLiteral("inside.log")), 0, 0, 900);
  manager.RefreshList();
  list->selectAll();
  QString told;
  QTimer::singleShot(0, [&told] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    told = box->text();
    box->close();
  });
  manager.MergeSelected();
  EXPECT_EQ(told, texts_.Text(QStringLiteral("LOGMERGE_TEXT_ERRTIMECONFLICT")));
  EXPECT_EQ(library.size(), 2u) << "nothing changes";
}

TEST_F(LogManagerTest, ExportsTheSelectedLogsIntoOneFileOrOneEach) {
  LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
  library.AddLog(Log(QStringLiteral("a.log"), 8, 10), 0, 0, 0);
  library.AddLog(Log(QStringLiteral("b.log"), 9, 10), 0, 0, 0);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  auto* list = manager.findChild<QTableWidget*>(QStringLiteral("logList"));
  list->selectAll();
  const QString out = home_.filePath(QStringLiteral("out"));
  QDir().mkpath(out);

  QStringList opened;
  const FolderOpener before = ReplaceFolderOpener([&opened](const QString& folder) {
    opened << folder;
    return true;
  });
  QString summary;

  // One GPX file under a cleaned name.
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<ExportDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->findChild<QRadioButton*>(QStringLiteral("formatKml"))->isChecked());
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("logCount"))->text(), QStringLiteral("2"));
    dialog->findChild<QRadioButton*>(QStringLiteral("formatGpx"))->setChecked(true);
    dialog->SetExportFolder(out);
    dialog->findChild<QLineEdit*>(QStringLiteral("fileName"))->setText(QStringLiteral("my:trip"));
    // What was written is told, and its folder opens from the message.
    test::AnswerWhenShown<QMessageBox>(&manager, [&summary](QMessageBox* box) {
      summary = box->text();
      box->findChild<QPushButton*>(QStringLiteral("openFolderButton"))->click();
    });
    dialog->findChild<QPushButton*>(QStringLiteral("exportButton"))->click();
  });
  manager.ExportSelected();
  EXPECT_EQ(summary, QStringLiteral("1 file(s) written to %1.").arg(out));
  EXPECT_EQ(opened, QStringList{out});
  const QByteArray gpx = test::ReadFile(out + QStringLiteral("/my_trip.GPX"));
  EXPECT_EQ(gpx.count("<trk>"), 2);
  EXPECT_EQ(settings_->ReadSetting(setting::kPathExport), out + u'/');
  EXPECT_EQ(settings_->ReadSetting(setting::kTagApply), QStringLiteral("0"));

  // One KML file per log, then "Completed..".
  QString completed;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<ExportDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileName"));
    dialog->findChild<QCheckBox*>(QStringLiteral("batch"))->setChecked(true);
    EXPECT_FALSE(name->isEnabled());
    // The message comes after the export, once the export window has closed.
    test::AnswerWhenShown<QMessageBox>(&manager, [&completed](QMessageBox* box) {
      completed = box->text();
      box->close();
    });
    dialog->findChild<QPushButton*>(QStringLiteral("exportButton"))->click();
  });
  manager.ExportSelected();
  EXPECT_EQ(completed, QStringLiteral("Completed..\n2 file(s) written to %1.").arg(out));
  EXPECT_TRUE(QFile::exists(out + QStringLiteral("/a.KML")));
  EXPECT_TRUE(QFile::exists(out + QStringLiteral("/b.KML")));
  EXPECT_EQ(opened, QStringList{out}) << "closing the message opens nothing";
  ReplaceFolderOpener(before);
}

TEST_F(LogManagerTest, AnExportThatWouldReplaceALogIsRefusedAndSaysSo) {
  LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
  const QString out = home_.filePath(QStringLiteral("out"));
  QDir().mkpath(out);
  // A log whose batch output is itself, and a name the message must show as written.
  const QString log = out + QStringLiteral("/<b>day.GPX");
  test::WriteFile(log, test::GenerateLog({.hour = 8, .epochs = 11, .intervalSeconds = 60}));
  const QByteArray before = test::ReadFile(log);
  library.AddLog(log, 0, 0, 0);
  ASSERT_EQ(library.size(), 1u);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  manager.findChild<QTableWidget*>(QStringLiteral("logList"))->selectAll();

  QString boxName;
  QString boxText;
  Qt::TextFormat boxFormat = Qt::AutoText;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<ExportDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QRadioButton*>(QStringLiteral("formatGpx"))->setChecked(true);
    dialog->findChild<QCheckBox*>(QStringLiteral("batch"))->setChecked(true);
    dialog->SetExportFolder(out);
    auto* poll = new QTimer(&manager);
    QObject::connect(poll, &QTimer::timeout, [&, poll] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxName = box->objectName();
        boxText = box->text();
        boxFormat = box->textFormat();
        box->close();
        poll->deleteLater();
      }
    });
    poll->start(10);
    dialog->findChild<QPushButton*>(QStringLiteral("exportButton"))->click();
  });
  manager.ExportSelected();
  EXPECT_EQ(boxName.toStdString(), "exportProblems");
  EXPECT_TRUE(boxText.contains(log)) << boxText.toStdString();
  EXPECT_EQ(boxFormat, Qt::PlainText);  // the name shows as written, not in bold
  EXPECT_EQ(test::ReadFile(log), before);
}

TEST_F(LogManagerTest, WarningsShowFileNamesAsWritten) {
  LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
  const QString log = Log(QStringLiteral("<img src=x.png><b>walk.log"), 8, 10);
  library.AddLog(log, 0, 0, 0);
  ASSERT_EQ(library.size(), 1u);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  manager.findChild<QTableWidget*>(QStringLiteral("logList"))->selectAll();
  QFile::remove(log);  // the chart cannot load it and says which log

  QString boxText;
  Qt::TextFormat boxFormat = Qt::AutoText;
  // The log is loaded off the window's thread: the warning comes once that is done.
  test::AnswerWhenShown<QMessageBox>(&manager, [&](QMessageBox* box) {
    boxText = box->text();
    boxFormat = box->textFormat();
    box->close();
  });
  manager.ShowChart();
  EXPECT_TRUE(boxText.contains(log)) << boxText.toStdString();
  EXPECT_EQ(boxFormat, Qt::PlainText);
}

TEST_F(LogManagerTest, TheEditorStoresCommentZoneColourAndWidth) {
  LogLibrary library(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
  library.AddLog(Log(QStringLiteral("a.log"), 10, 30), 0, 0, 845);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  auto* list = manager.findChild<QTableWidget*>(QStringLiteral("logList"));
  list->selectRow(0);
  {
    // A zone outside the list leaves the list without a choice, and saving keeps it.
    LogInfoDialog editor(texts_, library.log(0), QStringLiteral("%H:%M"));
    EXPECT_EQ(editor.findChild<QComboBox*>(QStringLiteral("timeZone"))->currentIndex(), -1);
    EXPECT_EQ(editor.timeZone(), 845);
  }
  QTimer::singleShot(0, [] {
    auto* editor = qobject_cast<LogInfoDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->findChild<QLabel*>(QStringLiteral("start"))->text(),
              QStringLiteral("2009-05-17 18:45:00"));
    auto* zones = editor->findChild<QComboBox*>(QStringLiteral("timeZone"));
    zones->setCurrentIndex(zones->findData(-330));
    editor->findChild<QComboBox*>(QStringLiteral("color"))->setCurrentIndex(6);
    editor->findChild<QComboBox*>(QStringLiteral("lineWidth"))->setCurrentIndex(3);
    editor->findChild<QLineEdit*>(QStringLiteral("comment"))
        ->setText(QStringLiteral("the \"long\" ride"));
    editor->findChild<QPushButton*>(QStringLiteral("saveButton"))->click();
  });
  manager.EditDetails();
  EXPECT_EQ(Column(list, LogManagerDialog::kTimeZone), "GMT -03:30");
  EXPECT_EQ(Column(list, LogManagerDialog::kStart), "2009-05-17 06:30:00");
  EXPECT_EQ(Column(list, LogManagerDialog::kComment), "the 'long' ride");
  EXPECT_EQ(Column(list, LogManagerDialog::kColor), "6");
  EXPECT_EQ(Column(list, LogManagerDialog::kWidth), "5  Pixel");
  // Saved and read again.
  LogLibrary reread(home_.filePath(QStringLiteral("Wayfable Logs")), 0);
  EXPECT_EQ(reread.log(0).timeZone(), -330);
  EXPECT_EQ(reread.log(0).comment(), QStringLiteral("the 'long' ride"));
}

TEST_F(LogManagerTest, AnUnavailableLogSaysWhyAndOnlyRemoveCountsIt) {
  const QString folder = home_.filePath(QStringLiteral("Wayfable Logs"));
  const QString gone = Log(QStringLiteral("gone.log"), 8, 10);
  const QString unreadable = Log(QStringLiteral("locked.log"), 7, 10);
  {
    LogLibrary library(folder, 0);
    library.AddLog(gone, 3, 1, 100);
    library.AddLog(unreadable, 0, 0, 0);
    library.AddLog(Log(QStringLiteral("here.log"), 9, 10), 0, 0, 0);
    library.AddLog(Log(QStringLiteral("there.log"), 11, 10), 0, 0, 0);
  }
  QFile::remove(gone);
  QFile::remove(unreadable);
  QDir().mkpath(unreadable);  // there, but no log file to read
  LogLibrary library(folder, 0);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  auto* list = manager.findChild<QTableWidget*>(QStringLiteral("logList"));
  ASSERT_EQ(Column(list, LogManagerDialog::kFileName), "here.log|there.log|locked.log|gone.log");
  // The row says why in the place of the times it does not know, and its tooltip says more.
  EXPECT_EQ(list->item(2, LogManagerDialog::kStart)->text(),
            texts_.Text(QStringLiteral("GPSMAN_TEXT_FILEUNREADABLE")));
  EXPECT_EQ(list->item(3, LogManagerDialog::kStart)->text(),
            texts_.Text(QStringLiteral("GPSMAN_TEXT_FILEMISSING")));
  EXPECT_EQ(list->columnSpan(3, LogManagerDialog::kStart), 2);
  EXPECT_EQ(list->columnSpan(0, LogManagerDialog::kStart), 1);
  for (const int column : {LogManagerDialog::kFileName, LogManagerDialog::kPath}) {
    EXPECT_TRUE(list->item(3, column)->toolTip().contains(
        texts_.MultiLineText(QStringLiteral("GPSMAN_TEXT_UNAVAILABLE"))));
  }
  EXPECT_EQ(list->item(0, LogManagerDialog::kFileName)->toolTip(), QString());

  // The commands that need a log's points count only the logs that can be read.
  const auto enabled = [&manager] {
    std::string names;
    for (const char* name : {"detailButton", "removeLogsButton", "mergeButton", "exportButton",
                             "showTracksButton", "chartButton"}) {
      if (manager.findChild<QPushButton*>(QLatin1String(name))->isEnabled()) {
        names += names.empty() ? name : std::string("|") + name;
      }
    }
    return names;
  };
  const auto select = [list](std::initializer_list<int> rows) {
    list->clearSelection();
    for (const int row : rows) {
      list->selectionModel()->select(list->model()->index(row, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  };
  select({3});
  EXPECT_EQ(enabled(), "removeLogsButton");
  select({2, 3});
  EXPECT_EQ(enabled(), "removeLogsButton");
  select({0, 3});
  EXPECT_EQ(enabled(), "detailButton|removeLogsButton|exportButton|showTracksButton|chartButton");
  select({0, 1, 2, 3});
  EXPECT_EQ(enabled(),
            "detailButton|removeLogsButton|mergeButton|exportButton|showTracksButton|"
            "chartButton");

  select({0, 3});
  manager.resize(920, 420);
  manager.show();
  QDir().mkpath(test::BinaryFolder() + QStringLiteral("/../test-output"));
  manager.grab().save(test::BinaryFolder() +
                      QStringLiteral("/../test-output/log-manager-unavailable-logs.png"));
}

TEST_F(LogManagerTest, ChangesTheDatabaseCannotTakeAreToldAndChangeNothing) {
  const QString folder = home_.filePath(QStringLiteral("Wayfable Logs"));
  LogLibrary library(folder, 0);
  library.AddLog(Log(QStringLiteral("a.log"), 8, 10), 0, 0, 0);
  library.AddLog(Log(QStringLiteral("b.log"), 9, 10), 0, 0, 0);
  LogManagerDialog manager(*settings_, texts_, library, match_);
  auto* list = manager.findChild<QTableWidget*>(QStringLiteral("logList"));
  auto* problems = manager.findChild<QLabel*>(QStringLiteral("libraryFileProblems"));
  EXPECT_TRUE(problems->isHidden());
  // Another program leaves something in the database's place that cannot be read.
  QFile::remove(library.databasePath());
  QDir().mkpath(library.databasePath());

  // Each command's message names the database; the list stays as it was.
  std::map<std::string, QString> told;
  const auto answer = [&](QMessageBox* box) {
    told[box->objectName().toStdString()] = box->text();
    box->close();
  };
  test::AnswerWhenShown<QMessageBox>(&manager, answer);
  manager.AddLogs({Log(QStringLiteral("c.log"), 10, 10)});

  list->selectRow(0);
  QTimer::singleShot(0, [] {
    auto* editor = qobject_cast<LogInfoDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(editor, nullptr);
    editor->findChild<QLineEdit*>(QStringLiteral("comment"))->setText(QStringLiteral("new"));
    editor->findChild<QPushButton*>(QStringLiteral("saveButton"))->click();
  });
  test::AnswerWhenShown<QMessageBox>(&manager, answer);
  manager.EditDetails();

  list->selectAll();
  QTimer::singleShot(0, [this] {
    auto* dialog = qobject_cast<MergeDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->SetOutputFolder(home_.path());
    dialog->findChild<QPushButton*>(QStringLiteral("mergeButton"))->click();
  });
  test::AnswerWhenShown<QMessageBox>(&manager, answer);
  manager.MergeSelected();
  EXPECT_FALSE(QFile::exists(home_.filePath(QStringLiteral("M_a.LOG"))));

  list->selectRow(1);
  test::AnswerWhenShown<QMessageBox>(&manager, [&](QMessageBox* ask) {
    EXPECT_EQ(ask->objectName(), QStringLiteral("removeQuestion"));
    test::AnswerWhenShown<QMessageBox>(&manager, answer);
    ask->button(QMessageBox::Yes)->click();
  });
  manager.RemoveSelected();

  for (const char* name : {"addProblems", "editProblem", "mergeProblem", "removeProblem"}) {
    EXPECT_TRUE(told[name].contains(library.databasePath()))
        << name << ": " << told[name].toStdString();
  }
  EXPECT_EQ(told.size(), 4u);
  EXPECT_EQ(Column(list, LogManagerDialog::kFileName), "a.log|b.log");
  EXPECT_EQ(Column(list, LogManagerDialog::kComment), "|");
  EXPECT_FALSE(problems->isHidden());
  EXPECT_TRUE(problems->text().contains(texts_.Text(QStringLiteral("GPSMAN_TEXT_DBUNREADABLE"))))
      << problems->text().toStdString();

  // A window opened on such a library says so at once.
  LogLibrary reopened(folder, 0);
  LogManagerDialog other(*settings_, texts_, reopened, match_);
  EXPECT_FALSE(other.findChild<QLabel*>(QStringLiteral("libraryFileProblems"))->isHidden());
}

TEST_F(LogManagerTest, TheEditorKeepsWhatItCannotShowAndRefusesACommentTooLongToStore) {
  const QString folder = home_.filePath(QStringLiteral("Wayfable Logs"));
  LogLibrary library(folder, 0);
  library.AddLog(Log(QStringLiteral("a.log"), 8, 10), 0, 0, 0);
  // As a database of another program may hold them: a colour and a width beyond the lists,
  // and a comment longer than the editor takes.
  const QString longComment = QString(300, u'c');
  ASSERT_TRUE(library.EditLogInfo(0, 20, 9, longComment, 900).done());
  LogManagerDialog manager(*settings_, texts_, library, match_);
  manager.findChild<QTableWidget*>(QStringLiteral("logList"))->selectRow(0);

  // Saved as it opened: the long comment is refused with the standard message, and the
  // editor stays open until it is shortened or closed.
  QString refusal;
  QTimer::singleShot(0, [&] {
    auto* editor = qobject_cast<LogInfoDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->findChild<QComboBox*>(QStringLiteral("color"))->currentIndex(), -1);
    EXPECT_EQ(editor->findChild<QComboBox*>(QStringLiteral("lineWidth"))->currentIndex(), -1);
    auto* comment = editor->findChild<QLineEdit*>(QStringLiteral("comment"));
    EXPECT_EQ(comment->text(), longComment) << "shown whole";
    test::AnswerWhenShown<QMessageBox>(editor, [&](QMessageBox* box) {
      EXPECT_EQ(box->objectName(), QStringLiteral("commentTooLong"));
      refusal = box->text();
      box->close();
      QTimer::singleShot(0, editor, [editor, comment] {
        EXPECT_TRUE(editor->isVisible()) << "the editor stays open";
        comment->setText(QString(256, u'd'));
        editor->findChild<QPushButton*>(QStringLiteral("saveButton"))->click();
      });
    });
    editor->findChild<QPushButton*>(QStringLiteral("saveButton"))->click();
  });
  manager.EditDetails();
  EXPECT_EQ(refusal, QStringLiteral("Enter no more than 256 characters."));
  // The comment alone changed: the track keeps its look.
  LogLibrary reread(folder, 0);
  ASSERT_EQ(reread.size(), 1u);
  EXPECT_EQ(reread.log(0).comment(), QString(256, u'd'));
  EXPECT_EQ(reread.log(0).colorIndex(), 20);
  EXPECT_EQ(reread.log(0).lineWidthIndex(), 9);
  EXPECT_EQ(reread.log(0).timeZone(), 900);

  // Choosing an entry stores it.
  {
    LogInfoDialog editor(texts_, reread.log(0), QStringLiteral("%H:%M"));
    editor.findChild<QComboBox*>(QStringLiteral("color"))->setCurrentIndex(3);
    EXPECT_EQ(editor.colorIndex(), 3);
    EXPECT_EQ(editor.lineWidthIndex(), 9);
  }
}

}  // namespace
}  // namespace trevalo
