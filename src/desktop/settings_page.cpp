#include "desktop/settings_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "device/logger_detection.h"
#include "map/tile_source.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "tagging/photo_page.h"
#include "widgets/plain_text.h"

namespace trevalo {
namespace {

// The label keys of the model B settings, in file order (their choices are the device
// file's).
constexpr const char* kModelBLabelKeys[kModelBSettingCount] = {
    "SETTING_R6_TIME_FORMAT",           "SETTING_R6_TIME_ZONE",
    "SETTING_R6_TIME_SUMMERTIME",       "SETTING_R6_TIME_UNIT",
    "SETTING_R6_POWERSAVEMODE",         "SETTING_R6_TRACK_SAVE",
    "SETTING_R6_TRACK_METHOD",          "SETTING_R6_TRACK_RECORD_TIME",
    "SETTING_R6_TRACK_RECORD_DISTANCE", "SETTING_R6_DISPLAY_ONOFF",
    "SETTING_R6_DISPLAY_BRIGHT",        "SETTING_R6_DISPLAY_1STWINDOW",
    "SETTING_R6_DISPLAY_ALTERWINDOW",   "SETTING_R6_DISPLAY_ALTERTIME",
    "SETTING_R6_ALARM_BATTERY",         "SETTING_R6_ALARM_MEMORY",
    "SETTING_R6_RECEIVERMODE",          "SETTING_R6_ALTITUDEGRAPH"};

// Where the section labels of model B stand: before these settings.
constexpr std::pair<int, const char*> kModelBSections[] = {{0, "SETTING_R6_TIME"},
                                                           {5, "SETTING_R6_TRACK"},
                                                           {9, "SETTING_R6_DISPLAY"},
                                                           {14, "SETTING_R6_ALARM"}};

constexpr int kSamplingSeconds[] = {1, 5, 10, 15, 20, 25, 30};

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

// Selects the entry holding `value`; none when no entry does.
void SelectValue(QComboBox* list, int value) {
  const QSignalBlocker quiet(list);
  list->setCurrentIndex(list->findData(value));
}

}  // namespace

QString SettingsPage::CorrectionText(int value, const QString& negative, const QString& positive,
                                     const QString& seconds) {
  return QStringLiteral("%1 %2 %3")
      .arg(value < 0 ? negative : positive)
      .arg(std::abs(value) / 100.0, 0, 'f', 2)
      .arg(seconds);
}

SettingsPage::SettingsPage(const Settings& settings, const LanguageTexts& texts,
                           PhotoPage* photoPage, QWidget* parent)
    : QWidget(parent), settings_(settings), texts_(texts), photoPage_(photoPage) {
  setObjectName(QStringLiteral("settingsPage"));
  auto* left = new QVBoxLayout;
  left->addWidget(BuildMatching());
  left->addWidget(BuildInterpolation());
  left->addWidget(BuildOptions());
  left->addWidget(BuildMapTiles());
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(BuildModelA());
  right->addWidget(BuildModelB());
  right->addStretch(1);
  auto* content = new QWidget;
  auto* columns = new QHBoxLayout(content);
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);
  auto* scroll = new QScrollArea(this);
  scroll->setWidget(content);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroll);

  if (photoPage_ != nullptr) {
    connect(photoPage_, &PhotoPage::loggerChanged, this, &SettingsPage::OnDeviceChange);
  }
  LoadLoggerValues();
  RefreshDeviceGroups();
}

