// Any bytes as a mount table: reading must not crash, and what it gives is in mount-point
// order, one volume per mount point, each at an absolute path.

#include <cstdint>

#include <QByteArrayView>

#include "device/mount_table.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<trevalo::MountedVolume> volumes =
      trevalo::ParseMountTable(QByteArrayView(data, static_cast<qsizetype>(size)));
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    Check(volumes[i].mountPoint.startsWith(u'/'));
    Check(i == 0 || volumes[i - 1].mountPoint < volumes[i].mountPoint);
  }
  return 0;
}
