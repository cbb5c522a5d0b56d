// Any bytes as an INI file: parsing must not crash, writing what was read must read back
// the same, and a value set must read back as set while the other values stay.

#include <cstdint>
#include <cstdlib>

#include <QByteArray>
#include <QString>

#include "fuzz_check.h"
#include "shell/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const trevalo::IniFile file = trevalo::IniFile::Parse(bytes);

  // Text that is not UTF-8 settles after one pass; from then on a round trip is exact.
  const QByteArray once = file.Serialize();
  const trevalo::IniFile reread = trevalo::IniFile::Parse(once);
  Check(reread.Serialize() == once);

  // Use the first line's words as a section, key and value to set.
  const QString text = QString::fromUtf8(bytes.left(64));
  const QStringList words = text.split(u' ');
  const QString section = words.value(0);
  const QString key = words.value(1, QStringLiteral("KEY")).trimmed();
  const QString value = words.value(2);
  if (key.isEmpty() || key.contains(u'=') || key.contains(u'\n') || key.contains(u'\r') ||
      key.startsWith(u'[') || key.startsWith(u';') || section.contains(u']') ||
      section.contains(u'\n') || section.contains(u'\r') || section != section.trimmed()) {
    return 0;
  }
  const QStringList keysBefore = reread.Keys(QStringLiteral("LANGUAGE"));
  trevalo::IniFile changed = reread;
  changed.SetValue(section, key, value);
  QString expected = value;
  expected.replace(u'\r', u' ').replace(u'\n', u' ');
  Check(changed.Value(section, key) == expected.trimmed());
  const trevalo::IniFile written = trevalo::IniFile::Parse(changed.Serialize());
  Check(written.Value(section, key) == expected.trimmed());
  if (section.compare(QStringLiteral("LANGUAGE"), Qt::CaseInsensitive) != 0) {
    for (const QString& other : keysBefore) {
      Check(written.Value(QStringLiteral("LANGUAGE"), other) ==
            reread.Value(QStringLiteral("LANGUAGE"), other));
    }
  }
  return 0;
}
