#include "page/manifest_splash_color.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui_element.h"
#include "platform/win32_file.h"
#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using Corvane::SplashColor;

// One readable word for every outcome, so a table row shows what it expects.
std::string Outcome(const std::function<std::optional<SplashColor>()>& read) {
  try {
    std::optional<SplashColor> color = read();
    if (!color) return "none";
    Windows::UI::Color argb = Corvane::ToPlatformColor(*color);
    char text[32];
    std::snprintf(text, sizeof text, "%s#%02X%02X%02X%02X",
                  color->transparent ? "transparent " : "", argb.A, argb.R, argb.G, argb.B);
    return text;
  } catch (const std::invalid_argument& e) {
    return std::string("invalid_argument: ") + e.what();
  } catch (const std::out_of_range& e) {
    return std::string("out_of_range: ") + e.what();
  }
}

std::string SplashElement(const std::string& value) {
  return "<uap:SplashScreen Image=\"Assets\\SplashScreen.png\" BackgroundColor=\"" + value +
         "\" />";
}

constexpr const char* kInvalid = "invalid_argument: invalid stoi argument";
constexpr const char* kOutOfRange = "out_of_range: stoi argument out of range";

TEST(SplashColorValue, WorkedValues) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"#FF8000", "#FFFF8000"},
      {"#000000", "#FF000000"},
      {"transparent", "transparent #00000000"},
      {"#7F112233", "#FF112233"},
      {"#80FF8000", kOutOfRange},
      {"#FFF", "#FF000FFF"},
      {"#12G4", "#FF000012"},
      {"# FF8000", "#FFFF8000"},
      {"#-1", "#FFFFFFFF"},
      {"#", kInvalid},
      {"#XYZ", kInvalid},
      {"Transparent", "none"},
      {"white", "none"},
      {"", "none"},
      {" #FF8000", "none"},
      // The 32-bit range holds even where a long is 64 bits wide.
      {"#7FFFFFFF", "#FFFFFFFF"},
      {"#FFFFFFFF", kOutOfRange},
      {"#-80000000", "#FF000000"},
      {"#-80000001", kOutOfRange},
      {"#-FFFFFFFF", kOutOfRange},
      {"#123456789ABCDEF01", kOutOfRange},
      // What strtol accepts besides digits: white space, a sign, a 0x prefix.
      {"#\t+0x1E3A5F", "#FF1E3A5F"},
      {"#0X1e3a5f trailing", "#FF1E3A5F"},
      {"#-", kInvalid},
      {"# ", kInvalid},
      {"#+-1", kInvalid},
      {" transparent", "none"},
      {"transparent ", "none"},
  };
  for (const auto& [value, expected] : cases) {
    SCOPED_TRACE("value: \"" + value + "\"");
    EXPECT_EQ(Outcome([&] { return Corvane::ParseSplashColorValue(value); }), expected);
    EXPECT_EQ(Outcome([&] { return Corvane::SplashColorFromManifestText(SplashElement(value)); }),
              expected);
  }
}

TEST(SplashColorValue, ParsesOnlyTheBytesBetweenTheQuotes) {
  // The digits after the closing quote must not reach the conversion.
  std::string manifest = "<SplashScreen BackgroundColor=\"#12\"3456\"";
  EXPECT_EQ(Corvane::FindSplashColorValue(manifest), std::optional<std::string_view>("#12"));
  EXPECT_EQ(Outcome([&] { return Corvane::SplashColorFromManifestText(manifest); }), "#FF000012");

  std::string_view slice = std::string_view("#ABCDEF").substr(0, 3);
  EXPECT_EQ(Outcome([&] { return Corvane::ParseSplashColorValue(slice); }), "#FF0000AB");
}

// Runs ReadManifestSplashColor in a fresh scratch folder that is the current
// folder, as the package folder is for the running host.
class ManifestFile : public ::testing::Test {
 protected:
  void SetUp() override { handlesBefore_ = Win32FileTestHooks::OpenFileHandleCount(); }
  void TearDown() override {
    EXPECT_EQ(Win32FileTestHooks::OpenFileHandleCount(), handlesBefore_) << "a file stayed open";
  }

  void WriteManifest(const std::string& bytes) { folder_.Write("AppxManifest.xml", bytes); }

  std::string ReadOutcome() { return Outcome(Corvane::ReadManifestSplashColor); }

