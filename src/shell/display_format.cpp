#include "shell/display_format.h"

#include <algorithm>
#include <variant>

namespace trevalo {
namespace {

using Argument = std::variant<QString, int, double>;

constexpr int kMaxWidth = 64;

bool IsFlag(QChar c) {
  return c == u'-' || c == u'+' || c == u' ' || c == u'#' || c == u'0';
}
bool IsLengthModifier(QChar c) {
  return c == u'h' || c == u'l' || c == u'L' || c == u'q' || c == u'j' || c == u'z' || c == u't';
}

// Reads a decimal number at `i`, capped so that no conversion can ask for huge output.
int ReadCount(const QString& format, qsizetype& i) {
  int value = 0;
  while (i < format.size() && format[i].isDigit()) {
    value = std::min(kMaxWidth, value * 10 + format[i].digitValue());
    ++i;
  }
  return value;
}

QString FormatOne(const QString& flags, int width, int precision, QChar conversion,
                  const Argument& argument) {
  QString conversionSpec = u'%' + flags;
  if (width > 0) {
    conversionSpec += QString::number(width);
  }
  if (precision >= 0) {
    conversionSpec += u'.' + QString::number(precision);
  }
  const bool wantsText = conversion == u's' || conversion == u'c';
  const bool wantsReal = QStringLiteral("fFeEgGaA").contains(conversion);
  if (const QString* text = std::get_if<QString>(&argument)) {
    return QString::asprintf((conversionSpec + u's').toUtf8().constData(),
                             text->toUtf8().constData());
  }
  const double real = std::holds_alternative<double>(argument)
                          ? std::get<double>(argument)
                          : static_cast<double>(std::get<int>(argument));
  if (wantsReal || (std::holds_alternative<double>(argument) && wantsText)) {
    const QChar realConversion = wantsReal ? conversion : QChar(u'f');
    return QString::asprintf((conversionSpec + realConversion).toUtf8().constData(), real);
  }
  const int integer = std::holds_alternative<int>(argument)
                          ? std::get<int>(argument)
                          : static_cast<int>(std::clamp(real, -2147483648.0, 2147483647.0));
  const QChar intConversion =
      QStringLiteral("dixXou").contains(conversion) ? conversion : QChar(u'd');
  return QString::asprintf((conversionSpec + intConversion).toUtf8().constData(), integer);
}

}  // namespace

QString FormatLongLat(const QString& format, const QString& hemisphere, int degrees, int minutes,
                      double seconds) {
  const Argument arguments[] = {hemisphere, degrees, minutes, seconds};
  std::size_t next = 0;
  QString out;
  qsizetype i = 0;
  while (i < format.size()) {
    if (format[i] != u'%') {
      out += format[i++];
      continue;
    }
    const qsizetype specStart = i++;
    if (i < format.size() && format[i] == u'%') {
      out += u'%';
      ++i;
      continue;
    }
    QString flags;
    while (i < format.size() && IsFlag(format[i])) {
      if (!flags.contains(format[i])) {
        flags += format[i];
      }
      ++i;
    }
    const int width = ReadCount(format, i);
    int precision = -1;
    if (i < format.size() && format[i] == u'.') {
      ++i;
      precision = ReadCount(format, i);
    }
    while (i < format.size() && IsLengthModifier(format[i])) {
      ++i;
    }
    if (i >= format.size()) {
      out += format.mid(specStart);
      break;
    }
    const QChar conversion = format[i++];
    if (!QStringLiteral("diouxXeEfFgGaAcs").contains(conversion)) {
      continue;  // %n, %p, '*' and unknown conversions print nothing
    }
    if (next < std::size(arguments)) {
      out += FormatOne(flags, width, precision, conversion, arguments[next++]);
    }
  }
  return out;
}

}  // namespace trevalo
