#include "launch/recovery_marker.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace tarnwick::testing {
namespace {

TEST(RecoveryMarker, IsOneLineFoundWithoutRegardToCaseAndRemovedOnlyWhenThere) {
  TempComponentFolder c;
  HostFileSystem fs;
  RecoveryMarker marker(fs, c.root.string());
  EXPECT_FALSE(marker.Present());
  EXPECT_NO_THROW(marker.Remove());  // none there: nothing to do
  marker.Write();
  EXPECT_EQ(c.Read("CodeWork"), " 1 \r\n");
  EXPECT_TRUE(marker.Present());
  marker.Remove();
  EXPECT_FALSE(c.Exists("CodeWork"));

  c.Write("codework", "");
  EXPECT_TRUE(marker.Present());
  marker.Write();
  EXPECT_EQ(c.Read("codework"), " 1 \r\n");  // rewritten in place under its own name
}

TEST(RecoveryMarker, AMarkerThatCannotBeDeletedSaysSo) {
  TempComponentFolder c;
  FaultyFileSystem fs;
  RecoveryMarker marker(fs, c.root.string());
  marker.Write();
  fs.undeletable.insert("CodeWork");
  EXPECT_THROW(marker.Remove(), FileError);
  EXPECT_TRUE(marker.Present());
}

}  // namespace
}  // namespace tarnwick::testing
