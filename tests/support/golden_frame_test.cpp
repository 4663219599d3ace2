// A golden-frame mismatch leaves the actual frame and a difference image in the build
// folder, and the failure says where they are.
#include "support/golden_frame.h"

#include <filesystem>

namespace {

TEST(GoldenFrame, AMismatchKeepsTheActualFrameAndADifferenceImage) {
  kvtest::Frame frame;
  ASSERT_TRUE(kvtest::readGolden(kvtest::goldenPath("render_point_wrap"), &frame));
  frame.pixels[5] ^= 0x00FF0000u;
  const std::string actualPath = std::string(KV_FAILED_FRAMES_DIR) + "/render_point_wrap.actual.png";
  const std::string diffPath = std::string(KV_FAILED_FRAMES_DIR) + "/render_point_wrap.diff.png";
  std::filesystem::remove(actualPath);
  std::filesystem::remove(diffPath);

  const ::testing::AssertionResult result = kvtest::matchesGolden("render_point_wrap", frame);
  ASSERT_FALSE(result);
  EXPECT_NE(std::string(result.message()).find(actualPath), std::string::npos) << result.message();
  EXPECT_NE(std::string(result.message()).find(diffPath), std::string::npos) << result.message();

  kvtest::Frame kept, diff;
  ASSERT_TRUE(kvtest::readGolden(actualPath, &kept));
  EXPECT_EQ(kept.pixels, frame.pixels);
  ASSERT_TRUE(kvtest::readGolden(diffPath, &diff));
  EXPECT_EQ(diff.pixels[5], 0xFFFF0000u) << "the differing pixel is bright red";
  EXPECT_EQ(diff.pixels[4] >> 24, 0xFFu) << "every pixel is opaque";
  EXPECT_EQ(diff.pixels[4] & 0xFFu, (diff.pixels[4] >> 16) & 0xFFu) << "matching pixels are grey";
  std::filesystem::remove(actualPath);
  std::filesystem::remove(diffPath);
}

}  // namespace
