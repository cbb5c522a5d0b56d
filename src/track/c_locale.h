#pragma once
// The C locale as a handle, for the *_l functions: log files, settings and generated files
// are read and written with '.' decimals and English names whatever the user's locale.

#include <locale.h>
#include <clocale>

namespace trevalo {

inline locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

}  // namespace trevalo
