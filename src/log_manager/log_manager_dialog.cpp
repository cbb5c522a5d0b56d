#include "log_manager/log_manager_dialog.h"

#include <algorithm>
#include <optional>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>

#include "charts/chart_page.h"
#include "charts/chart_window.h"
#include "export/export_dialog.h"
#include "files/native_files.h"
#include "files/natural_order.h"
#include "library/library_problems_label.h"
#include "library/log_info_dialog.h"
#include "library/log_library.h"
#include "library/merge_dialog.h"
#include "library/time_zone_list.h"
#include "shell/local_zone.h"
#include "shell/palette.h"
#include "shell/settings.h"
#include "widgets/background_work.h"
#include "widgets/column_widths.h"
#include "widgets/file_drop_list.h"
#include "widgets/plain_text.h"
#include "widgets/written_summary.h"

namespace trevalo {
namespace {

const char* const kHeaderKeys[LogManagerDialog::kColumnCount] = {
    "GPSMAN_LIST_FILENAME", "GPSMAN_LIST_COLOR",     "GPSMAN_LIST_WIDTH",   "GPSMAN_LIST_COMMENT",
    "GPSMAN_LIST_TIMEZONE", "GPSMAN_LIST_TIMESTART", "GPSMAN_LIST_TIMEEND", "GPSMAN_LIST_PATH"};

QColor PaletteColor(int index) {
  const std::uint32_t rgb = RgbForIndex(index);
  return QColor((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff);
}

QTableWidgetItem* Cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(alignment | Qt::AlignVCenter);
  return item;
}

}  // namespace

class LogManagerDialog::Busy {
 public:
  explicit Busy(LogManagerDialog& window) : window_(window) { ++window_.busy_; }
  ~Busy() {
    if (--window_.busy_ == 0 && window_.outsideChange_) {
      window_.settle_->start();
    }
  }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  LogManagerDialog& window_;
};

std::vector<int> LogManagerDialog::ColumnWidths(const Settings& settings, int listWidth) {
  const int fifth = listWidth / 5;
  const int defaults[kColumnCount] = {fifth, 50, 50, fifth, fifth, fifth, fifth, 2 * fifth};
  return StoredColumnWidths(settings, setting::kLogListColumnPrefix, defaults);
}

LogManagerDialog::LogManagerDialog(const Settings& settings, const LanguageTexts& texts,
                                   LogLibrary& library, const MatchSettings& match, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      texts_(texts),
      library_(library),
      match_(match),
      formats_(LoadDisplayFormats(texts)),
      watcher_(new QFileSystemWatcher(this)),
      settle_(new QTimer(this)),
      fileProblems_(new LibraryProblemsLabel(texts, this)),
      list_(new FileDropList(this)) {
  setObjectName(QStringLiteral("logManager"));
  setWindowTitle(texts.Text(QStringLiteral("GPSMAN_TITLE")));
  list_->setObjectName(QStringLiteral("logList"));
  list_->setColumnCount(kColumnCount);
  QStringList headers;
  for (const char* key : kHeaderKeys) {
    headers << texts.Text(QLatin1String(key));
  }
  list_->setHorizontalHeaderLabels(headers);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);

  const auto button = [&](const char* key, const char* name) {
    auto* b = new QPushButton(texts.Text(QLatin1String(key)), this);
    b->setObjectName(QLatin1String(name));
    return b;
  };
  auto* addButton = button("GPSMAN_BUTTON_ADDLOG", "addLogsButton");
  removeButton_ = button("GPSMAN_BUTTON_REMOVE", "removeLogsButton");
  showTracksButton_ = button("GPSMAN_BUTTON_SHOWTRACKS", "showTracksButton");
  detailButton_ = button("GPSMAN_BUTTON_DETAIL", "detailButton");
  mergeButton_ = button("GPSMAN_BUTTON_LOGMERGE", "mergeButton");
  exportButton_ = button("GPSMAN_BUTTON_EXPORT", "exportButton");
  chartButton_ = button("GPSMANINFO_CHARTVIEW", "chartButton");
  auto* closeButton = button("GPSMAN_BUTTON_CLOSE", "closeButton");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(addButton);
  buttons->addWidget(detailButton_);
  buttons->addWidget(removeButton_);
  buttons->addWidget(mergeButton_);
  buttons->addWidget(exportButton_);
  buttons->addWidget(showTracksButton_);
  buttons->addWidget(chartButton_);
  buttons->addStretch(1);
  buttons->addWidget(closeButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fileProblems_);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  resize(920, 420);

  // Other programs (trevalo-cli, a second window) may change the library: its database
  // is replaced by a rename, which the folder's watch sees.
  if (!library.folder().isEmpty()) {
    QDir().mkpath(library.folder());
    watcher_->addPath(library.folder());
  }
  settle_->setSingleShot(true);
  settle_->setInterval(200);
  connect(watcher_, &QFileSystemWatcher::directoryChanged, settle_, qOverload<>(&QTimer::start));
  connect(settle_, &QTimer::timeout, this, &LogManagerDialog::PickUpOutsideChanges);

  connect(addButton, &QPushButton::clicked, this, &LogManagerDialog::ChooseLogs);
  connect(removeButton_, &QPushButton::clicked, this, &LogManagerDialog::RemoveSelected);
  connect(showTracksButton_, &QPushButton::clicked, this, &LogManagerDialog::ShowTracks);
  connect(detailButton_, &QPushButton::clicked, this, &LogManagerDialog::EditDetails);
  connect(mergeButton_, &QPushButton::clicked, this, &LogManagerDialog::MergeSelected);
  connect(exportButton_, &QPushButton::clicked, this, &LogManagerDialog::ExportSelected);
  connect(chartButton_, &QPushButton::clicked, this, &LogManagerDialog::ShowChart);
  connect(list_, &QTableWidget::cellDoubleClicked, this, &LogManagerDialog::EditDetails);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(list_, &QTableWidget::itemSelectionChanged, this, &LogManagerDialog::UpdateButtons);
  connect(list_, &FileDropList::filesDropped, this, &LogManagerDialog::AddLogs);
  connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          &LogManagerDialog::SortByColumn);
  RefreshList();
}

