#include "tagging/photo_page.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include "device/device_change_notifier.h"
#include "device/log_import_dialog.h"
#include "library/library_problems_label.h"
#include "library/log_database.h"
#include "library/photo_lookup.h"
#include "log_manager/log_manager_dialog.h"
#include "photo/capture_time.h"
#include "photo/photo_metadata.h"
#include "shell/settings.h"
#include "tagging/correction_dialog.h"
#include "tagging/correction_summary.h"
#include "tagging/photo_detail_dialog.h"
#include "tagging/photos_on_map.h"
#include "tagging/save_dialog.h"
#include "tagging/table_dialog.h"
#include "widgets/background_work.h"
#include "widgets/column_widths.h"
#include "widgets/file_drop_list.h"
#include "widgets/plain_text.h"
#include "widgets/progress_dialog.h"

namespace trevalo {
namespace {

// The photos the given paths stand for: a file as it is, a folder by the photos anywhere
// inside it (by their names; links to folders are not followed, so a loop cannot trap it).
QStringList PhotosIn(const QStringList& paths) {
  QStringList photos;
  for (const QString& path : paths) {
    if (!QFileInfo(path).isDir()) {
      photos << path;
      continue;
    }
    QStringList inside;
    QDirIterator walk(path, PhotoFilePatterns(), QDir::Files | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
      inside << walk.next();
    }
    inside.sort();
    photos << inside;
  }
  return photos;
}

// The header keys in column order.
QString ColumnKey(int column) {
  static const char* const kKeys[] = {
      "MAIN_LIST_STATUS", "MAIN_LIST_FILENAME", "MAIN_LIST_DATETIME", "MAIN_LIST_LAT",
      "MAIN_LIST_LONG",   "MAIN_LIST_ALT",      "MAIN_LIST_PATH",     "MAIN_LIST_LOGFILE"};
  return QLatin1String(kKeys[column]);
}

// Where a row's position comes from, as its status mark shows it.
enum class PositionKind { kNone, kMatched, kKept, kPlaced };

// The status mark: a green dot for a photo matched to a log, a blue one for a photo kept at
// the position it carries, a violet square (as on the map) for one placed by hand, a hollow
// grey ring for one without a position; a photo that carries a position of its own has a
// small blue pin beside it.
QIcon DrawStatusIcon(PositionKind kind, bool ownPosition) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  switch (kind) {
    case PositionKind::kKept:
      painter.setPen(QPen(QColor(0x1d, 0x4f, 0x91), 1));
      painter.setBrush(QColor(0x3a, 0x86, 0xe0));
      break;
    case PositionKind::kMatched:
      painter.setPen(QPen(QColor(0x1b, 0x7f, 0x2a), 1));
      painter.setBrush(QColor(0x34, 0xc7, 0x59));
      break;
    case PositionKind::kPlaced:
      painter.setPen(QPen(QColor(0x4a, 0x14, 0x80), 1));
      painter.setBrush(QColor(0x7b, 0x2c, 0xbf));
      break;
    case PositionKind::kNone:
      painter.setPen(QPen(QColor(0x9a, 0x9a, 0x9a), 2));
      painter.setBrush(Qt::NoBrush);
      break;
  }
  if (kind == PositionKind::kPlaced) {
    painter.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 2, 2);
  } else {
    painter.drawEllipse(QRectF(2.5, 2.5, 11, 11));
  }
  if (ownPosition && kind != PositionKind::kKept) {
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(QColor(0x1d, 0x4f, 0x91));
    painter.drawEllipse(QRectF(9.5, 9.5, 6, 6));
  }
  return QIcon(pixmap);
}

// Drawn once: a list of thousands of rows shows the same few marks.
const QIcon& StatusIcon(const PhotoRow& row) {
  static const std::array<QIcon, 8> icons = [] {
    std::array<QIcon, 8> drawn;
    for (int i = 0; i < 8; ++i) {
      drawn[static_cast<std::size_t>(i)] =
          DrawStatusIcon(static_cast<PositionKind>(i >> 1), (i & 1) != 0);
    }
    return drawn;
  }();
  const PositionKind kind = row.placed    ? PositionKind::kPlaced
                            : row.kept    ? PositionKind::kKept
                            : row.matched ? PositionKind::kMatched
                                          : PositionKind::kNone;
  return icons[static_cast<std::size_t>(kind) * 2 + (row.ownPosition ? 1U : 0U)];
}

// What the status mark's tip says of a row: its problem, how it was matched, its own position.
QString StatusTip(const PhotoRow& row, const LanguageTexts& texts) {
  QStringList lines;
  if (!row.problem.isEmpty()) {
    lines << row.problem;
  }
  if (row.byPhotoZone) {
    lines << texts.Text(QStringLiteral("MAIN_TIP_PHOTOZONE"))
                 .arg(QString::fromStdString(OffsetSecondsText(*row.capture.offsetSeconds)));
  }
  if (row.placed) {
    lines << texts.Text(QStringLiteral("MAIN_TIP_PLACED"));
  } else if (row.cleared) {
    lines << texts.Text(QStringLiteral("MAIN_TIP_CLEARED"));
  } else if (row.kept) {
    lines << texts.Text(QStringLiteral("MAIN_TIP_KEPT"));
  } else if (row.ownPosition) {
    lines << texts.Text(QStringLiteral("MAIN_TIP_OWNPOSITION"));
  }
  return PlainToolTip(lines.join(u'\n'));
}

