#include <gtest/gtest.h>

#include <set>

#include <QDir>
#include <QTemporaryDir>

#include "shell/display_format.h"
#include "shell/language.h"
#include "support/test_files.h"
#include "track/calendar_time.h"

namespace trevalo {
namespace {

// Settings whose language folder is a temporary folder of the test.
class LanguageTest : public ::testing::Test {
 protected:
  LanguageTest() {
    AppFolders folders = AppFolders::InHome(home_.path());
    folders.dataFolder = home_.filePath(QStringLiteral("data"));
    settings_ = std::make_unique<Settings>(folders);
  }
  void AddLanguage(const QString& name, const char* text) {
    test::WriteFile(LanguageFolder(*settings_) + name, text);
  }
  QTemporaryDir home_;
  std::unique_ptr<Settings> settings_;
};

TEST_F(LanguageTest, TheLanguageFileFollowsTheSettingOrTheSystemLanguage) {
  EXPECT_EQ(DefaultLanguageFileName(false), QStringLiteral("LANG_ENG.INI"));
  EXPECT_EQ(DefaultLanguageFileName(true), QStringLiteral("LANG_KOR.INI"));
  EXPECT_EQ(LanguageFolder(*settings_), home_.filePath(QStringLiteral("data/Lang/")));
  EXPECT_EQ(LanguageFilePath(*settings_),
            LanguageFolder(*settings_) + DefaultLanguageFileName(SystemLanguageIsKorean()));
  settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_FRA.INI"));
  EXPECT_EQ(LanguageFilePath(*settings_),
            LanguageFolder(*settings_) + QStringLiteral("LANG_FRA.INI"));
  // The setting names a file in the folder, never a path elsewhere.
  settings_->WriteSetting(setting::kLangFile, QStringLiteral("../../etc/LANG_X.INI"));
  EXPECT_EQ(LanguageFilePath(*settings_),
            LanguageFolder(*settings_) + QStringLiteral("LANG_X.INI"));
}

TEST_F(LanguageTest, MissingKeysAndFilesShowTheWordLanguage) {
  AddLanguage(QStringLiteral("LANG_ENG.INI"),
              "[LANGUAGE]\nLANG_TITLE=English\nMAIN_TITLE=Trevalo\n"
              "MAIN_TEXT_STEP1=Step 1.\\nAdd photos\n");
  settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
  const LanguageTexts texts = LanguageTexts::Load(*settings_);
  EXPECT_EQ(texts.Text(QStringLiteral("MAIN_TITLE")), QStringLiteral("Trevalo"));
  EXPECT_EQ(texts.Text(QStringLiteral("NOT_THERE")), QStringLiteral("LANGUAGE"));
  EXPECT_EQ(texts.Text(QStringLiteral("MAIN_TEXT_STEP1")), QStringLiteral("Step 1.\\nAdd photos"));
  EXPECT_EQ(texts.MultiLineText(QStringLiteral("MAIN_TEXT_STEP1")),
            QStringLiteral("Step 1.\nAdd photos"));
  EXPECT_EQ(LanguageText(*settings_, QStringLiteral("MAIN_TITLE")), QStringLiteral("Trevalo"));
  const DisplayFormats formats = LoadDisplayFormats(texts);
  EXPECT_EQ(formats.timeFormat, QStringLiteral("LANGUAGE"));
  EXPECT_EQ(formats.longLatFormat, QStringLiteral("LANGUAGE"));

  settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_XXX.INI"));
  EXPECT_EQ(LanguageText(*settings_, QStringLiteral("MAIN_TITLE")), QStringLiteral("LANGUAGE"));
}

TEST_F(LanguageTest, TextsAreCutAt512Characters) {
  const std::string text = "[LANGUAGE]\nLONG=" + std::string(600, 'w') + "\n";
  AddLanguage(QStringLiteral("LANG_ENG.INI"), text.c_str());
  settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
  EXPECT_EQ(LanguageText(*settings_, QStringLiteral("LONG")).size(), 512);
}

TEST_F(LanguageTest, ListsLanguagesWithATitle) {
  EXPECT_TRUE(ListLanguages(*settings_).isEmpty());
  EXPECT_TRUE(QDir(LanguageFolder(*settings_)).exists());  // listing creates the folder
  AddLanguage(QStringLiteral("LANG_KOR.INI"), "[LANGUAGE]\nLANG_TITLE=한국어\n");
  AddLanguage(QStringLiteral("LANG_ENG.INI"), "[LANGUAGE]\nLANG_TITLE=English\n");
  AddLanguage(QStringLiteral("LANG_EMPTY.INI"), "[LANGUAGE]\nLANG_TITLE=\n");
  AddLanguage(QStringLiteral("LANG_NONE.INI"), "[LANGUAGE]\nMAIN_TITLE=x\n");
  AddLanguage(QStringLiteral("OTHER.INI"), "[LANGUAGE]\nLANG_TITLE=Other\n");
  AddLanguage(QStringLiteral("lang_low.ini"), "[LANGUAGE]\nLANG_TITLE=Lower\n");
  settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_EMPTY.INI"));
  QStringList titles;
  for (const LanguageEntry& entry : ListLanguages(*settings_)) {
    titles << entry.title + u'=' + entry.fileName;
  }
  // The file without a title is not offered, even while it is the current one.
  EXPECT_EQ(titles, (QStringList{QStringLiteral("English=LANG_ENG.INI"),
                                 QStringLiteral("한국어=LANG_KOR.INI"),
                                 QStringLiteral("Lower=lang_low.ini")}));
}

TEST_F(LanguageTest, SetLanguageTakesTheFirstMatchingTitle) {
  AddLanguage(QStringLiteral("LANG_A.INI"), "[LANGUAGE]\nLANG_TITLE=English\n");
  AddLanguage(QStringLiteral("LANG_B.INI"), "[LANGUAGE]\nLANG_TITLE=ENGLISH\n");
  EXPECT_TRUE(SetLanguage(*settings_, QStringLiteral("english")));
  EXPECT_EQ(settings_->ReadSetting(setting::kLangFile), QStringLiteral("LANG_A.INI"));
  EXPECT_FALSE(SetLanguage(*settings_, QStringLiteral("Deutsch")));
  EXPECT_EQ(settings_->ReadSetting(setting::kLangFile), QStringLiteral("LANG_A.INI"));
}

// Every key that the windows read. Both shipped files must hold exactly these.
const char* const kWindowKeys[] = {
    "LANG_TITLE",
    "LANG_LOCALE",
    "COMMON_TEXT_WRITTEN",
    "COMMON_TEXT_WRITTEN_FOLDERS",
    "COMMON_BUTTON_OPENFOLDER",
    "COMMON_TEXT_NOFILEMANAGER",
    "MAP_LABEL_START",
    "MAP_LABEL_END",
    "MAP_LABEL_LAP",
    "MAP_LABEL_TOTAL",
    "MAP_LABEL_TIME",
    "MAP_LABEL_DISTANCE",
    "MAP_LABEL_ELAPSED",
    "MAP_LABEL_SPEED",
    "MAP_LABEL_MAXALT",
    "MAP_LABEL_MINALT",
    "MAP_LABEL_AVGALT",
    "MAP_LABEL_ASCENT",
    "MAP_LABEL_DESCENT",
    "MAP_LABEL_ALTITUDE",
    "MAP_LABEL_NOTILES",
    "MAP_LABEL_PHOTOS",
    "MAP_LABEL_MORE",
    "MAP_LABEL_ZOOMIN",
    "MAP_LABEL_CLEAR",
    "MAP_LABEL_PLACEHERE",
    "MAP_LABEL_PLACETRACK",
    "ABOUT_VERSION",
    "ABOUT_DESCRIPTION",
    "ABOUT_NOTICE",
    "COMMON_TIMEFORMAT",
    "COMMON_LONGLATFORMAT",
    "MAP_FILE",
    "MAP_DEFAULT_LAT",
    "MAP_DEFAULT_LONG",
    // main window, version page
    "MAIN_TITLE",
    "MAIN_TAB_MAIN",
    "MAIN_TAB_MAPVIEW",
    "MAIN_TAB_SETTING",
    "MAIN_TAB_VERSION",
    "MAIN_TAB_HELP",
    "ABOUT_STRING_UPGRADE",
    // photo page
    "MAIN_BUTTON_IMAGEADD",
    "MAIN_FILTER_PHOTOS",
    "MAIN_FILTER_ALL",
    "MAIN_BUTTON_GPSIMPORT",
    "MAIN_BUTTON_MAPVIEW",
    "MAIN_BUTTON_DETAIL",
    "MAIN_BUTTON_REMOVE",
    "MAIN_BUTTON_SAVE",
    "MAIN_BUTTON_CORRECTION",
    "MAIN_BUTTON_SAVETOEXCEL",
    "MAIN_LIST_STATUS",
    "MAIN_LIST_FILENAME",
    "MAIN_LIST_DATETIME",
    "MAIN_LIST_LAT",
    "MAIN_LIST_LONG",
    "MAIN_LIST_ALT",
    "MAIN_LIST_PATH",
    "MAIN_LIST_LOGFILE",
    "MAIN_SUB_PROCESS_ADD",
    "MAIN_SUB_PROCESS_MATCH",
    "MAIN_SUB_PROCESS_MAP",
    "MAIN_TEXT_STEP1",
    "MAIN_TEXT_STEP2",
    "MAIN_TEXT_STEP3_FILEADD",
    "MAIN_TEXT_STEP3_NOLOG",
    "MAIN_TEXT_STEP3_CONTINUE",
    "MAIN_BUTTON_LOGMANAGER",
    "MAIN_TEXT_CAMERACORRECTION",
    "MAIN_TEXT_CAMERADRIFT",
    "MAIN_TIP_PHOTOZONE",
    "MAIN_TIP_OWNPOSITION",
    "MAIN_TIP_KEPT",
    "MAIN_TIP_PLACED",
    "MAIN_TIP_CLEARED",
    "MAIN_TEXT_POSITIONCORRECTION",
    "MAIN_TEXT_DAYS",
    "MAIN_TEXT_SETTINGSNOTKEPT",
    "MAIN_TEXT_NOTADDED",
    "MAIN_TEXT_NOTADDED_MORE",
    "MAIN_REASON_NOTAPHOTO",
    "MAIN_REASON_DAMAGED",
    "MAIN_REASON_BADDATE",
    "MAIN_REASON_UNREADABLE",
    // camera time correction
    "CORRECTION_TITLE",
    "CORRECTION_OPTION_DISABLE",
    "CORRECTION_OPTION_ENABLE",
    "CORRECTION_TEXT_CURRENTTIME",
    "CORRECTION_TEXT_CAMERATIME",
    "CORRECTION_BUTTON_APPLY",
    "CORRECTION_BUTTON_CANCEL",
    "CORRECTION_CHECK_DRIFT",
    "CORRECTION_BUTTON_FROMPHOTO",
    "CORRECTION_TIP_FROMPHOTO",
    "CORRECTION_TIP_NOPHOTO",
    "CORRECTION_TEXT_SAMECAMERATIME",
    // photo details
    "IMGINFO_TITLE",
    "IMGINFO_TEXT_NOPREVIEW",
    "IMGINFO_BUTTON_REMOVE",
    "IMGINFO_BUTTON_CLOSE",
    "IMGINFO_LIST_INFO",
    "IMGINFO_LIST_DETAIL",
    "IMGINFO_LIST_FILENAME",
    "IMGINFO_LIST_DATETIME",
    "IMGINFO_LIST_ZONE",
    "IMGINFO_LIST_UTCTIME",
    "IMGINFO_LIST_LAT",
    "IMGINFO_LIST_LONG",
    "IMGINFO_LIST_ALT",
    "IMGINFO_LIST_CAMMAKER",
    "IMGINFO_LIST_CAMMODEL",
    "IMGINFO_LIST_RESOLUTION",
    "IMGINFO_LIST_EXPOSURETIME",
    "IMGINFO_LIST_APERTURE",
    "IMGINFO_LIST_EXPOSUREPROGRAM",
    "IMGINFO_LIST_FOCALLENGTH",
    "IMGINFO_LIST_ISO",
    "IMGINFO_LIST_EXPOSUREBIAS",
    "IMGINFO_LIST_LIGHTSOURCE",
    "IMGINFO_LIST_FLASH",
    "IMGINFO_LIST_DISTANCE",
    "IMGINFO_LIST_METERINGMODE",
    "IMGINFO_LIST_EXPOSUREMODE",
    "IMGINFO_LIST_WHITEBALANCE",
    "IMGINFO_LIST_MAXAPERTURE",
    "IMGINFO_LIST_FOCALLENGTH35MM",
    "IMGINFO_LIST_CONTRAST",
    "IMGINFO_LIST_SATURATION",
    "IMGINFO_LIST_SHARPNESS",
    // saving and KML
    "SAVE_TITLE",
    "SAVE_TEXT_ASK",
    "SAVE_TEXT_SIDECAR",
    "SAVE_TEXT_KEPT",
    "SAVE_BUTTON_UNDO",
    "SAVE_TEXT_UNDONE",
    "SAVE_TEXT_UNDOREFUSED",
    "SAVE_BUTTON_OVERWRITE",
    "SAVE_BUTTON_SAVECOPY",
    "SAVE_TEXT_SAVEPATH",
    "SAVE_BUTTON_CHANGEPATH",
    "SAVE_OPTION_KMLCREATE",
    "SAVE_OPTION_KMZCREATE",
    "SAVE_TEXT_KMLFILENAME",
    "SAVE_TEXT_NOKMLNAME",
    "SAVE_TEXT_OVERWRITE",
    "SAVE_BUTTON_SAVE",
    "SAVE_BUTTON_CANCEL",
    "SAVE_SUB_PROCESS_SAVE",
    "KML_STRING_PHOTO",
    "KML_STRING_TRACK",
    // photo table
    "SAVE_EXCEL_TITLE",
    "SAVE_EXCEL_BUTTON_CHANGEPATH",
    "SAVE_EXCEL_BUTTON_SAVE",
    "SAVE_EXCEL_BUTTON_CANCEL",
    "SAVE_EXCEL_TEXT_SAVEPATH",
    "SAVE_EXCEL_TEXT_FILENAME",
    "SAVE_EXCEL_TEXT_EXCELNAME",
    "SAVE_EXCEL_SUB_PROCESS_SAVE",
    "SAVE_EXCEL_HEADER",
    "SAVE_EXCEL_TEXT_UTF8",
    // log manager and information editor
    "GPSMAN_TITLE",
    "GPSMAN_BUTTON_ADDLOG",
    "GPSMAN_BUTTON_DETAIL",
    "GPSMAN_BUTTON_REMOVE",
    "GPSMAN_BUTTON_CLOSE",
    "GPSMAN_BUTTON_EXPORT",
    "GPSMAN_BUTTON_LOGMERGE",
    "GPSMAN_BUTTON_SHOWTRACKS",
    "GPSMANINFO_CHARTVIEW",
    "GPSMAN_LIST_FILENAME",
    "GPSMAN_LIST_COLOR",
    "GPSMAN_LIST_WIDTH",
    "GPSMAN_LIST_LINEWIDTH",
    "GPSMAN_LIST_COMMENT",
    "GPSMAN_LIST_TIMEZONE",
    "GPSMAN_LIST_TIMESTART",
    "GPSMAN_LIST_TIMEEND",
    "GPSMAN_LIST_PATH",
    "GPSMAN_REMOVE_TITLE",
    "GPSMAN_REMOVE_ASK",
    "GPSMAN_SUB_PROCESS",
    "GPSMAN_FILTER_LOGS",
    "GPSMAN_FILTER_GPX",
    "GPSMAN_FILTER_ALL",
    "GPSMAN_TEXT_DBDAMAGED",
    "GPSMAN_TEXT_DBUNREADABLE",
    "GPSMAN_TEXT_FILEMISSING",
    "GPSMAN_TEXT_FILEUNREADABLE",
    "GPSMAN_TEXT_UNAVAILABLE",
    "GPSMAN_TEXT_REFUSED",
    "GPSMAN_REASON_NOTIMES",
    "GPSMAN_REASON_UNREADABLE",
    "GPSMAN_REASON_CUT",
    "GPSMAN_REASON_BADDATE",
    "GPSMAN_REASON_MALFORMED",
    "GPSMANINFO_TITLE",
    "GPSMANINFO_BUTTON_SAVE",
    "GPSMANINFO_BUTTON_CLOSE",
    "GPSMANINFO_TEXT_TOOLONG",
    // log merge
    "LOGMERGE_TITLE",
    "LOGMERGE_BUTTON_CHANGEPATH",
    "LOGMERGE_BUTTON_MERGE",
    "LOGMERGE_BUTTON_CANCEL",
    "LOGMERGE_TEXT_MERGENUMBER",
    "LOGMERGE_TEXT_OUTPATH",
    "LOGMERGE_TEXT_FILENAME",
    "LOGMERGE_TEXT_NOLOGNAME",
    "LOGMERGE_TEXT_OVERWRITE",
    "LOGMERGE_TEXT_WARNDISCONT",
    "LOGMERGE_TEXT_ERRTIMECONFLICT",
    "LOGMERGE_TEXT_OWERRDB",
    // export
    "EXPORT_TITLE",
    "EXPORT_TEXT_EXPORTFORMAT",
    "EXPORT_TEXT_FORMATKML",
    "EXPORT_TEXT_FORMATGPX",
    "EXPORT_TEXT_EXPORTNUMBER",
    "EXPORT_EXCEL_BATCHPROCESSING",
    "EXPORT_BUTTON_CHANGEPATH",
    "EXPORT_TEXT_EXPORTPATH",
    "EXPORT_TEXT_FILENAME",
    "EXPORT_TEXT_NONAME",
    "EXPORT_TEXT_OVERWRITE",
    "EXPORT_BUTTON_EXPORT",
    "EXPORT_BUTTON_CANCEL",
    "EXPORT_EXCEL_HEADER",
    // log import
    "GPSIMPORT_TITLE",
    "GPSIMPORT_TEXT_DATAPATH",
    "GPSIMPORT_TEXT_FREESIZE",
    "GPSIMPORT_TEXT_TOTALSIZE",
    "GPSIMPORT_TEXT_GMT",
    "GPSIMPORT_OPTION_GMT",
    "GPSIMPORT_OPTION_DELETE",
    "GPSIMPORT_TEXT_DISCONNECTED",
    "GPSIMPORT_BUTTON_IMPORT",
    "GPSIMPORT_BUTTON_CLOSE",
    "GPSIMPORT_BUTTON_GPSMANAGER",
    "GPSIMPORT_SUB_PROCESS",
    // charts
    "CHART_ALT_GRAPH",
    "CHART_BTN_GRAPH1",
    "CHART_BTN_GRAPH2",
    "CHART_CLOSE",
    "CHART_SUB_PROCESS",
    // settings page
    "SETTING_TITLE",
    "SETTING_TEXT_TOLERANCE",
    "SETTING_TEXT_TOLERANCEVALUE",
    "SETTING_TEXT_TOLERANCECOMMENT",
    "SETTING_OPTION_ZEROTOLERANCE",
    "SETTING_OPTION_PLUSMINUS",
    "SETTING_OPTION_HOUR",
    "SETTING_OPTION_IGNORETOLERANCE",
    "SETTING_CORRECTION2_TITLE",
    "SETTING_CORRECTION2_OPTION_DISABLE",
    "SETTING_CORRECTION2_OPTION_ENABLE",
    "SETTING_CORRECTION2_TEXT_LAT",
    "SETTING_CORRECTION2_TEXT_LONG",
    "SETTING_CORRECTION2_TEXT_NORTH",
    "SETTING_CORRECTION2_TEXT_SOUTH",
    "SETTING_CORRECTION2_TEXT_EAST",
    "SETTING_CORRECTION2_TEXT_WEST",
    "SETTING_CORRECTION2_TEXT_SEC",
    "SETTING_INTERPOLATE_GROUP",
    "SETTING_INTERPOLATE_CHECK",
    "SETTING_INTERPOLATE_MAXGAP",
    "SETTING_INTERPOLATE_COMMENT",
    "SETTING_TEXT_GROUP_SKIN",
    "SETTING_CHECK_SKIN_APPLY",
    "SETTING_TEXT_RESTART_APP",
    "SETTING_TEXT_GROUP_METADATA",
    "SETTING_CHECK_TAG_APPLY",
    "SETTING_GROUP_SHOWTRACK",
    "SETTING_CHECK_SHOWTRACK",
    "SETTING_SUMMERTIME",
    "SETTING_GROUP_SIDECAR",
    "SETTING_GROUP_PHOTOS",
    "SETTING_CHECK_IGNOREPHOTOZONE",
    "SETTING_CHECK_KEEPPOSITIONS",
    "SETTING_TEXT_SIDECAR",
    "SETTING_SIDECAR_BASENAME",
    "SETTING_GROUP_MAPTILES",
    "SETTING_TEXT_MAPTILES",
    "SETTING_MAPTILES_INVALID",
    "IDC_SETTING_GROUP_KML",
    "IDC_SETTING_KML_WAYPOINT",
    "SETTING_TEXT_CONNECTED",
    "SETTING_TEXT_DISCONNECTED",
    "SETTING_TEXT_LOGOPTION",
    "SETTING_TEXT_LEDMODE",
    "SETTING_TEXT_LEDMODECOMMENT",
    "SETTING_OPTION_LEDMODE0",
    "SETTING_OPTION_LEDMODE1",
    "SETTING_OPTION_LEDMODE2",
    "SETTING_OPTION_AUTO",
    "SETTING_OPTION_TIME",
    "SETTING_OPTION_DISTANCE",
    "SETTING_OPTION_MINUTE",
    "SETTING_OPTION_SECOND",
    "SETTING_BUTTON_APPLY",
    "SETTING_TEXT_ERRORSAVE",
    "SETTING_TEXT_ERRORREAD",
    "SETTING_TEXT_NOTKEPT",
    "SETTING_TEXT_LANGUAGENOTKEPT",
    "SETTING_R6_DEVICE",
    "SETTING_R6_TIME",
    "SETTING_R6_TIME_FORMAT",
    "SETTING_R6_TIME_ZONE",
    "SETTING_R6_TIME_SUMMERTIME",
    "SETTING_R6_TIME_UNIT",
    "SETTING_R6_POWERSAVEMODE",
    "SETTING_R6_TRACK",
    "SETTING_R6_TRACK_SAVE",
    "SETTING_R6_TRACK_METHOD",
    "SETTING_R6_TRACK_RECORD_TIME",
    "SETTING_R6_TRACK_RECORD_DISTANCE",
    "SETTING_R6_DISPLAY",
    "SETTING_R6_DISPLAY_ONOFF",
    "SETTING_R6_DISPLAY_BRIGHT",
    "SETTING_R6_DISPLAY_1STWINDOW",
    "SETTING_R6_DISPLAY_ALTERWINDOW",
    "SETTING_R6_DISPLAY_ALTERTIME",
    "SETTING_R6_ALARM",
    "SETTING_R6_ALARM_BATTERY",
    "SETTING_R6_ALARM_MEMORY",
    "SETTING_R6_RECEIVERMODE",
    "SETTING_R6_ALTITUDEGRAPH",
    "SETTING_R6_ALERT_MIS_VERSION",
    "SETTING_R6_ALERT_MISFW_VERSION",
};

class ShippedLanguage : public ::testing::TestWithParam<const char*> {
 protected:
  IniFile Load() const {
    return IniFile::Load(test::SourceFolder() + QStringLiteral("/resources/Lang/") +
                         QString::fromLatin1(GetParam()));
  }
};

TEST_P(ShippedLanguage, HoldsEveryKeyOfEveryWindowAndNoOther) {
  const IniFile file = Load();
  std::set<QString> expected;
  for (const char* key : kWindowKeys) {
    expected.insert(QString::fromLatin1(key));
  }
  const QStringList keys = file.Keys(kLanguageSection);
  const std::set<QString> present(keys.begin(), keys.end());
  for (const QString& key : expected) {
    EXPECT_TRUE(present.contains(key)) << "missing " << key.toStdString();
    EXPECT_FALSE(file.Value(kLanguageSection, key).value_or(QString()).isEmpty())
        << "empty " << key.toStdString();
  }
  for (const QString& key : present) {
    EXPECT_TRUE(expected.contains(key)) << "unknown " << key.toStdString();
  }
  EXPECT_EQ(keys.size(), static_cast<qsizetype>(expected.size())) << "a key is written twice";
}

TEST_P(ShippedLanguage, DisplayFormatsReadWell) {
  const DisplayFormats formats = LoadDisplayFormats(LanguageTexts(Load()));
  const QString time = FormatTime(*MakeTime(2009, 5, 17, 21, 35, 19), formats.timeFormat);
  EXPECT_TRUE(time.contains(QStringLiteral("2009"))) << time.toStdString();
  EXPECT_TRUE(time.contains(QStringLiteral("21:35:19"))) << time.toStdString();
  EXPECT_EQ(FormatLongLat(formats.longLatFormat, QStringLiteral("N"), 37, 23, 27.402),
            QStringLiteral("N 37° 23' 27.40\""));
}

TEST_P(ShippedLanguage, TitlesAndHeadersHaveTheirShape) {
  const LanguageTexts texts(Load());
  EXPECT_EQ(texts.Text(QStringLiteral("SAVE_EXCEL_HEADER")).count(u','), 7);    // eight columns
  EXPECT_EQ(texts.Text(QStringLiteral("EXPORT_EXCEL_HEADER")).count(u','), 4);  // five columns
  EXPECT_EQ(texts.Text(QStringLiteral("MAP_FILE")), QStringLiteral("MapView.trh"));
  EXPECT_NE(texts.Text(QStringLiteral("MAP_DEFAULT_LAT")).toDouble(), 0.0);
  EXPECT_NE(texts.Text(QStringLiteral("MAP_DEFAULT_LONG")).toDouble(), 0.0);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, ShippedLanguage,
                         ::testing::Values("LANG_ENG.INI", "LANG_KOR.INI"));

}  // namespace
}  // namespace trevalo