QWidget* SettingsPage::BuildMatching() {
  auto* box = new QWidget;
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);

  auto* toleranceGroup = new QGroupBox(texts_.Text(QStringLiteral("SETTING_TEXT_TOLERANCE")));
  tolerance_ = Named(new QComboBox, "tolerance");
  tolerance_->addItem(texts_.Text(QStringLiteral("SETTING_OPTION_ZEROTOLERANCE")), 0);
  for (int hours = 1; hours <= 3; ++hours) {
    tolerance_->addItem(QStringLiteral("%1 %2%3")
                            .arg(texts_.Text(QStringLiteral("SETTING_OPTION_PLUSMINUS")))
                            .arg(hours)
                            .arg(texts_.Text(QStringLiteral("SETTING_OPTION_HOUR"))),
                        hours);
  }
  tolerance_->addItem(texts_.Text(QStringLiteral("SETTING_OPTION_IGNORETOLERANCE")), 99);
  const int stored = settings_.ReadSettingInt(setting::kTimeTolerance);
  tolerance_->setCurrentIndex(stored >= 0 && stored <= 3 ? stored : stored == 99 ? 4 : 0);
  auto* toleranceHelp = new QPushButton(QStringLiteral("Help"));
  auto* toleranceRow = new QHBoxLayout(toleranceGroup);
  toleranceRow->addWidget(new QLabel(texts_.Text(QStringLiteral("SETTING_TEXT_TOLERANCEVALUE"))));
  toleranceRow->addWidget(tolerance_, 1);
  toleranceRow->addWidget(toleranceHelp);
  connect(toleranceHelp, &QPushButton::clicked, this,
          [this] { ShowHelp(QStringLiteral("SETTING_TEXT_TOLERANCECOMMENT")); });
  connect(tolerance_, &QComboBox::currentIndexChanged, this, [this] {
    const int code = tolerance_->currentData().toInt();
    Store(setting::kTimeTolerance, QString::number(code));
    if (photoPage_ != nullptr) {
      photoPage_->SetTolerance(code);
    }
  });
  layout->addWidget(toleranceGroup);

  // Position correction: never stored, every start begins with it off.
  auto* correction = new QGroupBox(texts_.Text(QStringLiteral("SETTING_CORRECTION2_TITLE")));
  correctionOff_ =
      Named(new QRadioButton(texts_.Text(QStringLiteral("SETTING_CORRECTION2_OPTION_DISABLE"))),
            "correctionOff");
  correctionOn_ =
      Named(new QRadioButton(texts_.Text(QStringLiteral("SETTING_CORRECTION2_OPTION_ENABLE"))),
            "correctionOn");
  auto* radios = new QButtonGroup(correction);
  radios->addButton(correctionOff_);
  radios->addButton(correctionOn_);
  const MatchSettings match = photoPage_ != nullptr ? photoPage_->matchSettings() : MatchSettings{};
  (match.positionCorrection ? correctionOn_ : correctionOff_)->setChecked(true);
  auto* grid = new QGridLayout(correction);
  auto* radioRow = new QHBoxLayout;
  radioRow->addWidget(correctionOff_);
  radioRow->addWidget(correctionOn_);
  radioRow->addStretch(1);
  grid->addLayout(radioRow, 0, 0, 1, 3);
  const auto slider = [&](const char* name, int value) {
    auto* s = Named(new QSlider(Qt::Horizontal), name);
    s->setRange(-500, 500);
    s->setTickInterval(50);
    s->setTickPosition(QSlider::TicksBelow);
    s->setValue(value);
    connect(s, &QSlider::valueChanged, this, &SettingsPage::ApplyCorrection);
    return s;
  };
  latitudeSlider_ = slider("latitudeCorrection", match.latitudeOffset);
  longitudeSlider_ = slider("longitudeCorrection", match.longitudeOffset);
  latitudeText_ = Named(new QLabel, "latitudeCorrectionText");
  longitudeText_ = Named(new QLabel, "longitudeCorrectionText");
  auto* latitudeCaption = new QLabel(texts_.Text(QStringLiteral("SETTING_CORRECTION2_TEXT_LAT")) +
                                     QStringLiteral(" :"));
  auto* longitudeCaption = new QLabel(texts_.Text(QStringLiteral("SETTING_CORRECTION2_TEXT_LONG")) +
                                      QStringLiteral(" :"));
  grid->addWidget(latitudeCaption, 1, 0);
  grid->addWidget(latitudeSlider_, 1, 1);
  grid->addWidget(latitudeText_, 1, 2);
  grid->addWidget(longitudeCaption, 2, 0);
  grid->addWidget(longitudeSlider_, 2, 1);
  grid->addWidget(longitudeText_, 2, 2);
  grid->setColumnStretch(1, 1);
  correctionControls_ = {latitudeSlider_, longitudeSlider_, latitudeText_,
                         longitudeText_,  latitudeCaption,  longitudeCaption};
  connect(correctionOn_, &QRadioButton::toggled, this, &SettingsPage::ApplyCorrection);
  layout->addWidget(correction);
  // The first showing only sets the controls; the photos keep their match.
  ShowCorrection();
  return box;
}

