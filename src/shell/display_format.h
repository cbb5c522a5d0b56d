#pragma once
// The latitude/longitude display format of the language file, applied safely.
//
// The format is printf syntax receiving the hemisphere letter (text), whole degrees and
// whole minutes (integers) and seconds (real), in this order. It comes from a file the
// user can edit, so it is interpreted here rather than handed to printf: each conversion
// takes the next argument and formats it as that argument's own type when the conversion
// does not fit it, conversions past the fourth print nothing, and %n and '*' are not
// honoured.

#include <QString>

namespace trevalo {

QString FormatLongLat(const QString& format, const QString& hemisphere, int degrees, int minutes,
                      double seconds);

}  // namespace trevalo
