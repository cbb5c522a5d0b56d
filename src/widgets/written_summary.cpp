#include "widgets/written_summary.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QUrl>

#include "widgets/plain_text.h"

namespace trevalo {
namespace {

FolderOpener& CurrentOpener() {
  static FolderOpener opener = [](const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
  };
  return opener;
}

// The folders of the written files, in the order first met.
QStringList FoldersOf(const QStringList& written) {
  QStringList folders;
  for (const QString& path : written) {
    const QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    if (!folders.contains(folder)) {
      folders << folder;
    }
  }
  return folders;
}

}  // namespace

QString WrittenSummary(const QStringList& written, const LanguageTexts& texts) {
  if (written.isEmpty()) {
    return {};
  }
  const QStringList folders = FoldersOf(written);
  if (folders.size() == 1) {
    return texts.Text(QStringLiteral("COMMON_TEXT_WRITTEN"))
        .arg(QString::number(written.size()), folders.front());
  }
  return texts.Text(QStringLiteral("COMMON_TEXT_WRITTEN_FOLDERS"))
      .arg(QString::number(written.size()), QString::number(folders.size()));
}

void TellWritten(QWidget* parent, const QString& title, const QStringList& written,
                 const LanguageTexts& texts, const QString& lead) {
  if (written.isEmpty()) {
    return;
  }
  const QString summary = WrittenSummary(written, texts);
  PlainMessageBox box(QMessageBox::Information, title,
                      lead.isEmpty() ? summary : lead + u'\n' + summary, QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("writtenSummary"));
  QPushButton* open = box.addButton(texts.Text(QStringLiteral("COMMON_BUTTON_OPENFOLDER")),
                                    QMessageBox::ActionRole);
  open->setObjectName(QStringLiteral("openFolderButton"));
  // The folder opens and the message goes, as the user asked for both.
  const QString folder = FoldersOf(written).front();
  QObject::connect(open, &QAbstractButton::clicked, &box, [&box, folder] {
    CurrentOpener()(folder);
    box.done(QMessageBox::Ok);
  });
  box.setDefaultButton(QMessageBox::Ok);
  // With a second button the box no longer takes OK for Escape and its close button.
  box.setEscapeButton(QMessageBox::Ok);
  box.exec();
}

FolderOpener ReplaceFolderOpener(FolderOpener opener) {
  return std::exchange(CurrentOpener(), std::move(opener));
}

}  // namespace trevalo
