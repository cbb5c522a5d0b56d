#include "export/input_guard.h"

namespace trevalo {

InputFiles::InputFiles(const LogLibrary& library, const QStringList& otherInputs) {
  const auto add = [this](const QString& path) { inputs_.emplace_back(path, FileIdentity(path)); };
  for (std::size_t i = 0; i < library.size(); ++i) {
    add(library.log(i).filePath());
  }
  for (const LogRecord& record : library.unavailable()) {
    add(record.filePath);
  }
  for (const QString& path : otherInputs) {
    add(path);
  }
}

QString InputFiles::ReplacedBy(const QString& output) const {
  const QString identity = FileIdentity(output);
  for (const auto& [path, input] : inputs_) {
    if (input == identity) {
      return QStringLiteral("%1 would replace %2, which it is made from; nothing was written")
          .arg(output, path);
    }
  }
  return {};
}

}  // namespace trevalo