// Draws the status mark in the middle of its cell, where an item view would put an icon at
// the cell's left.
class CentredIconDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QIcon icon = cell.icon;
    cell.icon = QIcon();
    cell.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* view = option.widget;
    QStyle* style = view != nullptr ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, view);
    const QRect target =
        QStyle::alignedRect(option.direction, Qt::AlignCenter, cell.decorationSize, option.rect);
    icon.paint(painter, target, Qt::AlignCenter);
  }
};

// The tolerance code of the settings: 0..3 and 99 stand; anything else is 0.
int ToleranceCode(const Settings& settings) {
  const int code = settings.ReadSettingInt(setting::kTimeTolerance);
  return (code >= 0 && code <= 3) || code == 99 ? code : 0;
}

QPushButton* Button(const LanguageTexts& texts, const char* key, const char* name,
                    QWidget* parent) {
  auto* button = new QPushButton(texts.Text(QLatin1String(key)), parent);
  button->setObjectName(QLatin1String(name));
  return button;
}

QLabel* StepLabel(const char* name, QWidget* parent) {
  QLabel* label = NewPlainLabel(parent);
  label->setObjectName(QLatin1String(name));
  label->setWordWrap(true);
  return label;
}

// The state a page works on: the one given, or a new one; its library opened once.
std::shared_ptr<PhotoPageState> PreparedState(std::shared_ptr<PhotoPageState> state,
                                              const Settings& settings) {
  if (state == nullptr) {
    state = std::make_shared<PhotoPageState>();
  }
  if (state->library == nullptr) {
    state->match.tolerance = ToleranceCode(settings);
    state->match.interpolate = settings.ReadFlag(setting::kInterpolate);
    state->match.usePhotoZone = !settings.ReadFlag(setting::kIgnorePhotoZone);
    state->match.keepExistingPositions = settings.ReadFlag(setting::kKeepPositions);
    state->match.maxGapSeconds =
        MatchSettings::MaxGapOrDefault(settings.ReadSettingInt(setting::kInterpolateMaxGap));
    const int summerTimeOffset = settings.ReadFlag(setting::kSummerTime) ? 100 : 0;
    state->library = std::make_unique<LogLibrary>(
        QDir(settings.folders().documentsFolder).filePath(kLibraryFolderName), summerTimeOffset,
        std::make_shared<PointsCache>(settings.folders().cacheFolder + QStringLiteral("/points")));
  }
  return state;
}

// A place for each of the list's `rowCount` rows, true where the row is selected. The list
// selects whole rows, so its selection's ranges name them at once (selectedRows() checks
// every row against every range: seconds for thousands of scattered rows).
std::vector<bool> SelectedRows(const QTableWidget& list, std::size_t rowCount) {
  std::vector<bool> selected(rowCount, false);
  for (const QItemSelectionRange& range : list.selectionModel()->selection()) {
    if (range.left() != 0 || range.right() != list.columnCount() - 1) {
      continue;  // part of a row
    }
    for (int row = std::max(range.top(), 0);
         row <= range.bottom() && static_cast<std::size_t>(row) < rowCount; ++row) {
      selected[static_cast<std::size_t>(row)] = true;
    }
  }
  return selected;
}

}  // namespace

std::vector<int> PhotoPage::ColumnWidths(const Settings& settings, int listWidth) {
  // Thirteen parts of the list beside the mark, so that every column is in view at once
  // (a path three parts, names, dates and logs two, coordinates one and a half, altitudes
  // one).
  const int u = std::max(listWidth - 48, 13 * 40) / 13;
  const int shares[kColumnCount] = {48, 2 * u, 2 * u, 3 * u / 2, 3 * u / 2, u, 3 * u, 2 * u};
  return StoredColumnWidths(settings, setting::kPhotoListColumnPrefix, shares);
}

