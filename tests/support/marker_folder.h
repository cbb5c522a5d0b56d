#pragma once
// A test's own folder for generated logs and the marker files the map commands write there.

#include <vector>

#include <gtest/gtest.h>
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "map/marker_writer.h"
#include "support/log_generator.h"
#include "support/test_files.h"

namespace trevalo::test {

class MarkerFolderTest : public ::testing::Test {
 protected:
  QString Log(const QString& name, const LogPlan& plan,
              std::vector<GeneratedFix>* fixes = nullptr) {
    return WriteGeneratedLog(dir_.path(), name, plan, fixes);
  }
  QByteArray Markers(MarkerFile file) const {
    return ReadFile(dir_.filePath(MarkerFileName(file)));
  }
  QTemporaryDir dir_;
};

}  // namespace trevalo::test