void SettingsPage::ApplyCorrection() {
  const bool on = correctionOn_->isChecked();
  if (!on) {
    const QSignalBlocker quietLatitude(latitudeSlider_);
    const QSignalBlocker quietLongitude(longitudeSlider_);
    latitudeSlider_->setValue(0);
    longitudeSlider_->setValue(0);
  }
  ShowCorrection();
  if (photoPage_ != nullptr) {
    photoPage_->SetPositionCorrection(on, latitudeSlider_->value(), longitudeSlider_->value());
  }
}

void SettingsPage::ShowCorrection() {
  for (QWidget* control : correctionControls_) {
    control->setEnabled(correctionOn_->isChecked());
  }
  const QString seconds = texts_.Text(QStringLiteral("SETTING_CORRECTION2_TEXT_SEC"));
  latitudeText_->setText(CorrectionText(
      latitudeSlider_->value(), texts_.Text(QStringLiteral("SETTING_CORRECTION2_TEXT_SOUTH")),
      texts_.Text(QStringLiteral("SETTING_CORRECTION2_TEXT_NORTH")), seconds));
  longitudeText_->setText(CorrectionText(
      longitudeSlider_->value(), texts_.Text(QStringLiteral("SETTING_CORRECTION2_TEXT_WEST")),
      texts_.Text(QStringLiteral("SETTING_CORRECTION2_TEXT_EAST")), seconds));
}

QWidget* SettingsPage::BuildInterpolation() {
  auto* group = new QGroupBox(texts_.Text(QStringLiteral("SETTING_INTERPOLATE_GROUP")));
  const MatchSettings match = photoPage_ != nullptr ? photoPage_->matchSettings() : MatchSettings{};
  interpolate_ =
      Named(new QCheckBox(texts_.Text(QStringLiteral("SETTING_INTERPOLATE_CHECK"))), "interpolate");
  interpolate_->setChecked(match.interpolate);
  maxGap_ = Named(new QSpinBox, "interpolateMaxGap");
  maxGap_->setRange(1, MatchSettings::kLongestMaxGapSeconds);
  maxGap_->setSuffix(u' ' + texts_.Text(QStringLiteral("SETTING_OPTION_SECOND")));
  maxGap_->setValue(match.maxGapSeconds);
  maxGap_->setEnabled(match.interpolate);
  // Typing 120 would otherwise match every photo again at 1 and at 12.
  maxGap_->setKeyboardTracking(false);
  auto* help = new QPushButton(QStringLiteral("Help"));
  auto* gapRow = new QHBoxLayout;
  gapRow->addWidget(new QLabel(texts_.Text(QStringLiteral("SETTING_INTERPOLATE_MAXGAP"))));
  gapRow->addWidget(maxGap_);
  gapRow->addStretch(1);
  gapRow->addWidget(help);
  auto* column = new QVBoxLayout(group);
  column->addWidget(interpolate_);
  column->addLayout(gapRow);
  connect(help, &QPushButton::clicked, this,
          [this] { ShowHelp(QStringLiteral("SETTING_INTERPOLATE_COMMENT")); });
  const auto apply = [this] {
    const bool on = interpolate_->isChecked();
    maxGap_->setEnabled(on);
    if (photoPage_ != nullptr) {
      photoPage_->SetInterpolation(on, maxGap_->value());
    }
  };
  connect(interpolate_, &QCheckBox::clicked, this, [this, apply](bool on) {
    Store(setting::kInterpolate, on ? QStringLiteral("1") : QStringLiteral("0"));
    apply();
  });
  connect(maxGap_, &QSpinBox::valueChanged, this, [this, apply](int seconds) {
    Store(setting::kInterpolateMaxGap, QString::number(seconds));
    apply();
  });
  return group;
}

