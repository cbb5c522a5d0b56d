#pragma once
// A document is never written over a file it is made from: one of the library's logs, or a
// photo or other input the caller names. Files are compared by identity (file_identity.h),
// so a link to an input is that input.

#include <utility>
#include <vector>

#include <QString>
#include <QStringList>

#include "files/file_identity.h"
#include "library/log_library.h"

namespace trevalo {

class InputFiles {
 public:
  // The logs of `library` (available or not) and `otherInputs`.
  InputFiles(const LogLibrary& library, const QStringList& otherInputs);

  // Why `output` may not be written: it is one of the inputs. Empty when it is none.
  QString ReplacedBy(const QString& output) const;

 private:
  std::vector<std::pair<QString, QString>> inputs_;  // each input and its FileIdentity
};

}  // namespace trevalo
