// Any bytes as a logger's settings file, model A and model B: reading must not crash;
// model A values written and read back are the same; a model B rewrite changes the setting
// bytes only.

#include <cstdint>

#include <QByteArray>

#include "device/device_file.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

  trevalo::ModelASettings a;
  trevalo::ParseModelAFile(bytes, a);
  const QByteArray written = trevalo::ModelAFileBytes(a);
  Check(written.size() == 128);
  trevalo::ModelASettings reread;
  reread.samplingSeconds = reread.ledMode = -12345;
  trevalo::ParseModelAFile(written, reread);
  Check(reread.samplingSeconds == a.samplingSeconds && reread.ledMode == a.ledMode &&
        reread.firmwareNumber == a.firmwareNumber);

  const trevalo::ModelBSettings b = trevalo::ParseModelBFile(bytes);
  Check(b.formatCheck >= -1 && b.formatCheck <= 1);
  const QByteArray rewritten = trevalo::ModelBFileBytes(bytes, b);
  Check(rewritten.size() == std::max<qsizetype>(bytes.size(), trevalo::kModelBFileSize));
  // Setting the values that were read changes nothing the file had.
  Check(rewritten.left(bytes.size()) == bytes);
  Check(trevalo::ParseModelBFile(rewritten).values == b.values);
  return 0;
}
