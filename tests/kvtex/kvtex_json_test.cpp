// One JSON vocabulary across commands: the same keys for the same things, outputs always
// a list, failures as JSON lines on every command, file names that are not UTF-8 escaped.
#include <algorithm>

#include "kvtex_test_support.h"

namespace {

using namespace kvtex_test;
using nlohmann::json;

// The keys of a line, sorted (json keeps its keys sorted; the order of Keys{} is the
// order kvtex prints them in).
std::vector<std::string> keys(const json &line) {
  std::vector<std::string> names;
  for (const auto &item : line.items()) names.push_back(item.key());
  return names;
}
std::vector<std::string> sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

using KvtexJson = KvtexTest;

TEST_F(KvtexJson, EveryCommandSpeaksTheSameKeys) {
  const std::string a = write("a.bmp", bitmap(8, 4, [](uint32_t, uint32_t) { return 0xFF808080u; }));
  using Keys = std::vector<std::string>;
  const RunResult info = run({"info", a});
  ASSERT_EQ(info.status, 0) << info.errors;
  EXPECT_EQ(keys(info.lines[0]),
            sorted(Keys{"file", "width", "height", "depth", "levels", "format", "formatCode", "resourceType", "fileFormat"}));
  const RunResult texture = run({"texture", a, "-o", path("t"), "--format", "DXT5"});
  ASSERT_EQ(texture.status, 0) << texture.errors;
  EXPECT_EQ(keys(texture.lines[0]), sorted(Keys{"file", "width", "height", "depth", "levels", "format", "formatCode",
                                          "fourCC", "resourceType", "outputs"}));
  EXPECT_EQ(texture.lines[0]["fourCC"], "DXT5");
  EXPECT_EQ(texture.lines[0]["outputs"].size(), 4u);
  const RunResult convert = run({"convert", a, "-o", path("c.dds"), "--format", "DXT1"});
  ASSERT_EQ(convert.status, 0) << convert.errors;
  EXPECT_EQ(keys(convert.lines[0]), sorted(Keys{"file", "outputs", "width", "height", "depth", "levels", "format",
                                          "formatCode", "fourCC", "resourceType"}));
  EXPECT_EQ(convert.lines[0]["outputs"], json::array({path("c.dds")}));
  EXPECT_EQ(convert.lines[0]["fourCC"], "DXT1");
  const RunResult decode = run({"decode", path("c.dds"), "-o", path("c.png")});
  ASSERT_EQ(decode.status, 0) << decode.errors;
  EXPECT_EQ(keys(decode.lines[0]), sorted(Keys{"file", "outputs", "width", "height", "format", "formatCode", "fourCC"}));
  EXPECT_EQ(decode.lines[0]["outputs"], json::array({path("c.png")}));
  const RunResult infoDds = run({"info", path("c.dds")});
  EXPECT_EQ(infoDds.lines[0]["fourCC"], "DXT1");
}

TEST_F(KvtexJson, FailuresAreJsonLinesOnEveryCommand) {
  const std::string bad = write("bad.bmp", std::vector<uint8_t>{'B', 'M', 1, 2});
  for (const std::vector<std::string> &args :
       {std::vector<std::string>{"info", bad}, {"decode", bad, "-o", path("x.png")}, {"texture", bad, "-o", path("x")},
        {"convert", bad, "-o", path("x.dds"), "--format", "DXT1"}}) {
    const RunResult r = run(args);
    EXPECT_EQ(r.status, 1) << args[0];
    ASSERT_EQ(r.lines.size(), 1u) << args[0];
    EXPECT_EQ(r.lines[0]["file"], bad) << args[0];
    EXPECT_NE(r.lines[0].value("error", "").find("truncated at byte 4"), std::string::npos) << r.lines[0];
    EXPECT_EQ(r.lines[0]["code"], "0x88760B59") << args[0];
    EXPECT_NE(r.errors.find(bad + ": "), std::string::npos) << args[0] << ": " << r.errors;
  }
  const RunResult missing = run({"convert", path("none.bmp"), "-o", path("x.dds"), "--format", "DXT1"});
  ASSERT_EQ(missing.lines.size(), 1u);
  EXPECT_EQ(missing.lines[0], (json{{"file", path("none.bmp")}, {"error", "no such file"}}));
}

TEST_F(KvtexJson, FileNamesThatAreNotUtf8AreEscaped) {
  // Latin-1 "é" (0xE9) alone, and a valid UTF-8 "é" beside it.
  const std::string name = std::string("caf\xE9-\xC3\xA9.bmp");
  const std::string file = write(name, bitmap(2, 2, [](uint32_t, uint32_t) { return 0xFF808080u; }));
  const RunResult info = run({"info", file});
  ASSERT_EQ(info.status, 0) << info.errors;
  ASSERT_EQ(info.lines.size(), 1u);
  EXPECT_EQ(info.lines[0]["file"], path("caf\\xE9-\xC3\xA9.bmp"));
  const RunResult decode = run({"decode", file, "-o", path("out") + "/"});
  ASSERT_EQ(decode.status, 0) << decode.errors;
  EXPECT_EQ(decode.lines[0]["outputs"], json::array({path("out/caf\\xE9-\xC3\xA9.bmp.png")}));
  EXPECT_TRUE(fs::exists(path("out/" + name + ".png")));
  const RunResult bad = run({"info", write(std::string("\xFF\xFE.bmp"), {'x'})});
  ASSERT_EQ(bad.lines.size(), 1u);
  EXPECT_EQ(bad.lines[0]["file"], path("\\xFF\\xFE.bmp"));
}

}  // namespace
