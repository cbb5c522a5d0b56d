#include "export/export_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "shell/language.h"
#include "shell/settings.h"
#include "widgets/plain_text.h"
#include "widgets/save_folder.h"

namespace trevalo {

ExportDialog::ExportDialog(const Settings& settings, const LanguageTexts& texts, int logCount,
                           QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      texts_(texts),
      kml_(new QRadioButton(texts.Text(QStringLiteral("EXPORT_TEXT_FORMATKML")), this)),
      gpx_(new QRadioButton(texts.Text(QStringLiteral("EXPORT_TEXT_FORMATGPX")), this)),
      table_(new QRadioButton(QStringLiteral("EXCEL"), this)),
      batch_(new QCheckBox(texts.Text(QStringLiteral("EXPORT_EXCEL_BATCHPROCESSING")), this)),
      folderLine_(NewPlainLabel(this)),
      name_(new QLineEdit(this)) {
  setObjectName(QStringLiteral("exportDialog"));
  setWindowTitle(texts.Text(QStringLiteral("EXPORT_TITLE")));
  kml_->setObjectName(QStringLiteral("formatKml"));
  gpx_->setObjectName(QStringLiteral("formatGpx"));
  table_->setObjectName(QStringLiteral("formatTable"));
  batch_->setObjectName(QStringLiteral("batch"));
  folderLine_->setObjectName(QStringLiteral("exportFolder"));
  name_->setObjectName(QStringLiteral("fileName"));
  auto* formats = new QButtonGroup(this);
  formats->addButton(kml_);
  formats->addButton(gpx_);
  formats->addButton(table_);
  // The checked radio is the format that is written.
  kml_->setChecked(true);

  const auto button = [this, &texts](const char* key, const char* name) {
    auto* b = new QPushButton(texts.Text(QLatin1String(key)), this);
    b->setObjectName(QLatin1String(name));
    return b;
  };
  auto* change = button("EXPORT_BUTTON_CHANGEPATH", "changeFolder");
  auto* exportButton = button("EXPORT_BUTTON_EXPORT", "exportButton");
  auto* cancel = button("EXPORT_BUTTON_CANCEL", "cancelButton");
  exportButton->setDefault(true);
  auto* grid = new QGridLayout;
  grid->addWidget(
      new QLabel(texts.Text(QStringLiteral("EXPORT_TEXT_EXPORTFORMAT")) + QStringLiteral(" :"),
                 this),
      0, 0);
  auto* radios = new QHBoxLayout;
  radios->addWidget(kml_);
  radios->addWidget(gpx_);
  radios->addWidget(table_);
  radios->addStretch(1);
  grid->addLayout(radios, 0, 1);
  grid->addWidget(
      new QLabel(texts.Text(QStringLiteral("EXPORT_TEXT_EXPORTNUMBER")) + QStringLiteral(" :"),
                 this),
      1, 0);
  auto* count = new QLabel(QString::number(logCount), this);
  count->setObjectName(QStringLiteral("logCount"));
  grid->addWidget(count, 1, 1);
  grid->addWidget(batch_, 2, 0, 1, 2);
  grid->addWidget(folderLine_, 3, 0, 1, 2);
  grid->addWidget(change, 3, 2, Qt::AlignTop);
  grid->addWidget(
      new QLabel(texts.Text(QStringLiteral("EXPORT_TEXT_FILENAME")) + QStringLiteral(" :"), this),
      4, 0);
  grid->addWidget(name_, 4, 1, 1, 2);
  grid->setColumnStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(exportButton);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  setMinimumWidth(520);

  connect(batch_, &QCheckBox::toggled, name_, &QLineEdit::setDisabled);
  connect(change, &QPushButton::clicked, this, [this] {
    const QString folder = QFileDialog::getExistingDirectory(this, QString(), folder_);
    if (!folder.isEmpty()) {
      SetExportFolder(folder);
    }
  });
  connect(exportButton, &QPushButton::clicked, this, &ExportDialog::Export);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  SetExportFolder(StartFolder(settings, setting::kPathExport, setting::kFolderCapacity));
}

ExportFormat ExportDialog::format() const {
  return gpx_->isChecked()     ? ExportFormat::kGpx
         : table_->isChecked() ? ExportFormat::kTable
                               : ExportFormat::kKml;
}

bool ExportDialog::batch() const {
  return batch_->isChecked();
}

QString ExportDialog::typedName() const {
  return name_->text();
}

void ExportDialog::SetExportFolder(const QString& folder) {
  folder_ = SaveFolderOrPictures(settings_, folder);
  folderLine_->setText(FolderLine(texts_.Text(QStringLiteral("EXPORT_TEXT_EXPORTPATH")), folder_));
}

void ExportDialog::Export() {
  if (batch()) {
    settings_.WriteSetting(setting::kPathExport, folder_);
    output_ = folder_;
    accept();
    return;
  }
  if (name_->text().isEmpty()) {
    PlainMessageBox box(QMessageBox::Information, windowTitle(),
                        texts_.Text(QStringLiteral("EXPORT_TEXT_NONAME")), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("noName"));
    box.exec();
    return;
  }
  settings_.WriteSetting(setting::kPathExport, folder_);
  const QString path = ExportPath(folder_, name_->text(), format());
  if (QFileInfo::exists(path)) {
    PlainMessageBox ask(QMessageBox::Warning, windowTitle(),
                        texts_.Text(QStringLiteral("EXPORT_TEXT_OVERWRITE")),
                        QMessageBox::Yes | QMessageBox::No, this);
    ask.setObjectName(QStringLiteral("replaceExport"));
    if (ask.exec() != QMessageBox::Yes) {
      return;
    }
  }
  output_ = path;
  accept();
}

}  // namespace trevalo