PhotoPage::PhotoPage(const Settings& settings, const LanguageTexts& texts, QWidget* parent,
                     DeviceTree tree, std::shared_ptr<PhotoPageState> state)
    : QWidget(parent),
      settings_(settings),
      texts_(texts),
      tree_(std::move(tree)),
      formats_(LoadDisplayFormats(texts)),
      state_(PreparedState(std::move(state), settings)),
      library_(*state_->library),
      photos_(state_->photos),
      match_(state_->match),
      list_(new FileDropList(this)),
      step1_(StepLabel("step1Text", this)),
      step2_(StepLabel("step2Text", this)),
      step3_(StepLabel("step3Text", this)),
      libraryProblems_(new LibraryProblemsLabel(texts, this)),
      corrections_(new QLabel(this)) {
  setObjectName(QStringLiteral("photoPage"));
  setAcceptDrops(true);
  logger_ = ConnectLogger(tree_);

  list_->setObjectName(QStringLiteral("photoList"));
  list_->setColumnCount(kColumnCount);
  QStringList headers;
  for (int column = 0; column < kColumnCount; ++column) {
    headers << texts.Text(ColumnKey(column));
  }
  list_->setHorizontalHeaderLabels(headers);
  list_->horizontalHeader()->setStretchLastSection(false);
  // A click on a column's header orders the photos by it; a second click turns the order.
  list_->horizontalHeader()->setSectionsClickable(true);
  connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, this, &PhotoPage::SortByColumn);
  list_->setIconSize(QSize(16, 16));
  list_->setItemDelegateForColumn(kStatus, new CentredIconDelegate(list_));

  auto* addButton = Button(texts, "MAIN_BUTTON_IMAGEADD", "addPhotosButton", this);
  auto* importButton = Button(texts, "MAIN_BUTTON_GPSIMPORT", "gpsImportButton", this);
  // Logs on disk need no logger: the log manager is one click away from here too.
  auto* managerButton = Button(texts, "MAIN_BUTTON_LOGMANAGER", "logManagerButton", this);
  removeButton_ = Button(texts, "MAIN_BUTTON_REMOVE", "removeButton", this);
  saveButton_ = Button(texts, "MAIN_BUTTON_SAVE", "saveButton", this);
  correctionButton_ = Button(texts, "MAIN_BUTTON_CORRECTION", "correctionButton", this);
  detailButton_ = Button(texts, "MAIN_BUTTON_DETAIL", "detailButton", this);
  tableButton_ = Button(texts, "MAIN_BUTTON_SAVETOEXCEL", "tableButton", this);

  step2_->setText(texts.MultiLineText(QStringLiteral("MAIN_TEXT_STEP2")));
  auto* steps = new QHBoxLayout;
  auto* step1Box = new QVBoxLayout;
  step1Box->addWidget(step1_);
  step1Box->addWidget(addButton, 0, Qt::AlignLeft);
  auto* step2Box = new QVBoxLayout;
  step2Box->addWidget(step2_);
  auto* step2Buttons = new QHBoxLayout;
  step2Buttons->addWidget(importButton);
  step2Buttons->addWidget(managerButton);
  step2Buttons->addStretch(1);
  step2Box->addLayout(step2Buttons);
  auto* step3Box = new QVBoxLayout;
  step3Box->addWidget(step3_);
  step3Box->addWidget(saveButton_, 0, Qt::AlignLeft);
  for (QVBoxLayout* box : {step1Box, step2Box, step3Box}) {
    steps->addLayout(box, 1);
  }
  auto* listButtons = new QHBoxLayout;
  listButtons->addWidget(correctionButton_);
  listButtons->addWidget(tableButton_);
  listButtons->addStretch(1);
  listButtons->addWidget(detailButton_);
  listButtons->addWidget(removeButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(libraryProblems_);
  layout->addLayout(steps);
  corrections_->setObjectName(QStringLiteral("correctionsLine"));
  corrections_->setWordWrap(true);
  layout->addWidget(corrections_);
  layout->addWidget(list_, 1);
  layout->addLayout(listButtons);

  importDialog_ = new LogImportDialog(texts, library_, tree_, this);
  importDialog_->SetDeleteAfterImport(state_->deleteAfterImport);
  logManager_ = new LogManagerDialog(settings, texts, library_, match_, this);
  connect(importDialog_, &LogImportDialog::logManagerRequested, this, &PhotoPage::ShowLogManager);
  // Show tracks closes the log manager and the import window; the map follows.
  connect(logManager_, &LogManagerDialog::tracksRequested, this, [this](const MapRequest& request) {
    pendingTracks_ = request;
    logManager_->accept();
    importDialog_->reject();
  });
  deviceChanges_ = new DeviceChangeNotifier(tree_.mountInfoPath, this);
  connect(deviceChanges_, &DeviceChangeNotifier::deviceArrived, this, &PhotoPage::OnDeviceChange);
  connect(deviceChanges_, &DeviceChangeNotifier::deviceRemoved, this, &PhotoPage::OnDeviceChange);

  connect(addButton, &QPushButton::clicked, this, &PhotoPage::ChoosePhotos);
  connect(importButton, &QPushButton::clicked, this, &PhotoPage::ImportFromLogger);
  connect(managerButton, &QPushButton::clicked, this, [this] {
    ShowLogManager();
    RefreshPageState();
  });
  connect(removeButton_, &QPushButton::clicked, this, &PhotoPage::RemoveSelected);
  connect(saveButton_, &QPushButton::clicked, this, &PhotoPage::SavePhotos);
  connect(correctionButton_, &QPushButton::clicked, this, &PhotoPage::CorrectCameraTime);
  connect(detailButton_, &QPushButton::clicked, this, &PhotoPage::ShowDetails);
  connect(tableButton_, &QPushButton::clicked, this, &PhotoPage::SaveTable);
  connect(list_, &QTableWidget::cellDoubleClicked, this, &PhotoPage::ShowDetails);
  connect(list_, &FileDropList::filesDropped, this, &PhotoPage::AddPhotos);
  connect(list_, &QTableWidget::itemSelectionChanged, this, &PhotoPage::NoteSelection);
  connect(list_, &QTableWidget::itemSelectionChanged, this, &PhotoPage::RefreshPageState);
  connect(list_, &QTableWidget::itemSelectionChanged, this,
          [this] { Q_EMIT selectionCountChanged(SelectedCount()); });
  ShowRows();
  RefreshPageState();
}

