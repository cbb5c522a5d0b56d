#include "tagging/table_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "files/file_names.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "tagging/photo_table.h"
#include "widgets/plain_text.h"
#include "widgets/progress_dialog.h"
#include "widgets/save_folder.h"
#include "widgets/written_summary.h"

namespace trevalo {

QString TableDialog::TablePath(const QString& folder, const QString& name) {
  return folder + CleanFileName(name) + QStringLiteral(".CSV");  // as the log tables
}

TableDialog::TableDialog(const Settings& settings, const LanguageTexts& texts,
                         const PhotoList& photos, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      texts_(texts),
      photos_(photos),
      folderLine_(NewPlainLabel(this)),
      name_(new QLineEdit(this)) {
  setObjectName(QStringLiteral("tableDialog"));
  setWindowTitle(texts.Text(QStringLiteral("SAVE_EXCEL_TITLE")));
  folderLine_->setObjectName(QStringLiteral("saveFolder"));
  name_->setObjectName(QStringLiteral("fileName"));
  const auto button = [this, &texts](const char* key, const char* name) {
    auto* b = new QPushButton(texts.Text(QLatin1String(key)), this);
    b->setObjectName(QLatin1String(name));
    return b;
  };
  auto* change = button("SAVE_EXCEL_BUTTON_CHANGEPATH", "changeFolder");
  auto* save = button("SAVE_EXCEL_BUTTON_SAVE", "saveButton");
  auto* cancel = button("SAVE_EXCEL_BUTTON_CANCEL", "cancelButton");
  save->setDefault(true);
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(folderLine_, 1);
  folderRow->addWidget(change, 0, Qt::AlignTop);
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(new QLabel(
      texts.Text(QStringLiteral("SAVE_EXCEL_TEXT_FILENAME")) + QStringLiteral(" :"), this));
  nameRow->addWidget(name_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(folderRow);
  layout->addLayout(nameRow);
  layout->addLayout(buttons);
  setMinimumWidth(480);

  connect(change, &QPushButton::clicked, this, [this] {
    const QString folder = QFileDialog::getExistingDirectory(this, QString(), saveFolder_);
    if (!folder.isEmpty()) {
      SetSaveFolder(folder);
    }
  });
  connect(save, &QPushButton::clicked, this, &TableDialog::Save);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  SetSaveFolder(StartFolder(settings, setting::kPathSaveExcel, setting::kFolderCapacity));
}

void TableDialog::SetSaveFolder(const QString& folder) {
  saveFolder_ = SaveFolderOrPictures(settings_, folder);
  folderLine_->setText(
      FolderLine(texts_.Text(QStringLiteral("SAVE_EXCEL_TEXT_SAVEPATH")), saveFolder_));
}

void TableDialog::Save() {
  if (name_->text().isEmpty()) {
    PlainMessageBox box(QMessageBox::Information, windowTitle(),
                        texts_.Text(QStringLiteral("SAVE_EXCEL_TEXT_EXCELNAME")), QMessageBox::Ok,
                        this);
    box.setObjectName(QStringLiteral("noName"));
    box.exec();
    return;
  }
  const QString path = TablePath(saveFolder_, name_->text());
  bool write = true;
  if (QFileInfo::exists(path)) {
    PlainMessageBox ask(QMessageBox::Warning, windowTitle(),
                        texts_.Text(QStringLiteral("SAVE_TEXT_OVERWRITE")) + u'\n' + path,
                        QMessageBox::Yes | QMessageBox::No, this);
    ask.setObjectName(QStringLiteral("replaceTable"));
    write = ask.exec() == QMessageBox::Yes;
  }
  if (write) {
    QString problem;
    bool inUtf8 = false;
    {
      ProgressDialog progress(texts_.Text(QStringLiteral("SAVE_EXCEL_SUB_PROCESS_SAVE")), this);
      // The table's progress window shows its bar only; its line stays empty.
      problem = WritePhotoTable(path, texts_.Text(QStringLiteral("SAVE_EXCEL_HEADER")),
                                photos_.rows(), progress.AsProgress(false), &inUtf8);
    }
    if (!problem.isEmpty()) {
      PlainMessageBox box(QMessageBox::Warning, windowTitle(), problem, QMessageBox::Ok, this);
      box.setObjectName(QStringLiteral("writeProblem"));
      box.exec();
    } else {
      TellWritten(this, windowTitle(), {path}, texts_,
                  inUtf8 ? texts_.Text(QStringLiteral("SAVE_EXCEL_TEXT_UTF8")) : QString());
    }
  }
  settings_.WriteSetting(setting::kPathSaveExcel, saveFolder_);
  accept();
}

}  // namespace trevalo
