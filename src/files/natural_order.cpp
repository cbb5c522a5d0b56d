#include "files/natural_order.h"

namespace trevalo {

int NaturalCompare(QStringView a, QStringView b) {
  qsizetype i = 0;
  qsizetype j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      qsizetype endA = i;
      qsizetype endB = j;
      while (endA < a.size() && a[endA].isDigit()) {
        ++endA;
      }
      while (endB < b.size() && b[endB].isDigit()) {
        ++endB;
      }
      // Without leading zeros, the longer run is the larger number.
      QStringView digitsA = a.sliced(i, endA - i);
      QStringView digitsB = b.sliced(j, endB - j);
      while (digitsA.size() > 1 && digitsA.front() == u'0') {
        digitsA = digitsA.sliced(1);
      }
      while (digitsB.size() > 1 && digitsB.front() == u'0') {
        digitsB = digitsB.sliced(1);
      }
      if (digitsA.size() != digitsB.size()) {
        return digitsA.size() < digitsB.size() ? -1 : 1;
      }
      if (const int compared = digitsA.compare(digitsB); compared != 0) {
        return compared;
      }
      i = endA;
      j = endB;
      continue;
    }
    const QChar left = a[i].toCaseFolded();
    const QChar right = b[j].toCaseFolded();
    if (left != right) {
      return left < right ? -1 : 1;
    }
    ++i;
    ++j;
  }
  if (a.size() - i != b.size() - j) {
    return a.size() - i < b.size() - j ? -1 : 1;
  }
  return 0;
}

}  // namespace trevalo
