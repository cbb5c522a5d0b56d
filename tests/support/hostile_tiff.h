#pragma once
// TIFF data whose directories point at each other, as an attacker writes it: read naively,
// such data is walked along every path its pointers form.

#include <cstdint>
#include <vector>

#include "photo/tiff_data.h"

namespace trevalo::test {

// What every hostile layout below holds in its first directory, so that a test can check
// that what can be read is still read.
inline constexpr char kHostileMake[] = "Hostile";
inline constexpr char kHostileDateTime[] = "2009:05:17 10:30:00";

// IFD0 with Make and DateTime and `pointers` Exif pointers (0x8769) back at IFD0 itself.
std::vector<std::uint8_t> SelfPointingTiff(int pointers, ByteOrder order = ByteOrder::kLittle);

// `count` distinct directories after IFD0 (IFD0 as above, pointing at the first of them).
// Each holds an Exif, an Interop and a GPS pointer to every other one and links to the next
// (the last back to the first when `cyclic`, else ending the chain): every directory is
// shared by all the others. Its number of entries in all: SharedDirectoriesEntries().
std::vector<std::uint8_t> SharedDirectoriesTiff(int count, bool cyclic);
int SharedDirectoriesEntries(int count);

}  // namespace trevalo::test