void LogManagerDialog::PickUpOutsideChanges() {
  // Closed, the window leaves the library alone (work of the photo page may be using it);
  // showing it again reads any change.
  if (!isVisible()) {
    return;
  }
  if (busy_ > 0) {
    outsideChange_ = true;
    return;
  }
  outsideChange_ = false;
  if (library_.Refresh()) {
    RefreshList();
  } else {
    fileProblems_->ShowProblemsOf(library_);
  }
}

void LogManagerDialog::Tell(const LogLibrary::Change& change, const QString& objectName) {
  QStringList lines;
  if (!change.done()) {
    lines << change.problem;
  }
  if (!change.notice.isEmpty()) {
    lines << change.notice;
  }
  if (lines.isEmpty()) {
    return;
  }
  QMessageBox box(change.done() ? QMessageBox::Information : QMessageBox::Warning, windowTitle(),
                  lines.join(u'\n'), QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.setObjectName(objectName);
  box.exec();
}

void LogManagerDialog::showEvent(QShowEvent* event) {
  if (library_.Refresh()) {
    RefreshList();
  }
  QDialog::showEvent(event);
  if (!columnsSized_) {
    ApplyColumnWidths(list_, ColumnWidths(settings_, list_->viewport()->width()));
    KeepColumnWidths(list_, settings_, setting::kLogListColumnPrefix);
    columnsSized_ = true;
  }
}

void LogManagerDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && list_->hasFocus()) {
    RemoveSelected();
    return;
  }
  QDialog::keyPressEvent(event);
}

