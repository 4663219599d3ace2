// Arguments as people expect them: exit status 2 for every usage error, --version, help,
// format names and aliases, and -o for files, folders and standard output.
#include <fstream>
#include <iterator>

#include "kvtex_test_support.h"

namespace {

using namespace kvtex_test;
using nlohmann::json;

std::string readAll(const std::string &file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

using KvtexArguments = KvtexTest;

TEST_F(KvtexArguments, EveryUsageErrorExitsWithTwo) {
  const std::string a = write("a.bmp", bitmap(4, 4, [](uint32_t, uint32_t) { return 0xFF808080u; }));
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"nope"},
      {"convert"},
      {"info", "--bogus", a},
      {"info"},
      {"decode", a},
      {"decode", a, "-o", path("x.png"), "--face", "x"},
      {"decode", a, "-o", path("x.png"), "--level"},
      {"texture", a, "-o", path("p"), "--caps", "weird"},
      {"texture", a, "-o", path("p"), "--width", "wide"},
      {"texture", a, "-o", "-"},
      {"convert", a, "-o", path("x.dds"), "--format", "DXT6"},
      {"convert", a, "-o", path("x.dds"), "--format", "DXT1", "--mips", "--levels", "3"},
      {"convert", a, "-o", path("x.png"), "--format", "DXT1"},
      {"decode", a, "-o", path("x.dds")},
      {"cube", a, a, "-o", path("c.dds")},
      {"help", "nope"},
  };
  for (const auto &args : cases) {
    std::string line;
    for (const std::string &arg : args) line += arg + " ";
    const RunResult r = run(args);
    EXPECT_EQ(r.status, 2) << line << ": " << r.errors;
    EXPECT_FALSE(r.errors.empty()) << line;
  }
  EXPECT_FALSE(fs::exists(path("x.png")));
  EXPECT_FALSE(fs::exists(path("x.dds")));
  const RunResult misspelt = run({"convert", a, "-o", path("x.dds"), "--format", "A8R8G8B7"});
  EXPECT_NE(misspelt.errors.find("did you mean A8R8G8B8"), std::string::npos) << misspelt.errors;
}

TEST_F(KvtexArguments, VersionAndHelpWithExamples) {
  std::string out;
  const RunResult version = run({"--version"}, &out);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(out.rfind("kvtex 1.", 0), 0u) << out;
  for (const char *command :
       {"info", "decode", "texture", "convert", "cube", "volume", "compare", "sheet", "formats", "help"}) {
    const RunResult viaFlag = run({command, "--help"}, &out);
    EXPECT_EQ(viaFlag.status, 0) << command;
    EXPECT_NE(out.find("Examples:\n  kvtex " + std::string(command)), std::string::npos) << command << ":\n" << out;
    std::string viaHelp;
    EXPECT_EQ(run({"help", command}, &viaHelp).status, 0) << command;
    EXPECT_NE(viaHelp.find("Usage: kvtex " + std::string(command)), std::string::npos) << viaHelp;
  }
  EXPECT_EQ(run({"help"}, &out).status, 0);
  EXPECT_NE(out.find("convert"), std::string::npos);
}

TEST_F(KvtexArguments, FormatsListNamesAliasesAndSuggestions) {
  const RunResult all = run({"formats"});
  ASSERT_EQ(all.status, 0) << all.errors;
  EXPECT_EQ(all.lines.size(), 55u);  // the Direct3D 9 formats the tool names
  bool dxt1 = false;
  for (const json &line : all.lines) {
    if (line["format"] == "D3DFMT_DXT1") {
      dxt1 = true;
      EXPECT_EQ(line["fourCC"], "DXT1");
      EXPECT_EQ(line["formatCode"], 0x31545844u);
      EXPECT_EQ(line["aliases"], json::array({"BC1"}));
      EXPECT_EQ(line["dds"], true);
    }
  }
  EXPECT_TRUE(dxt1);

  const RunResult some = run({"formats", "bc3", "BGRA8", "d3dfmt_r5g6b5", "BC5", "DXT6"});
  EXPECT_EQ(some.status, 1);
  ASSERT_EQ(some.lines.size(), 5u);
  EXPECT_EQ(some.lines[0]["format"], "D3DFMT_DXT5");
  EXPECT_EQ(some.lines[1]["format"], "D3DFMT_A8R8G8B8");
  EXPECT_EQ(some.lines[2]["format"], "D3DFMT_R5G6B5");
  EXPECT_EQ(some.lines[3]["error"], "BC5 (ATI2) is not a format the library has");
  EXPECT_NE(some.lines[4]["error"].get<std::string>().find("did you mean DXT1"), std::string::npos);

  // An alias works wherever a format is named.
  const std::string a = write("a.bmp", bitmap(8, 8, [](uint32_t, uint32_t) { return 0xFF808080u; }));
  ASSERT_EQ(run({"convert", a, "-o", path("a.dds"), "--format", "bc3", "--levels", "3"}).status, 0);
  const RunResult info = run({"info", path("a.dds")});
  EXPECT_EQ(info.lines[0]["format"], "D3DFMT_DXT5");
  EXPECT_EQ(info.lines[0]["levels"], 3);
}

TEST_F(KvtexArguments, OutputFoldersAndStandardOutput) {
  const std::string a = write("a.bmp", bitmap(3, 2, [](uint32_t x, uint32_t y) { return 0xFF000000u | x << 16 | y; }));
  // Missing folders are made; a trailing slash names a folder.
  ASSERT_EQ(run({"decode", a, "-o", path("deep/er/a.png")}).status, 0);
  EXPECT_EQ(readPng(path("deep/er/a.png")).width, 3u);
  const RunResult intoFolder = run({"convert", a, "-o", path("dds") + "/", "--format", "DXT1"});
  ASSERT_EQ(intoFolder.status, 0) << intoFolder.errors;
  EXPECT_TRUE(fs::exists(path("dds/a.bmp.dds")));
  EXPECT_EQ(intoFolder.lines[0]["outputs"], json::array({path("dds") + "/a.bmp.dds"}));

  // "-" writes the image to standard output and the JSON line to standard error.
  std::string out;
  const RunResult piped = run({"decode", a, "-o", "-"}, &out);
  ASSERT_EQ(piped.status, 0) << piped.errors;
  EXPECT_EQ(out, readAll(path("deep/er/a.png")));
  EXPECT_NE(piped.errors.find("\"outputs\":[\"-\"]"), std::string::npos) << piped.errors;
  const RunResult dds = run({"convert", a, "-o", "-", "--format", "DXT1"}, &out);
  ASSERT_EQ(dds.status, 0) << dds.errors;
  EXPECT_EQ(out, readAll(path("dds/a.bmp.dds")));
  EXPECT_EQ(run({"decode", a, a, "-o", "-"}).status, 2);
}

}  // namespace
