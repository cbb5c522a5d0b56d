#include "library/merge_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "files/file_names.h"
#include "library/log_database.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "widgets/plain_text.h"
#include "widgets/save_folder.h"

namespace trevalo {

MergeDialog::MergeDialog(const Settings& settings, const LanguageTexts& texts,
                         const MergePlan& plan, int logCount, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      texts_(texts),
      folderLine_(NewPlainLabel(this)),
      name_(new QLineEdit(plan.proposedName, this)) {
  setObjectName(QStringLiteral("mergeDialog"));
  setWindowTitle(texts.Text(QStringLiteral("LOGMERGE_TITLE")));
  folderLine_->setObjectName(QStringLiteral("outputFolder"));
  name_->setObjectName(QStringLiteral("logName"));
  const auto button = [this, &texts](const char* key, const char* name) {
    auto* b = new QPushButton(texts.Text(QLatin1String(key)), this);
    b->setObjectName(QLatin1String(name));
    return b;
  };
  auto* change = button("LOGMERGE_BUTTON_CHANGEPATH", "changeFolder");
  auto* merge = button("LOGMERGE_BUTTON_MERGE", "mergeButton");
  auto* cancel = button("LOGMERGE_BUTTON_CANCEL", "cancelButton");
  merge->setDefault(true);
  auto* count = new QLabel(QStringLiteral("%1 : %2")
                               .arg(texts.Text(QStringLiteral("LOGMERGE_TEXT_MERGENUMBER")))
                               .arg(logCount),
                           this);
  count->setObjectName(QStringLiteral("logCount"));
  auto* warning = new QLabel(texts.Text(QStringLiteral("LOGMERGE_TEXT_WARNDISCONT")), this);
  warning->setObjectName(QStringLiteral("discontinuityWarning"));
  warning->setWordWrap(true);
  warning->setVisible(plan.discontinuous);
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(folderLine_, 1);
  folderRow->addWidget(change, 0, Qt::AlignTop);
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(new QLabel(
      texts.Text(QStringLiteral("LOGMERGE_TEXT_FILENAME")) + QStringLiteral(" :"), this));
  nameRow->addWidget(name_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(merge);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(count);
  layout->addLayout(folderRow);
  layout->addLayout(nameRow);
  layout->addWidget(warning);
  layout->addLayout(buttons);
  setMinimumWidth(480);

  connect(change, &QPushButton::clicked, this, [this] {
    const QString folder = QFileDialog::getExistingDirectory(this, QString(), folder_);
    if (!folder.isEmpty()) {
      SetOutputFolder(folder);
    }
  });
  connect(merge, &QPushButton::clicked, this, &MergeDialog::Merge);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  // The library folder, or the folder logs were last added from when it still exists.
  const QString stored = settings.ReadSetting(setting::kPathLog, setting::kFolderCapacity);
  SetOutputFolder(!stored.isEmpty() && QFileInfo(stored).isDir()
                      ? stored
                      : QDir(settings.folders().documentsFolder).filePath(kLibraryFolderName));
}

void MergeDialog::SetOutputFolder(const QString& folder) {
  folder_ = SaveFolderOrPictures(settings_, folder);
  folderLine_->setText(FolderLine(texts_.Text(QStringLiteral("LOGMERGE_TEXT_OUTPATH")), folder_));
}

void MergeDialog::Merge() {
  if (name_->text().isEmpty()) {
    PlainMessageBox box(QMessageBox::Information, windowTitle(),
                        texts_.Text(QStringLiteral("LOGMERGE_TEXT_NOLOGNAME")), QMessageBox::Ok,
                        this);
    box.setObjectName(QStringLiteral("noName"));
    box.exec();
    return;
  }
  settings_.WriteSetting(setting::kPathLog, folder_);
  const QString path = folder_ + CleanFileName(name_->text()) + QStringLiteral(".LOG");
  if (QFileInfo::exists(path)) {
    PlainMessageBox ask(QMessageBox::Warning, windowTitle(),
                        texts_.Text(QStringLiteral("LOGMERGE_TEXT_OVERWRITE")),
                        QMessageBox::Yes | QMessageBox::No, this);
    ask.setObjectName(QStringLiteral("replaceLog"));
    if (ask.exec() != QMessageBox::Yes) {
      return;
    }
  }
  outputPath_ = path;
  accept();
}

}  // namespace trevalo