std::vector<std::size_t> LogManagerDialog::OrderedEntries() const {
  std::vector<std::size_t> entries(library_.size() + library_.unavailable().size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    entries[i] = i;
  }
  if (sortColumn_ < 0) {
    return entries;
  }
  // What each column orders by; an unavailable log has no times.
  struct Values {
    QString fileName, comment, path;
    int color = 0, width = 0, zone = 0;
    std::optional<TimeValue> start, end;
  };
  std::vector<Values> values;
  values.reserve(entries.size());
  for (std::size_t i = 0; i < library_.size(); ++i) {
    const GPSLog& log = library_.log(i);
    Values& v = values.emplace_back(Values{log.fileName(), log.comment(), log.filePath(),
                                           log.colorIndex(), log.lineWidthIndex(), log.timeZone(),
                                           std::nullopt, std::nullopt});
    if (log.hasTimes()) {
      v.start = log.localStart();
      v.end = log.localEnd();
    }
  }
  for (const LogRecord& record : library_.unavailable()) {
    values.push_back(Values{QFileInfo(record.filePath).fileName(), record.comment, record.filePath,
                            record.colorIndex, record.lineWidthIndex, record.timeZone, std::nullopt,
                            std::nullopt});
  }
  const auto compare = [column = sortColumn_](const Values& a, const Values& b) -> int {
    const auto numbers = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (column) {
      case kFileName:
        return NaturalCompare(a.fileName, b.fileName);
      case kColor:
        return numbers(a.color, b.color);
      case kWidth:
        return numbers(a.width, b.width);
      case kComment:
        return NaturalCompare(a.comment, b.comment);
      case kTimeZone:
        return numbers(a.zone, b.zone);
      case kStart:
        return numbers(*a.start, *b.start);
      case kEnd:
        return numbers(*a.end, *b.end);
      default:
        return NaturalCompare(a.path, b.path);
    }
  };
  const bool timeColumn = sortColumn_ == kStart || sortColumn_ == kEnd;
  std::ranges::stable_sort(entries, [&](std::size_t left, std::size_t right) {
    const Values& a = values[left];
    const Values& b = values[right];
    if (timeColumn && a.start.has_value() != b.start.has_value()) {
      return a.start.has_value();
    }
    if (timeColumn && !a.start) {
      return false;
    }
    const int compared = compare(a, b);
    return sortDescending_ ? compared > 0 : compared < 0;
  });
  return entries;
}

void LogManagerDialog::SortByColumn(int column) {
  if (column < 0 || column >= kColumnCount) {
    return;
  }
  sortDescending_ = column == sortColumn_ && !sortDescending_;
  sortColumn_ = column;
  list_->horizontalHeader()->setSortIndicatorShown(true);
  list_->horizontalHeader()->setSortIndicator(
      column, sortDescending_ ? Qt::DescendingOrder : Qt::AscendingOrder);
  RefreshList();
}

std::size_t LogManagerDialog::EntryOfRow(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < rowEntries_.size()
             ? rowEntries_[static_cast<std::size_t>(row)]
             : static_cast<std::size_t>(row);
}

