#include "photo/exiv2_support.h"

#include <mutex>

#include <exiv2/exiv2.hpp>

namespace trevalo {
namespace {

// Photos are read on several threads: the XMP toolkit registers the namespaces it meets
// in packets in tables of its own, one thread at a time under this lock.
std::recursive_mutex xmpLock;

void LockXmp(void*, bool lock) {
  if (lock) {
    xmpLock.lock();
  } else {
    xmpLock.unlock();
  }
}

}  // namespace

void PrepareExiv2() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Exiv2 writes its warnings on damaged data to stderr; the engine reports problems itself.
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    // Debian's build has it, but leaves it off until asked.
    Exiv2::enableBMFF(true);
    Exiv2::XmpParser::initialize(LockXmp);
  });
}

QString Exiv2Problem(const std::exception& error) {
  const QString text = QString::fromLocal8Bit(error.what()).trimmed();
  return text.isEmpty() ? QStringLiteral("unreadable data") : text;
}

}  // namespace trevalo