PhotoPage::~PhotoPage() {
  // The import window's choice goes on with the page's other work.
  state_->deleteAfterImport = importDialog_->deleteAfterImport();
}

void PhotoPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The shares need the list's width, known once it is shown.
  if (!columnsSized_) {
    ApplyColumnWidths(list_, ColumnWidths(settings_, list_->viewport()->width()));
    KeepColumnWidths(list_, settings_, setting::kPhotoListColumnPrefix);
    list_->viewport()->installEventFilter(this);
    // A width set by hand ends the fitting (the shares are set with the header quiet).
    connect(list_->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this] { fitColumns_ = false; });
    columnsSized_ = true;
  }
}

bool PhotoPage::eventFilter(QObject* watched, QEvent* event) {
  // Until the user sets a column's width, the columns keep their shares of the list as the
  // window grows (a maximised start, say), so that all of them stay in view.
  if (fitColumns_ && watched == list_->viewport() && event->type() == QEvent::Resize &&
      settings_.ReadSettingInt(setting::ColumnWidthKey(setting::kPhotoListColumnPrefix, 1)) <= 0) {
    ApplyColumnWidths(list_, ColumnWidths(settings_, list_->viewport()->width()));
  }
  return QWidget::eventFilter(watched, event);
}

void PhotoPage::keyPressEvent(QKeyEvent* event) {
  // Enter and Escape would close a dialog; the page swallows them.
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
      event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  // The keys of every list of photos (keys the list itself does not take come here).
  if (event->matches(QKeySequence::Open)) {
    event->accept();
    ChoosePhotos();
    return;
  }
  if (event->matches(QKeySequence::SelectAll)) {
    event->accept();
    list_->selectAll();
    return;
  }
  if (event->matches(QKeySequence::Delete)) {
    event->accept();
    if (removeButton_->isEnabled()) {
      RemoveSelected();
    }
    return;
  }
  QWidget::keyPressEvent(event);
}

void PhotoPage::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFiles(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  }
}

void PhotoPage::dropEvent(QDropEvent* event) {
  const QStringList paths = DroppedFiles(event->mimeData());
  if (!paths.isEmpty()) {
    event->acceptProposedAction();
    AddPhotos(paths);
  }
}

void PhotoPage::ChoosePhotos() {
  const QStringList paths = QFileDialog::getOpenFileNames(
      this, texts_.Text(QStringLiteral("MAIN_BUTTON_IMAGEADD")),
      settings_.ReadSetting(setting::kPathOpen, setting::kFolderCapacity),
      QStringLiteral("%1 (%2);;JPEG (*.jpg *.jpeg);;%3 (*)")
          .arg(texts_.Text(QStringLiteral("MAIN_FILTER_PHOTOS")), PhotoFilePatterns().join(u' '),
               texts_.Text(QStringLiteral("MAIN_FILTER_ALL"))));
  if (!paths.isEmpty()) {
    AddPhotos(paths);
  }
}

void PhotoPage::PickUpLibraryChanges() {
  if (library_.Refresh()) {
    MatchAllInBackground();
  }
}

void PhotoPage::MatchAllInBackground() {
  if (photos_.empty()) {
    return;
  }
  WorkOnPhotos(QStringLiteral("MAIN_SUB_PROCESS_MATCH"), [this](const Progress& progress) {
    photos_.RematchAll(library_, match_, formats_, progress);
  });
}

void PhotoPage::WorkOnPhotos(const QString& titleKey,
                             const std::function<void(const Progress&)>& work) {
  // Also run while a window over the library is open (a new match after the log manager
  // closes over the import window): that window still holds the photos handed over.
  const bool wasMatching = std::exchange(matching_, true);
  const bool wasWorking = std::exchange(workingOnPhotos_, true);
  RunInBackground(texts_.Text(titleKey), this, work);
  workingOnPhotos_ = wasWorking;
  matching_ = wasMatching;
  AddPhotosThatWaited();
}

void PhotoPage::AddPhotosThatWaited() {
  if (!photosWaiting_.isEmpty()) {
    QTimer::singleShot(0, this, [this] {
      if (!photosWaiting_.isEmpty()) {
        AddPhotos(std::exchange(photosWaiting_, {}));
      }
    });
  }
}

