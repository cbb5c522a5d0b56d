#include "widgets/version_page.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "widgets/plain_text.h"

namespace trevalo {

VersionPage::VersionPage(const LanguageTexts& texts, const DeviceFirmware& firmware,
                         QWidget* parent)
    : QWidget(parent), upgradeText_(texts.Text(QStringLiteral("ABOUT_STRING_UPGRADE"))) {
  setObjectName(QStringLiteral("versionPage"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 24, 24, 24);
  layout->setSpacing(10);

  auto* name = new QLabel(QStringLiteral("Trevalo"), this);
  QFont nameFont = name->font();
  nameFont.setPointSizeF(nameFont.pointSizeF() * 2);
  nameFont.setBold(true);
  name->setFont(nameFont);
  layout->addWidget(name);
  layout->addWidget(new QLabel(
      texts.Text(QStringLiteral("ABOUT_VERSION")).arg(QStringLiteral(TREVALO_VERSION)), this));
  layout->addWidget(new QLabel(texts.Text(QStringLiteral("ABOUT_DESCRIPTION")), this));

  firmwareLine_ = NewPlainLabel(this);
  firmwareLine_->setObjectName(QStringLiteral("firmwareLine"));
  layout->addSpacing(12);
  layout->addWidget(firmwareLine_);
  layout->addSpacing(12);

  auto* notice = new QLabel(texts.Text(QStringLiteral("ABOUT_NOTICE")), this);
  notice->setWordWrap(true);
  layout->addWidget(notice);
  layout->addStretch(1);

  if (firmware.aboutKind == 2) {
    ShowFirmwareText(firmware.deviceModelCode, firmware.deviceFirmwareText);
  } else {
    ShowFirmwareNumber(firmware.firmwareNumber);
  }
}

void VersionPage::ShowFirmwareNumber(int number) {
  if (number > 0) {
    firmwareLine_->setText(QStringLiteral("[N3] Device Firmware : Ver %1").arg(number));
  } else if (number < 0) {
    firmwareLine_->setText(QStringLiteral("Device Firmware : Ver ( Not Connected )"));
  } else {
    firmwareLine_->setText(QStringLiteral("[N3] Device Firmware : Ver ( %1 )").arg(upgradeText_));
  }
  firmwareLine_->setEnabled(number >= 0);
}

void VersionPage::ShowFirmwareText(const QString& modelCode, const QString& firmwareText) {
  firmwareLine_->setText(u'[' + modelCode + u']' + QStringLiteral(" Device Firmware : Ver ") +
                         firmwareText);
  firmwareLine_->setEnabled(true);
}

void ShowAboutDialog(const LanguageTexts& texts, const DeviceFirmware& firmware,
                     const QString& title, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("aboutDialog"));
  dialog.setWindowTitle(title);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new VersionPage(texts, firmware, &dialog), 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  layout->addWidget(buttons);
  dialog.resize(520, 360);
  dialog.exec();
}

}  // namespace trevalo
