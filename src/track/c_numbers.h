#pragma once
// Numbers read from text as the C library's atoi and atof read them, in the C locale and
// exactly (log fields, settings, photo dates): the same value wherever the program runs.

#include <cstdint>
#include <string_view>

namespace trevalo {

// atof: leading white space, a sign, digits with an optional fraction and exponent (and the
// C library's other forms); reading stops at the first byte that does not fit; 0 when
// nothing fits.
double ReadReal(std::string_view text);

// atoi: leading white space, a sign, decimal digits; 0 when nothing fits. Values beyond the
// 32-bit range are clamped.
std::int32_t ReadInt(std::string_view text);

}  // namespace trevalo