QWidget* SettingsPage::BuildMapTiles() {
  auto* group = new QGroupBox(texts_.Text(QStringLiteral("SETTING_GROUP_MAPTILES")));
  auto* note = new QLabel(texts_.Text(QStringLiteral("SETTING_TEXT_MAPTILES")));
  note->setWordWrap(true);
  tileServer_ = Named(new QLineEdit, "tileServer");
  tileServer_->setPlaceholderText(OpenStreetMapTiles().urlTemplate);
  tileServer_->setText(settings_.ReadSetting(setting::kMapTileServer));
  auto* column = new QVBoxLayout(group);
  column->addWidget(note);
  column->addWidget(tileServer_);
  connect(tileServer_, &QLineEdit::editingFinished, this, &SettingsPage::ApplyTileServer);
  return group;
}

void SettingsPage::ApplyTileServer() {
  // The warning takes the focus from the field, which finishes its editing once more.
  if (applyingTileServer_) {
    return;
  }
  applyingTileServer_ = true;
  const QString stored = settings_.ReadSetting(setting::kMapTileServer);
  const QString address = tileServer_->text().trimmed();
  if (address != stored) {
    if (address.isEmpty() || IsTileAddress(address)) {
      Store(setting::kMapTileServer, address);
    } else {
      PlainMessageBox box(QMessageBox::Warning, texts_.Text(QStringLiteral("SETTING_TITLE")),
                          texts_.MultiLineText(QStringLiteral("SETTING_MAPTILES_INVALID")) +
                              QStringLiteral("\n\n") + address,
                          QMessageBox::Ok, this);
      box.setObjectName(QStringLiteral("tileServerInvalid"));
      box.exec();
      tileServer_->setText(stored);
    }
  }
  applyingTileServer_ = false;
}

QWidget* SettingsPage::BuildOptions() {
  auto* box = new QWidget;
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  // A check box that writes its flag when clicked, then runs `then`.
  const auto flag = [&](const QString& key, const char* textKey, const char* name,
                        std::function<void(bool)> then = {}) {
    auto* check = Named(new QCheckBox(texts_.Text(QLatin1String(textKey))), name);
    check->setChecked(settings_.ReadFlag(key));
    connect(check, &QCheckBox::clicked, this, [this, key, then](bool on) {
      Store(key, on ? QStringLiteral("1") : QStringLiteral("0"));
      if (then) {
        then(on);
      }
    });
    return check;
  };
  const auto group = [&](const char* titleKey, std::initializer_list<QWidget*> widgets) {
    auto* g = new QGroupBox(texts_.Text(QLatin1String(titleKey)));
    auto* v = new QVBoxLayout(g);
    for (QWidget* widget : widgets) {
      v->addWidget(widget);
    }
    layout->addWidget(g);
    return g;
  };
  auto* restart = new QLabel(texts_.Text(QStringLiteral("SETTING_TEXT_RESTART_APP")));
  restart->setWordWrap(true);
  group("SETTING_TEXT_GROUP_SKIN",
        {flag(setting::kSupportSkin, "SETTING_CHECK_SKIN_APPLY", "skin"), restart});
  group("SETTING_TEXT_GROUP_METADATA",
        {flag(setting::kTagApply, "SETTING_CHECK_TAG_APPLY", "gpxMetadata")});
  group("SETTING_GROUP_SHOWTRACK",
        {flag(setting::kShowTrack, "SETTING_CHECK_SHOWTRACK", "showTrack"),
         flag(setting::kSummerTime, "SETTING_SUMMERTIME", "summerTime", [this](bool on) {
           if (photoPage_ != nullptr) {
             photoPage_->SetSummerTime(on);
           }
         })});
  group("SETTING_GROUP_PHOTOS",
        {flag(setting::kIgnorePhotoZone, "SETTING_CHECK_IGNOREPHOTOZONE", "ignorePhotoZone",
              [this](bool on) {
                if (photoPage_ != nullptr) {
                  photoPage_->SetPhotoZone(!on);
                }
              }),
         flag(setting::kKeepPositions, "SETTING_CHECK_KEEPPOSITIONS", "keepPositions",
              [this](bool on) {
                if (photoPage_ != nullptr) {
                  photoPage_->SetKeepPositions(on);
                }
              })});
  auto* sidecarNote = new QLabel(texts_.Text(QStringLiteral("SETTING_TEXT_SIDECAR")));
  sidecarNote->setWordWrap(true);
  group("SETTING_GROUP_SIDECAR",
        {sidecarNote,
         flag(setting::kSidecarBaseName, "SETTING_SIDECAR_BASENAME", "sidecarBaseName")});
  // The waypoint option is kept in the settings file but not offered here.
  group("IDC_SETTING_GROUP_KML",
        {flag(setting::kWaypointApply, "IDC_SETTING_KML_WAYPOINT", "kmlWaypoints")})
      ->hide();

  auto* language = new QGroupBox(QStringLiteral("Language"));
  languages_ = Named(new QComboBox, "languages");
  const QString current = LanguageFilePath(settings_);
  for (const LanguageEntry& entry : ListLanguages(settings_)) {
    languages_->addItem(entry.title, entry.fileName);
    if ((LanguageFolder(settings_) + entry.fileName).compare(current, Qt::CaseInsensitive) == 0) {
      languages_->setCurrentIndex(languages_->count() - 1);
    }
  }
  auto* setLanguage = Named(new QPushButton(QStringLiteral("Set Language")), "setLanguage");
  auto* row = new QHBoxLayout(language);
  row->addWidget(languages_, 1);
  row->addWidget(setLanguage);
  connect(setLanguage, &QPushButton::clicked, this, [this] {
    QString problem;
    if (SetLanguage(settings_, languages_->currentText(), &problem)) {
      Q_EMIT languageChanged();
    } else if (!problem.isEmpty()) {
      TellNotKept(QStringLiteral("SETTING_TEXT_LANGUAGENOTKEPT"), problem);
    }
  });
  layout->addWidget(language);
  return box;
}

