#include "tagging/save_dialog.h"

#include <algorithm>
#include <utility>

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "files/change_journal.h"
#include "files/native_files.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "tagging/photo_kml.h"
#include "widgets/plain_text.h"
#include "widgets/save_folder.h"
#include "widgets/written_summary.h"

namespace trevalo {
namespace {

constexpr int kTextCapacity = 128;
constexpr int kDefaultWidth = 800;

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

}  // namespace

SaveDialog::SaveDialog(const Settings& settings, const LanguageTexts& texts, PhotoList& photos,
                       LogLibrary& library, const MatchSettings& match, PhotoWork runWork,
                       QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      texts_(texts),
      photos_(photos),
      library_(library),
      match_(match),
      runWork_(std::move(runWork)),
      overwrite_(Named(new QRadioButton(texts.Text(QStringLiteral("SAVE_BUTTON_OVERWRITE")), this),
                       "overwriteMode")),
      copy_(Named(new QRadioButton(texts.Text(QStringLiteral("SAVE_BUTTON_SAVECOPY")), this),
                  "copyMode")),
      folderLine_(Named(NewPlainLabel(this), "saveFolder")),
      kml_(Named(new QCheckBox(texts.Text(QStringLiteral("SAVE_OPTION_KMLCREATE")), this),
                 "kmlCreate")),
      kmz_(Named(new QCheckBox(texts.Text(QStringLiteral("SAVE_OPTION_KMZCREATE")), this),
                 "kmzCreate")),
      kmlNameCaption_(new QLabel(
          texts.Text(QStringLiteral("SAVE_TEXT_KMLFILENAME")) + QStringLiteral(" :"), this)),
      kmlName_(Named(new QLineEdit(this), "kmlName")),
      urlPrefix_(Named(new QLineEdit(this), "urlPrefix")),
      width_(Named(new QLineEdit(QString::number(kDefaultWidth), this), "imageWidth")),
      sidecarNote_(Named(NewPlainLabel(this), "sidecarNote")) {
  setObjectName(QStringLiteral("saveDialog"));
  setWindowTitle(texts.Text(QStringLiteral("SAVE_TITLE")));
  kmlName_->setMaxLength(kTextCapacity);
  urlPrefix_->setMaxLength(kTextCapacity);
  width_->setValidator(new QIntValidator(0, 99999, width_));
  // In-place saving is offered by the command-line tool; this window saves copies.
  overwrite_->hide();
  copy_->setChecked(true);

  auto* changeFolder = Named(
      new QPushButton(texts.Text(QStringLiteral("SAVE_BUTTON_CHANGEPATH")), this), "changeFolder");
  auto* saveButton =
      Named(new QPushButton(texts.Text(QStringLiteral("SAVE_BUTTON_SAVE")), this), "saveButton");
  auto* cancelButton = Named(
      new QPushButton(texts.Text(QStringLiteral("SAVE_BUTTON_CANCEL")), this), "cancelButton");
  saveButton->setDefault(true);

  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(folderLine_, 1);
  folderRow->addWidget(changeFolder, 0, Qt::AlignTop);
  auto* kmlGrid = new QGridLayout;
  kmlGrid->addWidget(kmlNameCaption_, 0, 0);
  kmlGrid->addWidget(kmlName_, 0, 1);
  kmlGrid->addWidget(new QLabel(QStringLiteral("URL:"), this), 1, 0);
  kmlGrid->addWidget(urlPrefix_, 1, 1);
  kmlGrid->addWidget(new QLabel(QStringLiteral("WIDTH:"), this), 2, 0);
  kmlGrid->addWidget(width_, 2, 1);
  kmlGrid->setColumnStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(saveButton);
  buttons->addWidget(cancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(texts.Text(QStringLiteral("SAVE_TEXT_ASK")), this));
  layout->addWidget(overwrite_);
  layout->addWidget(copy_);
  layout->addLayout(folderRow);
  layout->addSpacing(8);
  layout->addWidget(kml_);
  layout->addWidget(kmz_);
  layout->addLayout(kmlGrid);
  layout->addWidget(sidecarNote_);
  layout->addLayout(buttons);
  setMinimumWidth(520);

  connect(overwrite_, &QRadioButton::toggled, this, &SaveDialog::ApplyKmlCheck);
  connect(kml_, &QCheckBox::toggled, this, &SaveDialog::ApplyKmlCheck);
  connect(changeFolder, &QPushButton::clicked, this, &SaveDialog::ChooseFolder);
  connect(saveButton, &QPushButton::clicked, this, &SaveDialog::Save);
  connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

  SetSaveFolder(StartFolder(settings, setting::kPathSave, setting::kSaveFolderCapacity));
  ApplyKmlCheck();
  ShowSidecars();
}

SidecarChoice SaveDialog::Sidecars() const {
  return {.everyPhoto = false,
          .naming = settings_.ReadFlag(setting::kSidecarBaseName) ? SidecarNaming::kBaseName
                                                                  : SidecarNaming::kFullName};
}

void SaveDialog::ShowSidecars() {
  const SidecarChoice sidecars = Sidecars();
  QStringList lines;
  for (const PhotoRow& row : photos_.rows()) {
    if ((row.matched || row.placed) && sidecars.For(row)) {
      lines << QStringLiteral("%1 \u2192 %2")
                   .arg(row.fileName, QFileInfo(SidecarPath(row.path, sidecars.naming)).fileName());
    }
  }
  sidecarNote_->setVisible(!lines.isEmpty());
  sidecarNote_->setText(texts_.Text(QStringLiteral("SAVE_TEXT_SIDECAR")) + u'\n' +
                        lines.join(u'\n'));
}

void SaveDialog::SetSaveFolder(const QString& folder) {
  saveFolder_ = SaveFolderOrPictures(settings_, folder);
  folderLine_->setText(FolderLine(texts_.Text(QStringLiteral("SAVE_TEXT_SAVEPATH")), saveFolder_));
}

void SaveDialog::ApplyKmlCheck() {
  const bool wanted = kml_->isChecked();
  for (QWidget* control : {static_cast<QWidget*>(kmlName_), static_cast<QWidget*>(kmlNameCaption_),
                           static_cast<QWidget*>(urlPrefix_), static_cast<QWidget*>(width_),
                           static_cast<QWidget*>(kmz_)}) {
    control->setEnabled(wanted);
  }
  if (!wanted) {
    kmz_->setChecked(false);
  }
}

void SaveDialog::ChooseFolder() {
  const QString folder = QFileDialog::getExistingDirectory(this, QString(), saveFolder_);
  if (!folder.isEmpty()) {
    SetSaveFolder(folder);
  }
}

void SaveDialog::Tell(const QString& text, QMessageBox::Icon icon) {
  PlainMessageBox box(icon, windowTitle(), text, QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("saveMessage"));
  box.exec();
}

namespace {

// The photos, document and package a save wrote.
QStringList WrittenFiles(const PhotoKmlReport& report) {
  QStringList written;
  for (const SaveReport::Item& item : report.save.items) {
    if (!item.written.isEmpty()) {
      written << item.written;
    }
  }
  // A document that could not be written is named among the problems.
  for (const QString& document : {report.kmlPath, report.kmzPath}) {
    const bool failed = std::ranges::any_of(
        report.problems, [&](const QString& problem) { return problem.contains(document); });
    if (!document.isEmpty() && !failed && QFileInfo::exists(document)) {
      written << document;
    }
  }
  return written;
}

}  // namespace

void SaveDialog::Save() {
  bool isNumber = false;
  const int width = width_->text().toInt(&isNumber);
  if (!isNumber || width < 10 || width > 1000) {
    width_->setText(QString::number(kDefaultWidth));
    Tell(QStringLiteral("WIDTH: 10 - 1000"), QMessageBox::Warning);
    return;
  }
  PhotoKmlOptions options;
  options.mode = overwrite_->isChecked() ? SaveMode::kInPlace : SaveMode::kCopy;
  options.saveFolder = saveFolder_;
  options.kml = kml_->isChecked();
  options.kmz = options.kml && kmz_->isChecked();
  options.kmlName = kmlName_->text();
  options.urlPrefix = urlPrefix_->text();
  options.imageWidth = width;
  options.photoFolderName = texts_.Text(QStringLiteral("KML_STRING_PHOTO"));
  options.trackFolderName = texts_.Text(QStringLiteral("KML_STRING_TRACK"));
  options.sidecars = Sidecars();
  options.journalsFolder = JournalsFolder(settings_.folders().stateFolder);
  options.journalDescription =
      QStringLiteral("Save (%1)")
          .arg(options.mode == SaveMode::kInPlace ? QStringLiteral("in place")
                                                  : QStringLiteral("copies"));
  if (options.kml && options.kmlName.isEmpty()) {
    Tell(texts_.Text(QStringLiteral("SAVE_TEXT_NOKMLNAME")), QMessageBox::Information);
    return;
  }
  if (options.kml && QFileInfo::exists(PhotoKmlPath(saveFolder_, options.kmlName))) {
    PlainMessageBox ask(QMessageBox::Warning, windowTitle(),
                        texts_.Text(QStringLiteral("SAVE_TEXT_OVERWRITE")) + u'\n' +
                            PhotoKmlPath(saveFolder_, options.kmlName),
                        QMessageBox::Yes | QMessageBox::No, this);
    ask.setObjectName(QStringLiteral("replaceKml"));
    if (ask.exec() != QMessageBox::Yes) {
      accept();
      return;
    }
  }
  // Saved photos leave the list; a save taken back brings them back as they were.
  handPositions_.clear();
  for (const PhotoRow& row : photos_.rows()) {
    if (row.placed || row.cleared) {
      handPositions_.insert(row.path, PhotoList::HandPositionOf(row));
    }
  }
  PhotoKmlReport report;
  runWork_(QStringLiteral("SAVE_SUB_PROCESS_SAVE"), [&](const Progress& progress) {
    report = SavePhotosWithKml(photos_, library_, match_, options, progress);
  });
  problems_ = report.problems;
  for (const SaveReport::Item& item : report.save.items) {
    if (item.incompatible) {
      // One warning for each photo that could not be read for rewriting.
      Tell(CompatibilityMessage(item.photo, item.problem), QMessageBox::Warning);
    } else if (!item.problem.isEmpty()) {
      problems_ << QStringLiteral("%1: %2").arg(item.photo, item.problem);
    }
  }
  if (options.mode == SaveMode::kCopy) {
    settings_.WriteSetting(setting::kPathSave, saveFolder_);
  }
  if (!problems_.isEmpty()) {
    Tell(problems_.join(u'\n'), QMessageBox::Warning);
  }
  // Photos kept at their own positions are told with what was written, or alone.
  const QString kept =
      report.save.kept.isEmpty()
          ? QString()
          : texts_.Text(QStringLiteral("SAVE_TEXT_KEPT")).arg(report.save.kept.size());
  const QStringList written = WrittenFiles(report);
  if (written.isEmpty() && !kept.isEmpty()) {
    Tell(kept, QMessageBox::Information);
  }
  UndoOffer undo;
  if (!report.journal.isEmpty()) {
    QHash<QString, QString> saved;  // the photo of each file written, by its full path
    for (const SaveReport::Item& item : report.save.items) {
      if (!item.written.isEmpty()) {
        saved.insert(AbsolutePath(item.written), item.photo);
      }
    }
    undo = {texts_.Text(QStringLiteral("SAVE_BUTTON_UNDO")),
            [this, journal = report.journal, saved] { TakeBack(journal, saved); }};
  }
  TellWritten(this, windowTitle(), written, texts_, kept, undo);
  accept();
}

void SaveDialog::TakeBack(const QString& journal, const QHash<QString, QString>& saved) {
  const UndoReport report = UndoRun(journal);
  // Photos whose files are as before the save come back to the list; copies in another
  // folder are new files of their own, which the undo leaves.
  photosBack_.clear();
  for (const QString& file : report.restored) {
    if (const auto photo = saved.constFind(file); photo != saved.cend()) {
      photosBack_ << *photo;
    }
  }
  QString text = texts_.Text(QStringLiteral("SAVE_TEXT_UNDONE")).arg(report.restored.size());
  const QStringList refused = report.refused + report.failed;
  if (!refused.isEmpty()) {
    text +=
        u'\n' + texts_.Text(QStringLiteral("SAVE_TEXT_UNDOREFUSED")) + u'\n' + refused.join(u'\n');
  }
  Tell(text, refused.isEmpty() ? QMessageBox::Information : QMessageBox::Warning);
}

}  // namespace trevalo
