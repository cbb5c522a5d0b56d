#include "device/log_import_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "device/log_import.h"
#include "device/mount_table.h"
#include "library/library_problems_label.h"
#include "library/log_library.h"
#include "library/time_zone_list.h"
#include "shell/language.h"
#include "shell/local_zone.h"
#include "widgets/background_work.h"
#include "widgets/plain_text.h"

namespace trevalo {
namespace {

QLabel* Caption(const LanguageTexts& texts, const char* key, QWidget* parent) {
  auto* label = new QLabel(texts.Text(QLatin1String(key)) + QStringLiteral(" :"), parent);
  label->setObjectName(QLatin1String(key));
  return label;
}

QLabel* Value(const char* name, QWidget* parent) {
  QLabel* label = NewPlainLabel(parent);
  label->setObjectName(QLatin1String(name));
  return label;
}

}  // namespace

LogImportDialog::LogImportDialog(const LanguageTexts& texts, LogLibrary& library, DeviceTree tree,
                                 QWidget* parent)
    : QDialog(parent),
      texts_(texts),
      library_(library),
      tree_(std::move(tree)),
      folderCaption_(Caption(texts, "GPSIMPORT_TEXT_DATAPATH", this)),
      folder_(Value("logFolder", this)),
      freeCaption_(Caption(texts, "GPSIMPORT_TEXT_FREESIZE", this)),
      free_(Value("freeSpace", this)),
      totalCaption_(Caption(texts, "GPSIMPORT_TEXT_TOTALSIZE", this)),
      total_(Value("totalSpace", this)),
      zoneCaption_(Caption(texts, "GPSIMPORT_TEXT_GMT", this)),
      zones_(new QComboBox(this)),
      deleteBox_(new QCheckBox(texts.Text(QStringLiteral("GPSIMPORT_OPTION_DELETE")), this)),
      disconnected_(
          new QLabel(texts.MultiLineText(QStringLiteral("GPSIMPORT_TEXT_DISCONNECTED")), this)),
      importButton_(new QPushButton(texts.Text(QStringLiteral("GPSIMPORT_BUTTON_IMPORT")), this)),
      libraryProblems_(new LibraryProblemsLabel(texts, this)) {
  setObjectName(QStringLiteral("importDialog"));
  setWindowTitle(texts.Text(QStringLiteral("GPSIMPORT_TITLE")));
  zones_->setObjectName(QStringLiteral("zoneList"));
  deleteBox_->setObjectName(QStringLiteral("deleteAfterImport"));
  disconnected_->setObjectName(QStringLiteral("disconnectedText"));
  disconnected_->setWordWrap(true);
  importButton_->setObjectName(QStringLiteral("importButton"));
  auto* closeButton = new QPushButton(texts.Text(QStringLiteral("GPSIMPORT_BUTTON_CLOSE")), this);
  closeButton->setObjectName(QStringLiteral("closeButton"));
  auto* managerButton =
      new QPushButton(texts.Text(QStringLiteral("GPSIMPORT_BUTTON_GPSMANAGER")), this);
  managerButton->setObjectName(QStringLiteral("logManagerButton"));

  auto* grid = new QGridLayout;
  grid->addWidget(folderCaption_, 0, 0);
  grid->addWidget(folder_, 0, 1);
  grid->addWidget(freeCaption_, 1, 0);
  grid->addWidget(free_, 1, 1);
  grid->addWidget(totalCaption_, 2, 0);
  grid->addWidget(total_, 2, 1);
  grid->addWidget(zoneCaption_, 3, 0);
  grid->addWidget(zones_, 3, 1);
  grid->addWidget(deleteBox_, 4, 0, 1, 2);
  grid->addWidget(disconnected_, 5, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(managerButton);
  buttons->addStretch(1);
  buttons->addWidget(importButton_);
  buttons->addWidget(closeButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(libraryProblems_);
  layout->addLayout(grid);
  layout->addStretch(1);
  layout->addLayout(buttons);
  setMinimumWidth(480);

  connect(importButton_, &QPushButton::clicked, this, &LogImportDialog::Import);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(managerButton, &QPushButton::clicked, this, &LogImportDialog::logManagerRequested);
}

void LogImportDialog::Prepare() {
  zones_->clear();
  const QString gmt = texts_.Text(QStringLiteral("GPSIMPORT_OPTION_GMT"));
  for (const int zone : kTimeZoneList) {
    zones_->addItem(ZoneText(zone, gmt), zone);
  }
  // A computer in a zone outside the list leaves the list without a choice.
  zones_->setCurrentIndex(ZoneListIndex(LocalZoneHHMM()));
  deleteBox_->setChecked(deleteAfterImport_);
  // A library that cannot record the logs is seen before they are copied.
  libraryProblems_->ShowProblemsOf(library_);
  RefreshDisplay();
}

void LogImportDialog::RefreshDisplay() {
  logger_ = DetectLogger(tree_);
  const bool present = logger_.kind != LoggerKind::kNone;
  for (QWidget* control : {static_cast<QWidget*>(importButton_), static_cast<QWidget*>(deleteBox_),
                           static_cast<QWidget*>(zones_), static_cast<QWidget*>(zoneCaption_)}) {
    control->setEnabled(present);
  }
  for (QWidget* line : {folderCaption_, folder_, freeCaption_, free_, totalCaption_, total_}) {
    line->setVisible(present);
  }
  disconnected_->setVisible(!present);
  if (present) {
    folder_->setText(LoggerPath(logger_.drive, QStringLiteral("GPS")));
    const VolumeSpace space = SpaceOf(logger_.drive);
    free_->setText(MegabyteText(space.freeBytes));
    total_->setText(MegabyteText(space.totalBytes));
  }
}

int LogImportDialog::ChosenZone() const {
  return zones_->currentIndex() >= 0 ? zones_->currentData().toInt() : LocalZoneHHMM();
}

void LogImportDialog::Import() {
  if (logger_.kind == LoggerKind::kNone) {
    return;
  }
  deleteAfterImport_ = deleteBox_->isChecked();
  problems_.clear();
  // Copying and scanning the logs takes seconds; a logger plugged in or out meanwhile
  // changes what the window shows, not what is imported.
  ImportResult result;
  const QString drive = logger_.drive;
  const ImportOptions options{ChosenZone(), deleteAfterImport_};
  RunInBackground(
      texts_.Text(QStringLiteral("GPSIMPORT_SUB_PROCESS")), this,
      [&](const Progress& progress) { result = ImportLogs(drive, library_, options, progress); });
  if (!result.problem.isEmpty()) {
    problems_ << result.problem;
  }
  for (const ImportedLog& log : result.logs) {
    for (const QString& text : {log.notice, log.problem}) {
      if (!text.isEmpty() && !problems_.contains(text)) {
        problems_ << text;
      }
    }
  }
  if (!problems_.isEmpty()) {
    PlainMessageBox box(QMessageBox::Warning, windowTitle(), problems_.join(u'\n'), QMessageBox::Ok,
                        this);
    box.setObjectName(QStringLiteral("importProblems"));
    box.exec();
  }
  accept();
}

}  // namespace trevalo