void LogManagerDialog::RefreshList() {
  const QSignalBlocker quiet(list_);
  QSet<QString> selected;
  for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
    if (const QTableWidgetItem* path = list_->item(index.row(), kPath)) {
      selected.insert(path->text());
    }
  }
  list_->clearSelection();
  list_->clearSpans();
  rowEntries_ = OrderedEntries();
  list_->setRowCount(static_cast<int>(rowEntries_.size()));
  const QString gmt = QStringLiteral("GMT");
  const QString why = PlainToolTip(texts_.MultiLineText(QStringLiteral("GPSMAN_TEXT_UNAVAILABLE")));
  for (int row = 0; row < list_->rowCount(); ++row) {
    const std::size_t entry = rowEntries_[static_cast<std::size_t>(row)];
    if (entry >= library_.size()) {
      ShowUnavailable(row, library_.unavailable()[entry - library_.size()], gmt, why);
      continue;
    }
    const GPSLog& log = library_.log(entry);
    list_->setItem(row, kFileName, Cell(log.fileName()));
    // The colour cell is a swatch: text and background in the log's colour.
    QTableWidgetItem* color = Cell(QString::number(log.colorIndex()), Qt::AlignHCenter);
    color->setBackground(PaletteColor(log.colorIndex()));
    color->setForeground(PaletteColor(log.colorIndex()));
    list_->setItem(row, kColor, color);
    list_->setItem(row, kWidth, Cell(LineWidthText(log.lineWidthIndex()), Qt::AlignHCenter));
    list_->setItem(row, kComment, Cell(log.comment()));
    list_->setItem(row, kTimeZone, Cell(ZoneText(log.timeZone(), gmt)));
    list_->setItem(row, kStart, Cell(log.StartTimeText(formats_.timeFormat)));
    list_->setItem(row, kEnd, Cell(log.EndTimeText(formats_.timeFormat)));
    list_->setItem(row, kPath, Cell(log.filePath()));
    if (log.refusedCount() != 0) {
      const QString refused =
          PlainToolTip(texts_.Text(QStringLiteral("GPSMAN_TEXT_REFUSED")).arg(log.refusedCount()));
      for (int column = 0; column < kColumnCount; ++column) {
        list_->item(row, column)->setToolTip(refused);
      }
    }
  }
  for (int row = 0; row < list_->rowCount(); ++row) {
    if (selected.contains(list_->item(row, kPath)->text())) {
      list_->selectionModel()->select(list_->model()->index(row, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }
  fileProblems_->ShowProblemsOf(library_);
  UpdateButtons();
}

// A log on a drive that is not mounted, say: kept, shown greyed with why, and removable.
// Its times are not known, so the start and end columns say why instead.
void LogManagerDialog::ShowUnavailable(int row, const LogRecord& record, const QString& gmt,
                                       const QString& why) {
  const QString state =
      texts_.Text(PathExists(record.filePath) ? QStringLiteral("GPSMAN_TEXT_FILEUNREADABLE")
                                              : QStringLiteral("GPSMAN_TEXT_FILEMISSING"));
  const QString texts[kColumnCount] = {QFileInfo(record.filePath).fileName(),
                                       QString::number(record.colorIndex),
                                       LineWidthText(record.lineWidthIndex),
                                       record.comment,
                                       ZoneText(record.timeZone, gmt),
                                       state,
                                       {},
                                       record.filePath};
  for (int column = 0; column < kColumnCount; ++column) {
    QTableWidgetItem* item = Cell(texts[column]);
    item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
    item->setToolTip(why);
    list_->setItem(row, column, item);
  }
  list_->setSpan(row, kStart, 1, 2);
}

void LogManagerDialog::UpdateButtons() {
  // A log whose file cannot be read can only be removed.
  removeButton_->setEnabled(list_->selectionModel()->hasSelection());
  const std::size_t logs = SelectedLogs().size();
  for (QPushButton* button : {showTracksButton_, detailButton_, exportButton_, chartButton_}) {
    button->setEnabled(logs >= 1);
  }
  mergeButton_->setEnabled(logs >= 2);
}

void LogManagerDialog::EditDetails() {
  const std::vector<std::size_t> rows = SelectedLogs();
  if (rows.empty()) {
    return;
  }
  const Busy busy(*this);
  const std::size_t first = rows.front();
  LogInfoDialog editor(texts_, library_.log(first), formats_.timeFormat, this);
  if (editor.exec() == QDialog::Accepted) {
    const LogLibrary::Change change = library_.EditLogInfo(
        first, editor.colorIndex(), editor.lineWidthIndex(), editor.comment(), editor.timeZone());
    RefreshList();
    Tell(change, QStringLiteral("editProblem"));
  }
}

std::vector<std::size_t> LogManagerDialog::SelectedLogs() const {
  std::vector<std::size_t> rows;
  std::vector<int> shown;
  for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
    shown.push_back(index.row());
  }
  std::ranges::sort(shown);
  for (const int row : shown) {
    if (const std::size_t entry = EntryOfRow(row); entry < library_.size()) {
      rows.push_back(entry);
    }
  }
  return rows;
}

void LogManagerDialog::ExportSelected() {
  const std::vector<std::size_t> rows = SelectedLogs();
  if (rows.empty()) {
    return;
  }
  const Busy busy(*this);
  ExportDialog dialog(settings_, texts_, static_cast<int>(rows.size()), this);
  if (dialog.exec() != QDialog::Accepted) {
    return;
  }
  ExportOptions options;
  options.format = dialog.format();
  options.correction = {match_.latitudeCorrection(), match_.longitudeCorrection()};
  // Only "1" turns the GPX metadata on; anything else is stored as "0".
  options.gpxMetadata = settings_.ReadSetting(setting::kTagApply) == u"1";
  if (options.format == ExportFormat::kGpx && !options.gpxMetadata) {
    settings_.WriteFlag(setting::kTagApply, false);
  }
  options.trackFolderName = texts_.Text(QStringLiteral("KML_STRING_TRACK"));
  options.tableHeader = texts_.Text(QStringLiteral("EXPORT_EXCEL_HEADER"));
  options.longLatFormat = formats_.longLatFormat;
  // Logs are loaded whole to be written: a long one takes seconds.
  ExportReport report;
  const bool batch = dialog.batch();
  const QString output = dialog.output();
  const QString typedName = dialog.typedName();
  RunInBackground(
      batch ? QStringLiteral("Batch Processing...") : texts_.Text(QStringLiteral("EXPORT_TITLE")),
      this, [&](const Progress& progress) {
        report = batch ? ExportLogsBatch(library_, rows, output, options, progress)
                       : ExportLogs(library_, rows, output, typedName, options);
      });
  if (batch && report.problems.isEmpty()) {
    TellWritten(this, windowTitle(), report.written, texts_,
                (QStringList{QStringLiteral("Completed..")} << report.notes).join(u'\n'));
  } else if (!batch) {
    TellWritten(this, windowTitle(), report.written, texts_, report.notes.join(u'\n'));
  }
  if (!report.problems.isEmpty()) {
    PlainMessageBox box(QMessageBox::Warning, windowTitle(), report.problems.join(u'\n'),
                        QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("exportProblems"));
    box.exec();
  }
}

void LogManagerDialog::ShowChart() {
  const std::vector<std::size_t> rows = SelectedLogs();
  const auto invalid = [this] {
    PlainMessageBox box(QMessageBox::NoIcon, QString(), QStringLiteral("Invalid Log File.."),
                        QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("invalidLog"));
    box.exec();
  };
  if (rows.empty()) {
    invalid();
    return;
  }
  const Busy busy(*this);
  const std::size_t first = rows.front();
  const QString cacheFolder = settings_.folders().cacheFolder;
  QStringList problems;
  std::unique_ptr<ChartData> data;
  // A long log takes seconds to load and chart: the window keeps answering meanwhile.
  RunInBackground(texts_.Text(QStringLiteral("CHART_SUB_PROCESS")), this, [&](const Progress&) {
    if (library_.LoadHeld(first, problems)) {
      const GPSLog& log = library_.log(first);
      data = ComputeCharts(log, log.fileName());
    }
    library_.HoldLog(std::nullopt);
    if (data && data->hasTimeCharts) {
      QDir().mkpath(cacheFolder);
      WriteChartPages(*data, cacheFolder, problems);
    }
  });
  if (!data) {
    ShowPlainWarning(this, windowTitle(), problems.join(u'\n'));
    return;
  }
  for (qsizetype i = 0; i < data->messages.size(); ++i) {
    invalid();
  }
  if (!data->hasTimeCharts) {
    return;
  }
  if (!problems.isEmpty()) {
    ShowPlainWarning(this, windowTitle(), problems.join(u'\n'));
  }
  ChartWindow window(settings_, texts_, data->statistics, this);
  window.exec();
}

void LogManagerDialog::MergeSelected() {
  const std::vector<std::size_t> rows = SelectedLogs();
  if (rows.size() < 2) {
    return;
  }
  const Busy busy(*this);
  const MergePlan plan = PrepareMerge(library_, rows);
  if (plan.timeConflict) {
    ShowPlainWarning(this, windowTitle(),
                     texts_.Text(QStringLiteral("LOGMERGE_TEXT_ERRTIMECONFLICT")));
    return;
  }
  MergeDialog dialog(settings_, texts_, plan, static_cast<int>(rows.size()), this);
  if (dialog.exec() != QDialog::Accepted) {
    return;
  }
  const MergeOutcome outcome = MergeLogs(library_, rows, dialog.outputPath());
  QString message;
  switch (outcome.result) {
    case MergeOutcome::kMerged:
      break;
    case MergeOutcome::kOutputInLibrary:
      message = texts_.Text(QStringLiteral("LOGMERGE_TEXT_OWERRDB"));
      break;
    case MergeOutcome::kTimeConflict:
      message = texts_.Text(QStringLiteral("LOGMERGE_TEXT_ERRTIMECONFLICT"));
      break;
    case MergeOutcome::kWriteFailed:
    case MergeOutcome::kNotAdded:
    case MergeOutcome::kNotSaved:
      message = outcome.problem;
      break;
  }
  if (!outcome.notice.isEmpty()) {
    message += (message.isEmpty() ? QString() : QStringLiteral("\n")) + outcome.notice;
  }
  for (const QString& skipped : outcome.skipped) {
    message += (message.isEmpty() ? QString() : QStringLiteral("\n")) +
               QStringLiteral("%1 (left out of the merged log)").arg(skipped);
  }
  RefreshList();
  if (!message.isEmpty()) {
    PlainMessageBox box(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("mergeProblem"));
    box.exec();
  }
}

void LogManagerDialog::ShowTracks() {
  const std::vector<std::size_t> rows = SelectedLogs();
  QDir().mkpath(settings_.folders().cacheFolder);
  MapRequest request;
  RunInBackground(texts_.Text(QStringLiteral("MAIN_SUB_PROCESS_MAP")), this, [&](const Progress&) {
    request = ShowLogsOnMap(
        library_, rows, settings_.folders().cacheFolder,
        PositionCorrection{match_.latitudeCorrection(), match_.longitudeCorrection()});
  });
  if (!request.problems.isEmpty()) {
    ShowPlainWarning(this, windowTitle(), request.problems.join(u'\n'));
  }
  if (request.show) {
    Q_EMIT tracksRequested(request);
  }
}

QString LogFileFilter(const LanguageTexts& texts) {
  return QStringList{
      texts.Text(QStringLiteral("GPSMAN_FILTER_LOGS")) + QStringLiteral(" (*.log *.nmea *.gpx)"),
      texts.Text(QStringLiteral("GPSMAN_FILTER_GPX")) + QStringLiteral(" (*.gpx)"),
      texts.Text(QStringLiteral("GPSMAN_FILTER_ALL")) + QStringLiteral(" (*)")}
      .join(QStringLiteral(";;"));
}

void LogManagerDialog::ChooseLogs() {
  const QStringList paths = QFileDialog::getOpenFileNames(
      this, texts_.Text(QStringLiteral("GPSMAN_BUTTON_ADDLOG")),
      settings_.ReadSetting(setting::kPathLog, setting::kFolderCapacity), LogFileFilter(texts_));
  if (!paths.isEmpty()) {
    AddLogs(paths);
  }
}

void LogManagerDialog::AddLogs(const QStringList& paths) {
  const Busy busy(*this);
  std::vector<LogLibrary::NewLog> logs;
  const int zone = LocalZoneHHMM();
  for (const QString& path : paths) {
    logs.push_back({QFileInfo(path).absoluteFilePath(), 0, 0, zone});
  }
  std::vector<LogLibrary::Change> changes;
  // Each log is read whole to be scanned: a long one takes a second.
  RunInBackground(texts_.Text(QStringLiteral("GPSMAN_SUB_PROCESS")), this,
                  [&](const Progress& progress) { changes = library_.AddLogs(logs, progress); });
  if (!paths.isEmpty()) {
    settings_.WriteSetting(setting::kPathLog, QFileInfo(paths.back()).absolutePath() + u'/');
  }
  RefreshList();
  // One message for everything that was not added, and why (a log already in the
  // library is no news).
  QStringList lines;
  for (std::size_t k = 0; k < changes.size(); ++k) {
    const LogLibrary::Change& change = changes[k];
    if (!change.notice.isEmpty() && !lines.contains(change.notice)) {
      lines << change.notice;
    }
    if (change.result == LogLibrary::ChangeResult::kNoTimes) {
      lines << QStringLiteral("%1: %2").arg(logs[k].path, NoTimesReason(change.scanProblem));
    } else if (!change.done() && change.result != LogLibrary::ChangeResult::kAlreadyThere) {
      lines << change.problem;
    }
  }
  if (!lines.isEmpty()) {
    QMessageBox box(QMessageBox::Warning, windowTitle(), lines.join(u'\n'), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.setObjectName(QStringLiteral("addProblems"));
    box.exec();
  }
}

QString LogManagerDialog::NoTimesReason(ScanProblem problem) const {
  // In plain words of the user's language, not the reader's.
  switch (problem) {
    case ScanProblem::kUnreadable:
      return texts_.Text(QStringLiteral("GPSMAN_REASON_UNREADABLE"));
    case ScanProblem::kTruncated:
      return texts_.Text(QStringLiteral("GPSMAN_REASON_CUT"));
    case ScanProblem::kInvalidDateTime:
      return texts_.Text(QStringLiteral("GPSMAN_REASON_BADDATE"));
    case ScanProblem::kMalformed:
      return texts_.Text(QStringLiteral("GPSMAN_REASON_MALFORMED"));
    case ScanProblem::kNone:
    case ScanProblem::kNoPointSentence:
    case ScanProblem::kNoTimedPoint:
      break;
  }
  return texts_.Text(QStringLiteral("GPSMAN_REASON_NOTIMES"));
}

void LogManagerDialog::RemoveSelected() {
  const Busy busy(*this);
  const QModelIndexList selected = list_->selectionModel()->selectedRows();
  if (selected.isEmpty()) {
    return;
  }
  PlainMessageBox ask(QMessageBox::Question, texts_.Text(QStringLiteral("GPSMAN_REMOVE_TITLE")),
                      texts_.MultiLineText(QStringLiteral("GPSMAN_REMOVE_ASK")),
                      QMessageBox::Yes | QMessageBox::No, this);
  ask.setObjectName(QStringLiteral("removeQuestion"));
  if (ask.exec() != QMessageBox::Yes) {
    return;
  }
  QStringList paths;
  for (const QModelIndex& index : selected) {
    const std::size_t entry = EntryOfRow(index.row());
    paths << (entry < library_.size() ? library_.log(entry).filePath()
                                      : library_.unavailable()[entry - library_.size()].filePath);
  }
  const LogLibrary::Change change = library_.RemoveLogsByPath(paths);
  RefreshList();
  // A log another program removed meanwhile is gone as the user wanted: no news.
  if (change.result != LogLibrary::ChangeResult::kNotInLibrary) {
    Tell(change, QStringLiteral("removeProblem"));
  }
}

}  // namespace trevalo
