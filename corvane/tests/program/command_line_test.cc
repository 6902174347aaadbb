#include <gtest/gtest.h>

#include "platform/strings.h"
#include "program/command_line.h"
#include "program/command_line_activation.h"
#include "program/trace_output.h"

namespace {

using Corvane::CommandLine;
using Corvane::ParseCommandLine;
using Kind = CommandLine::Kind;
using namespace Windows::ApplicationModel::Activation;

TEST(CommandLine, ParsesOneActivationPerRun) {
  std::string error;
  auto launch = ParseCommandLine({}, error);
  ASSERT_TRUE(launch);
  EXPECT_EQ(launch->kind, Kind::Launch);
  EXPECT_EQ(launch->launchArguments, "");
  EXPECT_FALSE(launch->packageFolder);

  auto words = ParseCommandLine({"--package", "pkg", "-level", "5", "a b"}, error);
  EXPECT_EQ(*words->packageFolder, "pkg");
  EXPECT_EQ(words->launchArguments, "-level 5 a b");
  EXPECT_EQ(ParseCommandLine({"--", "--protocol", "x"}, error)->launchArguments, "--protocol x");
  auto options =
      ParseCommandLine({"--collector", "http://127.0.0.1:8765", "--package", "pkg", "x"}, error);
  EXPECT_EQ(*options->collectorUrl, "http://127.0.0.1:8765");
  EXPECT_EQ(*options->packageFolder, "pkg");
  EXPECT_EQ(options->launchArguments, "x");
  EXPECT_FALSE(launch->collectorUrl);

  auto protocol = ParseCommandLine({"--protocol", "corvane://x?y#z"}, error);
  EXPECT_EQ(protocol->kind, Kind::Protocol);
  EXPECT_EQ(protocol->protocolUri, "corvane://x?y#z");

  auto files = ParseCommandLine({"--file", "C:\\a.txt", "D:\\b c.txt"}, error);
  EXPECT_EQ(files->kind, Kind::File);
  EXPECT_EQ(files->files, (std::vector<std::string>{"C:\\a.txt", "D:\\b c.txt"}));
  EXPECT_TRUE(ParseCommandLine({"--file"}, error)->files.empty());
  EXPECT_EQ(ParseCommandLine({"--share-target"}, error)->kind, Kind::ShareTarget);

  for (auto bad : std::vector<std::vector<std::string>>{{"--package"},
                                                        {"--collector"},
                                                        {"--package", "p", "--collector"},
                                                        {"--protocol"},
                                                        {"--protocol", "a:b", "c"},
                                                        {"--share-target", "x"}}) {
    error.clear();
    EXPECT_FALSE(ParseCommandLine(bad, error)) << bad[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(CommandLine, MakesTheActivationWithASplashScreen) {
  std::string error;
  auto launch = Corvane::ActivationFor(*ParseCommandLine({"caf\xC3\xA9"}, error));
  EXPECT_EQ(Platform::safe_cast<LaunchActivatedEventArgs>(launch)->Arguments(), u"caf\u00E9");
  EXPECT_NE(launch->SplashScreen(), nullptr);
  auto protocol = Platform::safe_cast<ProtocolActivatedEventArgs>(
      Corvane::ActivationFor(*ParseCommandLine({"--protocol", "corvane://x"}, error)));
  EXPECT_EQ(protocol->Uri()->AbsoluteUri(), u"corvane://x/");
  auto files = Platform::safe_cast<FileActivatedEventArgs>(
      Corvane::ActivationFor(*ParseCommandLine({"--file", "a", "b"}, error)));
  EXPECT_EQ(files->Files()->Size(), 2u);
  EXPECT_EQ(files->Files()->GetAt(1)->Path(), u"b");
  auto share = Corvane::ActivationFor(*ParseCommandLine({"--share-target"}, error));
  EXPECT_EQ(share->Kind(), ActivationKind::ShareTarget);
  EXPECT_EQ(share->SplashScreen(), nullptr);
  EXPECT_THROW(Corvane::ActivationFor(*ParseCommandLine({"--protocol", "no uri"}, error)),
               Platform::InvalidArgumentException);
}

TEST(TraceOutput, SplashElementsAreReportedUnderTheirOwnEvents) {
  using Event = Platform::Trace::Event;
  auto image = Corvane::PresentTraceEvent(Event{{"event", "element.arranged"},
                                                {"element", "splashImage"},
                                                {"x", 330.0},
                                                {"y", 210.0},
                                                {"width", 620.0},
                                                {"height", 300.0}});
  EXPECT_EQ(Platform::Trace::Format(image),
            R"({"event":"splash.image","x":330.0,"y":210.0,"width":620.0,"height":300.0})");
  auto color = Corvane::PresentTraceEvent(
      Event{{"event", "panel.background"}, {"element", "splashContainer"}, {"color", "#FF202020"}});
  EXPECT_EQ(Platform::Trace::Format(color), R"({"event":"splash.background","color":"#FF202020"})");
  auto removed = Corvane::PresentTraceEvent(Event{
      {"event", "panel.childremoved"}, {"panel", "renderPanel"}, {"element", "splashContainer"}});
  EXPECT_EQ(Platform::Trace::Format(removed), R"({"event":"splash.removed"})");
  const Event other{{"event", "panel.childremoved"}, {"panel", "p"}, {"element", "other"}};
  EXPECT_EQ(Corvane::PresentTraceEvent(other), other);
}

}  // namespace