void PhotoPage::AddPhotos(const QStringList& given) {
  if (matching_) {
    photosWaiting_ << given;
    return;
  }
  PickUpLibraryChanges();
  QStringList notAdded;
  if (!given.isEmpty()) {
    QStringList paths;
    std::vector<PhotoList::Added> added;
    WorkOnPhotos(QStringLiteral("MAIN_SUB_PROCESS_ADD"), [&](const Progress& progress) {
      paths = PhotosIn(given);  // a folder's photos are looked for off the window's thread too
      added = photos_.AddPhotos(paths, library_, match_, formats_, progress);
      photos_.Sort();
    });
    for (std::size_t k = 0; k < added.size(); ++k) {
      if (added[k].result == PhotoList::AddResult::kUnreadable) {
        notAdded << QStringLiteral("%1: %2").arg(paths[static_cast<qsizetype>(k)],
                                                 NotAddedReason(added[k].problemKind));
      }
    }
  }
  if (!given.isEmpty()) {
    settings_.WriteSetting(setting::kPathOpen,
                           QFileInfo(given.back()).absolutePath() + QDir::separator());
  }
  if (given.isEmpty()) {
    photos_.Sort();
  }
  // Added photos take their place by date, as the list's own order has it.
  list_->horizontalHeader()->setSortIndicatorShown(false);
  sortColumn_ = -1;
  ShowRows();
  RefreshPageState();
  if (!notAdded.isEmpty()) {
    TellNotAdded(notAdded);
  }
}

void PhotoPage::SortByColumn(int column) {
  static_assert(static_cast<int>(PhotoList::Order::kLogFile) == kLogFile);
  if (column < 0 || column >= kColumnCount) {
    return;
  }
  sortDescending_ = column == sortColumn_ && !sortDescending_;
  sortColumn_ = column;
  photos_.SortBy(static_cast<PhotoList::Order>(column), sortDescending_);
  list_->horizontalHeader()->setSortIndicatorShown(true);
  list_->horizontalHeader()->setSortIndicator(
      column, sortDescending_ ? Qt::DescendingOrder : Qt::AscendingOrder);
  ShowRows();
  RefreshPageState();
}

QString PhotoPage::NotAddedReason(PhotoProblem kind) const {
  // In plain words of the user's language; the decoder's own text is no reason for a user.
  switch (kind) {
    case PhotoProblem::kNotAPhoto:
      return texts_.Text(QStringLiteral("MAIN_REASON_NOTAPHOTO"));
    case PhotoProblem::kDamaged:
      return texts_.Text(QStringLiteral("MAIN_REASON_DAMAGED"));
    case PhotoProblem::kImpossibleDate:
      return texts_.Text(QStringLiteral("MAIN_REASON_BADDATE"));
    case PhotoProblem::kNone:
    case PhotoProblem::kUnreadable:
      break;
  }
  return texts_.Text(QStringLiteral("MAIN_REASON_UNREADABLE"));
}

void PhotoPage::TellNotAdded(const QStringList& lines) {
  notAddedLines_ << lines;
  if (notAddedBox_) {
    ShowNotAddedLines(*notAddedBox_);  // a flood of later starts makes one message, not a stack
    return;
  }
  PlainMessageBox box(QMessageBox::Warning, texts_.Text(QStringLiteral("MAIN_TITLE")), QString(),
                      QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("notAddedMessage"));
  notAddedBox_ = &box;
  ShowNotAddedLines(box);
  box.exec();
  notAddedLines_.clear();
}

void PhotoPage::ShowNotAddedLines(QMessageBox& box) const {
  // At most half a screen of lines; the rest are counted, and all are in the details.
  const QScreen* screen = this->screen();
  const int screenLines =
      screen == nullptr ? 20 : screen->availableGeometry().height() / fontMetrics().lineSpacing();
  const qsizetype shown = std::max(5, screenLines / 2);
  QString text = texts_.Text(QStringLiteral("MAIN_TEXT_NOTADDED")) + u'\n' +
                 notAddedLines_.first(std::min(shown, notAddedLines_.size())).join(u'\n');
  if (notAddedLines_.size() > shown) {
    text +=
        u'\n' +
        texts_.Text(QStringLiteral("MAIN_TEXT_NOTADDED_MORE")).arg(notAddedLines_.size() - shown);
    box.setDetailedText(notAddedLines_.join(u'\n'));
  }
  box.setText(text);
}

void PhotoPage::RemoveSelected() {
  const std::vector<bool> selected = SelectedRows(*list_, photos_.size());
  const auto first = std::ranges::find(selected, true);
  if (first == selected.end()) {
    return;
  }
  const auto next = static_cast<std::size_t>(first - selected.begin());
  photos_.RemoveRows(selected);
  ShowRows();
  // The row that took the first removed one's place is selected, as the focus shows it, so
  // that Delete again removes it.
  if (!photos_.empty()) {
    SelectRow(std::min(next, photos_.size() - 1));
  }
  RefreshPageState();
}

void PhotoPage::SelectRow(std::size_t row) {
  list_->clearSelection();
  list_->selectRow(static_cast<int>(row));
  list_->setCurrentCell(static_cast<int>(row), 0, QItemSelectionModel::NoUpdate);
}