QWidget* SettingsPage::BuildModelA() {
  modelAGroup_ = Named(new QGroupBox, "modelAGroup");
  interval_ = Named(new QComboBox, "samplingInterval");
  ledMode_ = Named(new QComboBox, "ledMode");
  for (int mode = 0; mode < 3; ++mode) {
    ledMode_->addItem(texts_.Text(QStringLiteral("SETTING_OPTION_LEDMODE%1").arg(mode)), mode);
  }
  applyA_ =
      Named(new QPushButton(texts_.Text(QStringLiteral("SETTING_BUTTON_APPLY"))), "applyModelA");
  auto* ledHelp = new QPushButton(QStringLiteral("Help"));
  auto* intervalLabel = new QLabel(texts_.Text(QStringLiteral("SETTING_TEXT_LOGOPTION")));
  auto* ledLabel = new QLabel(texts_.Text(QStringLiteral("SETTING_TEXT_LEDMODE")));
  auto* grid = new QGridLayout(modelAGroup_);
  grid->addWidget(intervalLabel, 0, 0);
  grid->addWidget(interval_, 0, 1);
  grid->addWidget(ledLabel, 1, 0);
  grid->addWidget(ledMode_, 1, 1);
  grid->addWidget(ledHelp, 1, 2);
  grid->addWidget(applyA_, 2, 2);
  grid->setColumnStretch(1, 1);
  modelAControls_ = {interval_, ledMode_, intervalLabel, ledLabel, applyA_};
  const auto changed = [this] {
    if (interval_->currentIndex() >= 0) {
      modelA_.samplingSeconds = interval_->currentData().toInt();
    }
    if (ledMode_->currentIndex() >= 0) {
      modelA_.ledMode = ledMode_->currentData().toInt();
    }
    RefreshDeviceGroups();
  };
  connect(interval_, &QComboBox::currentIndexChanged, this, changed);
  connect(ledMode_, &QComboBox::currentIndexChanged, this, changed);
  connect(applyA_, &QPushButton::clicked, this, &SettingsPage::ApplyModelA);
  connect(ledHelp, &QPushButton::clicked, this,
          [this] { ShowHelp(QStringLiteral("SETTING_TEXT_LEDMODECOMMENT")); });
  return modelAGroup_;
}

