#include "shell/ini_file.h"

#include <QFile>
#include <QStringDecoder>

#include "files/atomic_file.h"
#include "files/native_files.h"

namespace trevalo {

QString IniFile::IndexKey(const QString& section, const QString& key) {
  return section.toCaseFolded() + QChar(0) + key.toCaseFolded();
}

IniFile IniFile::Parse(const QByteArray& bytes) {
  IniFile file;
  // A byte-order mark chooses the encoding (and is dropped); without one the file is UTF-8.
  QStringDecoder decode(QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8));
  QString text = decode(bytes);
  while (text.startsWith(QChar(0xFEFF))) {
    text.remove(0, 1);
  }
  if (text.contains(u"\r\n")) {
    file.newline_ = QStringLiteral("\r\n");
  }
  QString section;
  for (QString raw : text.split(u'\n')) {
    while (raw.endsWith(u'\r')) {
      raw.chop(1);
    }
    Line line;
    line.raw = raw;
    const QString trimmed = raw.trimmed();
    if (trimmed.startsWith(u'[')) {
      const qsizetype close = trimmed.indexOf(u']');
      if (close > 0) {
        section = trimmed.mid(1, close - 1).trimmed();
        line.isHeader = true;
      }
    } else if (!trimmed.startsWith(u';')) {
      const qsizetype equals = raw.indexOf(u'=');
      if (equals >= 0) {
        line.key = raw.left(equals).trimmed();
        line.value = raw.mid(equals + 1).trimmed();
      }
    }
    line.section = section;
    file.lines_.push_back(std::move(line));
  }
  // A file that ends with a line break splits into one empty last line; it is the break of
  // the line before, not a line of its own.
  if (!file.lines_.empty() && file.lines_.back().raw.isEmpty() && text.endsWith(u'\n')) {
    file.lines_.pop_back();
  }
  file.Reindex();
  return file;
}

IniFile IniFile::Load(const QString& path) {
  QFile file;
  if (!OpenForReading(file, path).isEmpty()) {
    return {};
  }
  return Parse(file.readAll());
}

std::optional<IniFile> IniFile::LoadForUpdate(const QString& path, QString* problem) {
  if (!PathExists(path)) {
    return IniFile();
  }
  QFile file;
  if (const QString reason = OpenForReading(file, path); !reason.isEmpty()) {
    if (problem != nullptr) {
      *problem = QStringLiteral("cannot read %1: %2").arg(path, reason);
    }
    return std::nullopt;
  }
  return Parse(file.readAll());
}

void IniFile::Reindex() {
  keyIndex_.clear();
  lastLineOfSection_.clear();
  for (qsizetype i = 0; i < static_cast<qsizetype>(lines_.size()); ++i) {
    const Line& line = lines_[static_cast<std::size_t>(i)];
    const QString sectionKey = line.section.toCaseFolded();
    if (line.isHeader && lastLineOfSection_.contains(sectionKey)) {
      continue;  // a repeated header: the first section keeps its place
    }
    if (!line.key.isEmpty()) {
      const QString index = IndexKey(line.section, line.key);
      if (!keyIndex_.contains(index)) {
        keyIndex_.insert(index, i);
      }
    }
    if (line.isHeader || !line.key.isEmpty() || !lastLineOfSection_.contains(sectionKey)) {
      lastLineOfSection_.insert(sectionKey, i);
    }
  }
}

std::optional<QString> IniFile::Value(const QString& section, const QString& key) const {
  const auto found = keyIndex_.constFind(IndexKey(section, key));
  if (found == keyIndex_.constEnd()) {
    return std::nullopt;
  }
  return lines_[static_cast<std::size_t>(*found)].value;
}

QStringList IniFile::Keys(const QString& section) const {
  QStringList keys;
  for (qsizetype i = 0; i < static_cast<qsizetype>(lines_.size()); ++i) {
    const Line& line = lines_[static_cast<std::size_t>(i)];
    if (!line.key.isEmpty() && line.section.compare(section, Qt::CaseInsensitive) == 0 &&
        keyIndex_.value(IndexKey(line.section, line.key), -1) == i) {
      keys.append(line.key);
    }
  }
  return keys;
}

void IniFile::SetValue(const QString& section, const QString& key, const QString& value) {
  QString flat = value;
  flat.replace(u'\r', u' ').replace(u'\n', u' ');
  flat = flat.trimmed();
  const auto found = keyIndex_.constFind(IndexKey(section, key));
  if (found != keyIndex_.constEnd()) {
    Line& line = lines_[static_cast<std::size_t>(*found)];
    line.value = flat;
    line.raw = line.key + u'=' + flat;
    return;
  }
  Line line;
  line.section = section;
  line.key = key.trimmed();
  line.value = flat;
  line.raw = line.key + u'=' + flat;
  const auto last = lastLineOfSection_.constFind(section.toCaseFolded());
  if (section.isEmpty() && last == lastLineOfSection_.constEnd()) {
    // Keys outside any section belong before the first header.
    lines_.insert(lines_.begin(), std::move(line));
  } else if (last != lastLineOfSection_.constEnd()) {
    // After the section's last key (or its header), before any blank lines that follow.
    line.section = lines_[static_cast<std::size_t>(*last)].section;
    lines_.insert(lines_.begin() + *last + 1, std::move(line));
  } else {
    if (!lines_.empty() && !lines_.back().raw.trimmed().isEmpty()) {
      Line blank;
      blank.section = lines_.back().section;
      lines_.push_back(std::move(blank));
    }
    if (!section.isEmpty()) {
      Line header;
      header.raw = u'[' + section + u']';
      header.section = section;
      header.isHeader = true;
      lines_.push_back(std::move(header));
    }
    lines_.push_back(std::move(line));
  }
  Reindex();
}

QByteArray IniFile::Serialize() const {
  QString text;
  for (const Line& line : lines_) {
    text += line.raw;
    text += newline_;
  }
  return text.toUtf8();
}

bool IniFile::Save(const QString& path, QString* problem) const {
  const QByteArray bytes = Serialize();
  const QString reason =
      WriteFileAtomically(path,
                          std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                    static_cast<std::size_t>(bytes.size())),
                          true);
  if (problem != nullptr) {
    *problem = reason;
  }
  return reason.isEmpty();
}

}  // namespace trevalo