void PhotoPage::RematchAll() {
  library_.Refresh();
  MatchAllInBackground();
  ShowRows();
  RefreshPageState();
}

void PhotoPage::NoteSelection() {
  state_->selection.clear();
  const std::vector<bool> selected = SelectedRows(*list_, photos_.size());
  for (std::size_t row = 0; row < selected.size(); ++row) {
    if (selected[row]) {
      state_->selection.insert(photos_.rows()[row].identity);
    }
  }
}

void PhotoPage::ShowRows() {
  const QSignalBlocker quiet(list_);
  list_->clearSelection();
  list_->setRowCount(static_cast<int>(photos_.size()));
  // The selection follows the photos, wherever sorting or removing moved them.
  QSet<QString> stillListed;
  for (const PhotoRow& row : photos_.rows()) {
    if (state_->selection.contains(row.identity)) {
      stillListed.insert(row.identity);
    }
  }
  state_->selection = stillListed;
  FillRows(0, ++rowsShown_);
}

void PhotoPage::FillRows(int from, unsigned showing) {
  // Rows of an earlier showing are never filled over a later one's.
  if (showing != rowsShown_) {
    return;
  }
  // The photos are being changed on another thread: the rows wait for the work to end.
  if (workingOnPhotos_) {
    QTimer::singleShot(20, this, [this, from, showing] { FillRows(from, showing); });
    return;
  }
  // About a tenth of a second of work at a time: the window answers between slices.
  constexpr int kRowsAtOnce = 2'500;
  const QSignalBlocker quiet(list_);
  const int end = std::min(static_cast<int>(photos_.size()), from + kRowsAtOnce);
  QItemSelection selected;
  for (int r = from; r < end; ++r) {
    const PhotoRow& row = photos_.rows()[static_cast<std::size_t>(r)];
    // The camera's own time, and the zone it was matched by.
    const QString date =
        row.byPhotoZone ? row.dateText + u' ' +
                              QString::fromStdString(OffsetSecondsText(*row.capture.offsetSeconds))
                        : row.dateText;
    const QString texts[kColumnCount] = {
        {},       row.fileName, date, row.latitudeText, row.longitudeText, row.altitudeText,
        row.path, row.logFile};
    for (int column = 0; column < kColumnCount; ++column) {
      // Items of an earlier showing are written over: making them anew costs far more.
      QTableWidgetItem* item = list_->item(r, column);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        list_->setItem(r, column, item);
      }
      item->setText(texts[column]);
      if (column == kStatus) {
        item->setIcon(StatusIcon(row));
        item->setData(Qt::UserRole, row.matched);
        item->setToolTip(StatusTip(row, texts_));
      }
    }
    if (state_->selection.contains(row.identity)) {
      selected.select(list_->model()->index(r, 0), list_->model()->index(r, kColumnCount - 1));
    }
  }
  list_->selectionModel()->select(selected, QItemSelectionModel::Select);
  if (end < static_cast<int>(photos_.size())) {
    QTimer::singleShot(0, this, [this, end, showing] { FillRows(end, showing); });
  } else {
    Q_EMIT selectionCountChanged(SelectedCount());
  }
}

void PhotoPage::RefreshPageState() {
  const bool anySelected =
      list_->selectionModel() != nullptr && list_->selectionModel()->hasSelection();
  removeButton_->setEnabled(!photos_.empty() && anySelected);
  detailButton_->setEnabled(!photos_.empty() && anySelected);
  tableButton_->setEnabled(!photos_.empty());
  const bool canSave = photos_.AnyToSave();
  saveButton_->setEnabled(canSave);
  const QString step3Key = photos_.empty() ? QStringLiteral("MAIN_TEXT_STEP3_FILEADD")
                           : canSave       ? QStringLiteral("MAIN_TEXT_STEP3_CONTINUE")
                                           : QStringLiteral("MAIN_TEXT_STEP3_NOLOG");
  step3_->setText(texts_.MultiLineText(step3Key));
  step1_->setText(texts_.MultiLineText(QStringLiteral("MAIN_TEXT_STEP1")));
  const QString corrections = CorrectionSummary(state_->match, texts_);
  corrections_->setText(corrections);
  corrections_->setVisible(!corrections.isEmpty());
  // A library that could not be read explains photos that match nothing.
  libraryProblems_->ShowProblemsOf(library_);
}

void PhotoPage::OnDeviceChange() {
  logger_ = ConnectLogger(tree_);
  Q_EMIT loggerChanged();
  if (importDialog_->isVisible()) {
    importDialog_->RefreshDisplay();
  }
}

int PhotoPage::ExecOverTheLibrary(QDialog& dialog) {
  // The log manager's and the import window's commands use the library off the window's
  // thread (adding, importing, exporting, charts, tracks for the map): photos handed over
  // while one is open wait until it closes.
  const bool wasMatching = std::exchange(matching_, true);
  const int result = dialog.exec();
  matching_ = wasMatching;
  AddPhotosThatWaited();
  return result;
}

