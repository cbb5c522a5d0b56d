#pragma once
// Exiv2 as the engine uses it: made ready once (BMFF files such as HEIF and CR3 are read,
// its own messages kept off stderr), and its exceptions turned into texts.

#include <exception>

#include <QString>

namespace trevalo {

void PrepareExiv2();

// What an exception of Exiv2 (or of the standard library, raised inside it) says.
QString Exiv2Problem(const std::exception& error);

}  // namespace trevalo