QWidget* SettingsPage::BuildModelB() {
  auto* group =
      Named(new QGroupBox(texts_.Text(QStringLiteral("SETTING_R6_DEVICE"))), "modelBGroup");
  auto* grid = new QGridLayout(group);
  int line = 0;
  for (int i = 0; i < kModelBSettingCount; ++i) {
    for (const auto& [before, key] : kModelBSections) {
      if (before == i) {
        auto* section = new QLabel(texts_.Text(QLatin1String(key)));
        QFont bold = section->font();
        bold.setBold(true);
        section->setFont(bold);
        grid->addWidget(section, line++, 0, 1, 2);
      }
    }
    const QStringList& choices = ModelBChoices()[static_cast<std::size_t>(i)];
    auto* list = new QComboBox;
    list->setObjectName(QStringLiteral("modelB%1").arg(kModelBSettingsOffset + i));
    for (int value = 0; value < choices.size(); ++value) {
      list->addItem(choices[value], value);
    }
    connect(list, &QComboBox::currentIndexChanged, this, [this, i, list] {
      if (list->currentIndex() >= 0) {
        modelB_.values[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(list->currentData().toInt());
      }
    });
    modelBLists_[static_cast<std::size_t>(i)] = list;
    grid->addWidget(new QLabel(texts_.Text(QLatin1String(kModelBLabelKeys[i]))), line, 0);
    grid->addWidget(list, line++, 1);
  }
  applyB_ =
      Named(new QPushButton(texts_.Text(QStringLiteral("SETTING_BUTTON_APPLY"))), "applyModelB");
  grid->addWidget(applyB_, line, 1, Qt::AlignRight);
  grid->setColumnStretch(1, 1);
  connect(applyB_, &QPushButton::clicked, this, &SettingsPage::ApplyModelB);
  return group;
}

void SettingsPage::OnDeviceChange() {
  LoadLoggerValues();
  RefreshDeviceGroups();
  const ConnectedLogger logger = Logger();
  if (logger.state.kind == LoggerKind::kModelA && !logger.problem.isEmpty()) {
    // The values shown are the defaults, not the logger's.
    Alert("loggerFileProblem",
          texts_.MultiLineText(logger.settingsFileMissing
                                   ? QStringLiteral("SETTING_TEXT_ERRORSAVE")
                                   : QStringLiteral("SETTING_TEXT_ERRORREAD")) +
              QStringLiteral("\n\n") + logger.problem);
  } else if (logger.state.kind == LoggerKind::kModelB && !IsModelBFormatSupported(modelB_)) {
    Alert("formatAlert",
          texts_.MultiLineText(modelB_.formatCheck < 0
                                   ? QStringLiteral("SETTING_R6_ALERT_MIS_VERSION")
                                   : QStringLiteral("SETTING_R6_ALERT_MISFW_VERSION")));
  }
}

void SettingsPage::Alert(const char* name, const QString& text) {
  // Told without holding up the page (device changes come at any time).
  auto* box =
      new PlainMessageBox(QMessageBox::Warning, texts_.Text(QStringLiteral("SETTING_TITLE")), text,
                          QMessageBox::Ok, this);
  box->setObjectName(QLatin1String(name));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

ConnectedLogger SettingsPage::Logger() const {
  return photoPage_ != nullptr ? photoPage_->logger() : ConnectedLogger{};
}

void SettingsPage::LoadLoggerValues() {
  const ConnectedLogger logger = Logger();
  loggerKind_ = static_cast<int>(logger.state.kind);
  if (logger.state.kind == LoggerKind::kModelA) {
    modelA_ = logger.modelA;
  } else if (logger.state.kind == LoggerKind::kModelB) {
    modelB_ = logger.modelB;
  }
}

void SettingsPage::RefreshDeviceGroups() {
  const bool modelA = loggerKind_ == static_cast<int>(LoggerKind::kModelA);
  const bool modelB = loggerKind_ == static_cast<int>(LoggerKind::kModelB);
  modelAGroup_->setTitle(texts_.Text(modelA ? QStringLiteral("SETTING_TEXT_CONNECTED")
                                            : QStringLiteral("SETTING_TEXT_DISCONNECTED")));
  for (QWidget* control : modelAControls_) {
    control->setEnabled(modelA);
  }
  const bool modelBUsable = modelB && IsModelBFormatSupported(modelB_);
  for (QComboBox* list : modelBLists_) {
    list->setEnabled(modelBUsable);
  }
  applyB_->setEnabled(modelBUsable);
  if (modelB) {
    Q_EMIT firmwareTextChanged(modelB_.modelCode, modelB_.firmwareText);
  } else {
    Q_EMIT firmwareNumberChanged(modelA ? modelA_.firmwareNumber : -1);
  }
  // A group whose logger is not connected shows no values: they would pass for the
  // device's. The values stay in the page until a logger brings its own.
  constexpr int kNone = -1;
  for (int i = 0; i < kModelBSettingCount; ++i) {
    SelectValue(modelBLists_[static_cast<std::size_t>(i)],
                modelB ? modelB_.values[static_cast<std::size_t>(i)] : kNone);
  }
  SelectValue(ledMode_, modelA ? modelA_.ledMode : kNone);
  const QSignalBlocker quiet(interval_);
  interval_->clear();
  for (const int seconds : kSamplingSeconds) {
    interval_->addItem(QStringLiteral("%1%2").arg(seconds).arg(
                           texts_.Text(QStringLiteral("SETTING_OPTION_SECOND"))),
                       seconds);
  }
  interval_->setCurrentIndex(modelA ? interval_->findData(modelA_.samplingSeconds) : kNone);
}

void SettingsPage::ApplyModelA() {
  const ConnectedLogger logger = Logger();
  if (logger.state.kind != LoggerKind::kModelA) {
    return;
  }
  if (TellWriteProblem(WriteModelAFile(
          LoggerPath(logger.state.drive, QLatin1String(kModelAFileName)), modelA_))) {
    return;
  }
  applyA_->setEnabled(false);
}

void SettingsPage::ApplyModelB() {
  const ConnectedLogger logger = Logger();
  if (logger.state.kind != LoggerKind::kModelB) {
    return;
  }
  if (TellWriteProblem(WriteModelBFile(
          LoggerPath(logger.state.drive, QLatin1String(kModelBFileName)), modelB_))) {
    return;
  }
  applyB_->setEnabled(false);
}

bool SettingsPage::TellWriteProblem(const QString& problem) {
  if (problem.isEmpty()) {
    return false;
  }
  PlainMessageBox box(QMessageBox::Warning, texts_.Text(QStringLiteral("SETTING_TITLE")),
                      texts_.MultiLineText(QStringLiteral("SETTING_TEXT_ERRORSAVE")) +
                          QStringLiteral("\n\n") + problem,
                      QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("writeProblem"));
  box.exec();
  return true;
}

void SettingsPage::Store(const QString& key, const QString& value) {
  QString problem;
  if (!settings_.WriteSetting(key, value, &problem)) {
    TellNotKept(QStringLiteral("SETTING_TEXT_NOTKEPT"), problem);
  }
}

void SettingsPage::TellNotKept(const QString& key, const QString& problem) {
  PlainMessageBox box(QMessageBox::Warning, texts_.Text(QStringLiteral("SETTING_TITLE")),
                      texts_.MultiLineText(key) + QStringLiteral("\n\n") + problem, QMessageBox::Ok,
                      this);
  box.setObjectName(QStringLiteral("settingNotKept"));
  box.exec();
}

void SettingsPage::ShowHelp(const QString& key) {
  PlainMessageBox box(QMessageBox::Question, texts_.Text(QStringLiteral("SETTING_TITLE")),
                      texts_.MultiLineText(key), QMessageBox::Ok, this);
  box.exec();
}

}  // namespace trevalo