void PhotoPage::ImportFromLogger() {
  importDialog_->Prepare();
  if (ExecOverTheLibrary(*importDialog_) == QDialog::Accepted) {
    RematchAll();
    ShowLogManager();
  }
  RefreshPageState();
}

void PhotoPage::ShowLogManager() {
  logManager_->RefreshList();
  ExecOverTheLibrary(*logManager_);
  // Logs added or removed there change what the photos match.
  RematchAll();
  if (pendingTracks_.show) {
    const MapRequest request = std::exchange(pendingTracks_, MapRequest{});
    Q_EMIT mapRequested(request);
  }
}

void PhotoPage::SetTolerance(int code) {
  match_.tolerance = code;
  RematchAll();
}

void PhotoPage::SetPositionCorrection(bool enabled, int latitudeOffset, int longitudeOffset) {
  match_.positionCorrection = enabled;
  match_.latitudeOffset = enabled ? latitudeOffset : 0;
  match_.longitudeOffset = enabled ? longitudeOffset : 0;
  RematchAll();
}

void PhotoPage::SetSummerTime(bool on) {
  // Every log is read again with the new effective zone.
  library_.SetSummerTimeOffset(on ? 100 : 0);
  RematchAll();
}

void PhotoPage::SetInterpolation(bool on, int maxGapSeconds) {
  match_.interpolate = on;
  match_.maxGapSeconds = maxGapSeconds;
  RematchAll();
}

void PhotoPage::SetPhotoZone(bool use) {
  match_.usePhotoZone = use;
  RematchAll();
}

void PhotoPage::SetKeepPositions(bool keep) {
  match_.keepExistingPositions = keep;
  RematchAll();
}

void PhotoPage::CorrectCameraTime() {
  // "From a photo" takes the camera time of the first selected photo.
  std::optional<TimeValue> photoTime;
  const std::vector<bool> selected = SelectedRows(*list_, photos_.size());
  if (const auto first = std::ranges::find(selected, true); first != selected.end()) {
    photoTime =
        CaptureTime(photos_.rows()[static_cast<std::size_t>(first - selected.begin())].exifDate);
  }
  CorrectionDialog dialog(texts_, match_, CorrectionDialog::LocalNow(), photoTime, this);
  if (dialog.exec() == QDialog::Accepted) {
    dialog.ApplyTo(match_);
    RematchAll();
  }
}

void PhotoPage::ShowDetails() {
  const std::vector<bool> selected = SelectedRows(*list_, photos_.size());
  const auto first = std::ranges::find(selected, true);
  if (first == selected.end()) {
    return;
  }
  const auto shown = static_cast<std::size_t>(first - selected.begin());
  PhotoDetailDialog dialog(settings_, texts_, photos_, shown, this);
  dialog.exec();
  ShowRows();
  // The list's selection follows the photo the details were stepped to.
  if (dialog.currentRow() != shown && dialog.currentRow() < photos_.size()) {
    SelectRow(dialog.currentRow());
  }
  RefreshPageState();
}

void PhotoPage::SaveTable() {
  TableDialog dialog(settings_, texts_, photos_, this);
  dialog.exec();
}

void PhotoPage::SavePhotos() {
  if (photos_.empty()) {
    return;
  }
  PickUpLibraryChanges();
  SaveDialog dialog(
      settings_, texts_, photos_, library_, match_,
      [this](const QString& titleKey, const auto& work) { WorkOnPhotos(titleKey, work); }, this);
  dialog.exec();
  if (!dialog.photosBack().isEmpty()) {
    // A save taken back: its photos come back to the list, placed where they were.
    AddPhotos(dialog.photosBack());
    std::vector<std::pair<std::size_t, PhotoList::HandPosition>> hands;
    for (auto hand = dialog.handPositions().cbegin(); hand != dialog.handPositions().cend();
         ++hand) {
      if (const std::optional<std::size_t> row = photos_.Find(hand.key())) {
        hands.emplace_back(*row, hand.value());
      }
    }
    photos_.SetHandPositions(hands, library_, match_, formats_);
    library_.HoldLog(std::nullopt);
  }
  ShowRows();
  RefreshPageState();
}

int PhotoPage::SelectedCount() const {
  return list_->selectionModel() == nullptr
             ? 0
             : static_cast<int>(list_->selectionModel()->selectedRows().size());
}

void PhotoPage::DoHandChange(const std::vector<std::size_t>& rows, const PlacedPosition* placed) {
  if (workingOnPhotos_) {
    return;  // the photos are being changed on another thread (the map asked meanwhile)
  }
  HandChange change;
  for (const std::size_t row : rows) {
    const PhotoRow& photo = photos_.rows()[row];
    const PhotoList::HandPosition before = PhotoList::HandPositionOf(photo);
    // Clearing a place gives the photo back to the logs; clearing a position a log or the
    // photo gave leaves it without one.
    const PhotoList::HandPosition after =
        placed != nullptr ? PhotoList::HandPosition{*placed, false}
        : photo.placed    ? PhotoList::HandPosition{std::nullopt, false}
                          : PhotoList::HandPosition{std::nullopt, true};
    if (before != after) {
      change.rows.push_back({photo.identity, before, after});
    }
  }
  if (change.rows.empty()) {
    return;
  }
  state_->redoSteps.clear();
  state_->undoSteps.push_back(change);
  ApplyHandChange(change, true);
}

