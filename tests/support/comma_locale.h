// A numeric locale that writes decimal commas, for the tests of the readers' "C" locale
// switch. Machines often have only C and POSIX installed, so when no such locale is there
// one is compiled from the system's locale sources (localedef, Debian package `locales`)
// into a folder of this process's own and found through LOCPATH. A test that needs it fails
// when neither works: a skipped test would hide that the switch is never exercised.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace kvtest {

namespace comma_locale_detail {

// Switches LC_NUMERIC to the first installed locale with a decimal comma.
inline bool selectInstalled() {
  for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de-DE"})
    if (std::setlocale(LC_NUMERIC, name)) return true;
  return false;
}

#ifdef _WIN32
// Windows carries every locale; there is nothing to compile.
inline bool compileIntoTemporaryFolder(std::string &why) {
  why = "setlocale refused de-DE";
  return false;
}
#else
// Removes the compiled locale when the process ends.
struct CompiledLocaleFolder {
  std::filesystem::path path;
  ~CompiledLocaleFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

// Compiles de_DE.UTF-8 into a temporary folder and points LOCPATH at it; the reason for a
// failure goes to `why`.
inline bool compileIntoTemporaryFolder(std::string &why) {
  static CompiledLocaleFolder folder;
  static std::string failure;
  static const bool compiled = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvtest-locale-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
      failure = "cannot make a temporary folder";
      return false;
    }
    folder.path = pattern;
    const std::string command = "localedef -i de_DE -f UTF-8 '" + pattern + "/de_DE.UTF-8' 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) {
      failure = "cannot run localedef";
      return false;
    }
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    const int status = pclose(pipe);
    if (status != 0 || !std::filesystem::exists(pattern + "/de_DE.UTF-8")) {
      failure = "localedef -i de_DE -f UTF-8 failed (Debian package locales): " + output;
      return false;
    }
    setenv("LOCPATH", pattern.c_str(), 1);
    return true;
  }();
  why = failure;
  return compiled;
}
#endif

}  // namespace comma_locale_detail

// Switches LC_NUMERIC to a decimal-comma locale; on failure says why in `why`.
inline bool selectCommaLocale(std::string &why) {
  if (comma_locale_detail::selectInstalled()) return true;
  if (!comma_locale_detail::compileIntoTemporaryFolder(why)) return false;
  if (comma_locale_detail::selectInstalled()) return true;
  why = "the compiled de_DE.UTF-8 locale was not accepted by setlocale";
  return false;
}

// A fixture that runs each test with a decimal-comma LC_NUMERIC and puts the caller's back.
class CommaLocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    before_ = std::setlocale(LC_NUMERIC, nullptr);
    std::string why;
    ASSERT_TRUE(selectCommaLocale(why)) << "no locale with a decimal comma: " << why;
    active_ = std::setlocale(LC_NUMERIC, nullptr);
    char text[8];
    std::snprintf(text, sizeof text, "%.1f", 1.5);
    ASSERT_STREQ(text, "1,5") << "the locale " << active_ << " writes no decimal comma";
  }
  void TearDown() override { std::setlocale(LC_NUMERIC, before_.c_str()); }

  std::string before_, active_;
};

}  // namespace kvtest
