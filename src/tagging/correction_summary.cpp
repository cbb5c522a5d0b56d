#include "tagging/correction_summary.h"

#include <cstdlib>

#include "track/calendar_time.h"

namespace trevalo {
namespace {

// Hundredths of an arc second as seconds with two decimals and a sign.
QString ArcSeconds(int hundredths) {
  return QString::asprintf("%+.2f", hundredths / 100.0);
}

}  // namespace

QString SignedSpanText(std::int64_t seconds, const LanguageTexts& texts) {
  const char sign = seconds < 0 ? '-' : '+';
  const std::int64_t magnitude = std::llabs(seconds);
  const std::int64_t days = magnitude / 86400;
  QString text(QLatin1Char{sign});
  if (days > 0) {
    text += texts.Text(QStringLiteral("MAIN_TEXT_DAYS")).arg(days) + u' ';
  }
  text +=
      QString::asprintf("%02d:%02d:%02d", static_cast<int>(magnitude % 86400 / 3600),
                        static_cast<int>(magnitude % 3600 / 60), static_cast<int>(magnitude % 60));
  return text;
}

QString CorrectionSummary(const MatchSettings& match, const LanguageTexts& texts) {
  QStringList sentences;
  if (match.cameraCorrection && match.cameraDrift) {
    // The span at the first reference, and how much it grows each day of camera time.
    sentences << texts.Text(QStringLiteral("MAIN_TEXT_CAMERADRIFT"))
                     .arg(SignedSpanText(match.cameraSpan, texts),
                          FormatTime(match.driftFrom, QStringLiteral("%Y-%m-%d %H:%M:%S")),
                          QString::asprintf("%+.1f", match.driftPerSecond * 86400));
  } else if (match.cameraCorrection) {
    sentences << texts.Text(QStringLiteral("MAIN_TEXT_CAMERACORRECTION"))
                     .arg(SignedSpanText(match.cameraSpan, texts));
  }
  if (match.positionCorrection && (match.latitudeOffset != 0 || match.longitudeOffset != 0)) {
    sentences << texts.Text(QStringLiteral("MAIN_TEXT_POSITIONCORRECTION"))
                     .arg(ArcSeconds(match.latitudeOffset), ArcSeconds(match.longitudeOffset));
  }
  return sentences.join(u' ');
}

}  // namespace trevalo