void PhotoPage::ApplyHandChange(const HandChange& change, bool forward) {
  std::vector<std::pair<std::size_t, PhotoList::HandPosition>> rows;
  for (const HandChange::Row& row : change.rows) {
    if (const std::optional<std::size_t> at = photos_.FindIdentity(row.identity)) {
      rows.emplace_back(*at, forward ? row.after : row.before);
    }
  }
  PickUpLibraryChanges();
  photos_.SetHandPositions(rows, library_, match_, formats_);
  library_.HoldLog(std::nullopt);
  ShowRows();
  RefreshPageState();
  const PositionCorrection correction{match_.latitudeCorrection(), match_.longitudeCorrection()};
  QJsonArray shown;
  for (const auto& [index, hand] : rows) {
    const PhotoRow& row = photos_.rows()[index];
    QJsonObject photo{{QStringLiteral("path"), row.path}};
    if (const std::optional<ShownPosition> at = PositionOf(row, correction)) {
      photo.insert(QStringLiteral("name"), row.fileName);
      photo.insert(QStringLiteral("lat"), at->latitude);
      photo.insert(QStringLiteral("lng"), at->longitude);
      photo.insert(QStringLiteral("placed"), row.placed.has_value());
    }
    shown.append(photo);
  }
  Q_EMIT photosMoved(shown);
}

void PhotoPage::PlaceSelected(const PlacedPosition& position) {
  std::vector<std::size_t> rows;
  const std::vector<bool> selected = SelectedRows(*list_, photos_.size());
  for (std::size_t row = 0; row < selected.size(); ++row) {
    if (selected[row]) {
      rows.push_back(row);
    }
  }
  DoHandChange(rows, &position);
}

void PhotoPage::PlaceSelectedAtTrackPoint(const QString& logFile, std::size_t index) {
  if (workingOnPhotos_) {
    return;
  }
  PickUpLibraryChanges();
  const std::optional<TrackPoint> point = DrawnLinePoint(library_, logFile, index);
  library_.HoldLog(std::nullopt);
  if (!point) {
    return;
  }
  Coordinate position(*point);
  position.Convert(0, 0);
  PlaceSelected(
      {position.latitudeDegrees, position.longitudeDegrees,
       position.hasAltitude ? std::optional<double>(position.altitudeMetres) : std::nullopt});
}

QString PhotoPage::TrackPointText(const QString& logFile, std::size_t index) {
  if (workingOnPhotos_) {
    return {};
  }
  const std::optional<TrackPoint> point = DrawnLinePoint(library_, logFile, index);
  library_.HoldLog(std::nullopt);
  if (!point) {
    return {};
  }
  QString text = FormatTime(point->localTime, formats_.timeFormat);
  if (point->HasAltitude()) {
    text += QStringLiteral(", ") + AltitudeText(*point);
  }
  return text;
}

void PhotoPage::MovePlacedPhoto(const QString& path, double latitude, double longitude) {
  if (const std::optional<std::size_t> row = photos_.Find(path)) {
    const PlacedPosition position{latitude, longitude, std::nullopt};
    DoHandChange({*row}, &position);
  }
}

void PhotoPage::ClearPosition(const QString& path) {
  if (const std::optional<std::size_t> row = photos_.Find(path)) {
    DoHandChange({*row}, nullptr);
  }
}

bool PhotoPage::UndoHandChange() {
  return MoveHandChange(state_->undoSteps, state_->redoSteps, false);
}

bool PhotoPage::RedoHandChange() {
  return MoveHandChange(state_->redoSteps, state_->undoSteps, true);
}

bool PhotoPage::MoveHandChange(std::vector<HandChange>& from, std::vector<HandChange>& to,
                               bool forward) {
  if (from.empty() || workingOnPhotos_) {
    return false;
  }
  HandChange change = std::move(from.back());
  from.pop_back();
  ApplyHandChange(change, forward);
  to.push_back(std::move(change));
  return true;
}

void PhotoPage::ShowMapView() {
  std::vector<std::size_t> rows;
  const std::vector<bool> selected = SelectedRows(*list_, photos_.size());
  for (std::size_t row = 0; row < selected.size(); ++row) {
    if (selected[row]) {
      rows.push_back(row);
    }
  }
  PickUpLibraryChanges();
  QDir().mkpath(settings_.folders().cacheFolder);
  const bool showTracks = settings_.ReadFlag(setting::kShowTrack);
  MapRequest request;
  WorkOnPhotos(QStringLiteral("MAIN_SUB_PROCESS_MAP"), [&](const Progress& progress) {
    request = ShowPhotosOnMap(library_, photos_, rows, match_, showTracks, formats_.timeFormat,
                              settings_.folders().cacheFolder, progress);
  });
  if (request.show) {
    Q_EMIT mapRequested(request);
  }
}

}  // namespace trevalo