  CorvaneTest::ScratchFolder folder_;
  CorvaneTest::CurrentFolder current_{folder_.Path()};
  std::size_t handlesBefore_ = 0;
};

std::string Utf16Le(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

TEST_F(ManifestFile, FindsTheColourAfterTheFirstSplashScreen) {
  const std::string full =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Package>\n"
      "  <uap:VisualElements DisplayName=\"Game\" BackgroundColor=\"transparent\">\n"
      "    <uap:SplashScreen Image=\"Assets\\SplashScreen.png\" BackgroundColor=\"#1E3A5F\" />\n"
      "  </uap:VisualElements>\n</Package>\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {full, "#FF1E3A5F"},
      {"", "none"},
      {"<Tile BackgroundColor=\"#112233\"/><SplashScreen Image=\"s.png\"/>", "none"},
      {"<Tile BackgroundColor=\"#112233\"/><SplashScreen BackgroundColor=\"#445566\"/>",
       "#FF445566"},
      {"<SplashScreen Image=\"s.png\"/><Other BackgroundColor=\"#ABCDEF\"/>", "#FFABCDEF"},
      {"<MySplashScreenElement BackgroundColor=\"#010203\"/>", "#FF010203"},
      {"<SplashScreen BackgroundColor='#FF0000' Image=\"#00FF00\"/>", "#FF00FF00"},
      {"<SplashScreen BackgroundColor='#FF0000'/>", "none"},
      {"<SplashScreen BackgroundColor='#FF0000' Image=\"s.png/>", "none"},
      {"<SplashScreen BackgroundColor=\"", "none"},
      {"<SplashScreen BackgroundColor=\"#FF0000", "none"},
      {"<SplashScreen BackgroundColor=\"\"/>", "none"},
      {"<SplashScreen BackgroundColor=\"#FF8000 \"/>", "#FFFF8000"},
      {"<SplashScreen backgroundcolor=\"#FF8000\"/>", "none"},
      {"<SplashScreen BackgroundColor=\"#80FF8000\"/>", kOutOfRange},
      {"<SplashScreen BackgroundColor=\"#XYZ\"/>", kInvalid},
      {Utf16Le(full), "none"},
  };
  for (const auto& [bytes, expected] : cases) {
    SCOPED_TRACE("manifest: " + bytes);
    WriteManifest(bytes);
    EXPECT_EQ(ReadOutcome(), expected);
    EXPECT_EQ(Win32FileTestHooks::OpenFileHandleCount(), handlesBefore_);
  }
}

TEST_F(ManifestFile, UnreadableManifestGivesNoColour) {
  EXPECT_EQ(ReadOutcome(), "none") << "missing file";

  fs::create_directory(folder_.Path() / "AppxManifest.xml");
  EXPECT_EQ(ReadOutcome(), "none") << "a folder of that name";
  fs::remove(folder_.Path() / "AppxManifest.xml");

  WriteManifest(SplashElement("#FF8000"));
  {
    Win32FileTestHooks::ScopedReadFileLimit shortRead(10);
    EXPECT_EQ(ReadOutcome(), "none") << "a read shorter than the file";
  }
  EXPECT_EQ(ReadOutcome(), "#FFFF8000") << "the same file read completely";
}

TEST_F(ManifestFile, ParseFailureClosesTheFile) {
  WriteManifest(SplashElement("#XYZ"));
  EXPECT_THROW(Corvane::ReadManifestSplashColor(), std::invalid_argument);
  EXPECT_EQ(Win32FileTestHooks::OpenFileHandleCount(), handlesBefore_);
  WriteManifest(SplashElement("#80FF8000"));
  EXPECT_THROW(Corvane::ReadManifestSplashColor(), std::out_of_range);
  EXPECT_EQ(Win32FileTestHooks::OpenFileHandleCount(), handlesBefore_);
}

TEST(SamplePackages, ManifestsGiveTheirSplashColour) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {CORVANE_SOURCE_DIR "/package", "#FF1E3A5F"},
      {CORVANE_SOURCE_DIR "/tests/packages/no_color", "none"},
  };
  for (const auto& [folder, expected] : cases) {
    SCOPED_TRACE(folder);
    CorvaneTest::CurrentFolder current(folder);
    EXPECT_EQ(Outcome(Corvane::ReadManifestSplashColor), expected);
  }
}

}  // namespace
