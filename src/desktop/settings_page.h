#pragma once
// The settings tab: how photos are matched (time tolerance, position correction), program
// options, the language, and the connected logger's own settings (model A's four values,
// model B's eighteen bytes), written to the logger only when the user applies them.

#include <array>

#include <QWidget>

#include "device/logger_detection.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;

namespace trevalo {

class PhotoPage;
class LanguageTexts;
class Settings;

class SettingsPage : public QWidget {
  Q_OBJECT

 public:
  // The page changes the photo page's matching; `photoPage` may be null (no matching).
  SettingsPage(const Settings& settings, const LanguageTexts& texts, PhotoPage* photoPage,
               QWidget* parent = nullptr);

  // The logger came or went: its settings are shown again (and a model B file of another
  // format is told).
  void OnDeviceChange();
  // "South 1.25 sec" for -125 with the south and north words.
  static QString CorrectionText(int value, const QString& negative, const QString& positive,
                                const QString& seconds);

  const ModelASettings& modelA() const { return modelA_; }
  const ModelBSettings& modelB() const { return modelB_; }

 Q_SIGNALS:
  // What the version page shows of the logger.
  void firmwareNumberChanged(int number);
  void firmwareTextChanged(const QString& modelCode, const QString& firmwareText);
  // A new language was chosen: the main window re-creates its pages.
  void languageChanged();

 private:
  QWidget* BuildMatching();
  // Positions between fixes: the option and its maximum gap, stored and given to the photo
  // page.
  QWidget* BuildInterpolation();
  QWidget* BuildOptions();
  // The map's tile server address.
  QWidget* BuildMapTiles();
  // Stores the address typed, or says why it cannot be one and puts the stored one back.
  void ApplyTileServer();
  QWidget* BuildModelA();
  QWidget* BuildModelB();
  void RefreshDeviceGroups();
  // Reads the slider positions into the labels and enables them with the correction.
  void ShowCorrection();
  // Shows the correction and gives it to the photo page.
  void ApplyCorrection();
  // The logger as the photo page detected it, with the settings it read.
  ConnectedLogger Logger() const;
  // Takes the logger's settings as the photo page read them on detection.
  void LoadLoggerValues();
  // A warning that does not hold up the page.
  void Alert(const char* name, const QString& text);
  // Tells a failed write to the logger; true when there was one.
  bool TellWriteProblem(const QString& problem);
  void ApplyModelA();
  void ApplyModelB();
  void ShowHelp(const QString& key);
  // Writes a setting the user has just changed; one that cannot be kept is told at once
  // (it holds until the program ends).
  void Store(const QString& key, const QString& value);
  void TellNotKept(const QString& key, const QString& problem);

  const Settings& settings_;
  const LanguageTexts& texts_;
  PhotoPage* photoPage_;
  ModelASettings modelA_;
  ModelBSettings modelB_;
  int loggerKind_ = 0;

  QComboBox* tolerance_ = nullptr;
  QRadioButton* correctionOn_ = nullptr;
  QRadioButton* correctionOff_ = nullptr;
  QSlider* latitudeSlider_ = nullptr;
  QSlider* longitudeSlider_ = nullptr;
  QLabel* latitudeText_ = nullptr;
  QLabel* longitudeText_ = nullptr;
  QList<QWidget*> correctionControls_;
  QCheckBox* interpolate_ = nullptr;
  QSpinBox* maxGap_ = nullptr;
  QLineEdit* tileServer_ = nullptr;
  bool applyingTileServer_ = false;
  QGroupBox* modelAGroup_ = nullptr;
  QComboBox* interval_ = nullptr;
  QComboBox* ledMode_ = nullptr;
  QPushButton* applyA_ = nullptr;
  QList<QWidget*> modelAControls_;
  std::array<QComboBox*, kModelBSettingCount> modelBLists_{};
  QPushButton* applyB_ = nullptr;
  QComboBox* languages_ = nullptr;
};

}  // namespace trevalo
