#include <gtest/gtest.h>

#include "platform/strings.h"
#include "program/command_line.h"
#include "program/command_line_activation.h"
#include "program/exit_status.h"
#include "program/trace_output.h"

namespace {

using Corvane::CommandLine;
using Corvane::ParseCommandLine;
using Corvane::UsageError;
using Words = std::vector<std::string>;
using namespace Windows::ApplicationModel::Activation;

// One line per parse, so a table row shows what it expects.
std::string Describe(const CommandLine& line) {
  switch (line.action) {
    case CommandLine::Action::Help:
      return "help";
    case CommandLine::Action::Version:
      return "version";
    case CommandLine::Action::QueryExports:
    case CommandLine::Action::Run:
      break;
  }
  std::string text;
  if (line.action == CommandLine::Action::QueryExports) {
    text = "query-exports[" + line.exportQuery + "]";
  } else if (line.kind == CommandLine::Kind::Launch) {
    text = "launch[" + line.launchArguments + "]";
  } else if (line.kind == CommandLine::Kind::Protocol) {
    text = "protocol[" + line.protocolUri + "]";
  } else if (line.kind == CommandLine::Kind::File) {
    text = "file[";
    for (std::size_t i = 0; i < line.files.size(); ++i) text += (i ? "|" : "") + line.files[i];
    text += "]";
  } else {
    text = "share-target";
  }
  if (line.packageFolder) text += " package=" + *line.packageFolder;
  if (line.collectorUrl) text += " collector=" + *line.collectorUrl;
  if (line.startupTime) text += " startup=" + std::to_string(line.startupTime->count());
  if (line.framePeriod) text += " frame=" + std::to_string(line.framePeriod->count());
  if (line.outboxFolder) text += " outbox=" + *line.outboxFolder;
  if (line.consent) text += " consent=" + *line.consent;
  if (line.framesFolder) text += " frames=" + *line.framesFolder;
  return text;
}

std::string UsageErrorOf(const Words& words) {
  try {
    return "accepted: " + Describe(ParseCommandLine(words));
  } catch (const UsageError& e) {
    return e.what();
  }
}

TEST(CommandLine, OptionsAreRecognisedAnywhereBeforeTheEndOfOptions) {
  const std::vector<std::pair<Words, std::string>> cases = {
      {{}, "launch[]"},
      {{"-level", "5", "a b", "-"}, "launch[-level 5 a b -]"},
      {{"-level", "5", "--collector", "http://c"}, "launch[-level 5] collector=http://c"},
      {{"--package", "p", "-level", "--collector", "u", "5", "--outbox", "o"},
       "launch[-level 5] package=p collector=u outbox=o"},
      {{"--", "--help", "-h", "--"}, "launch[--help -h --]"},
      {{"-level", "--", "--protocol", "x"}, "launch[-level --protocol x]"},
      {{"--protocol", "corvane://x?y#z", "--package", "p"}, "protocol[corvane://x?y#z] package=p"},
      {{"--file", "C:\\a.txt", "D:\\b c.txt"}, "file[C:\\a.txt|D:\\b c.txt]"},
      {{"--file", "a", "--package", "p", "--file", "-b", "c"}, "file[a|-b|c] package=p"},
      {{"--file"}, "file[]"},
      {{"--file", "--"}, "file[]"},
      {{"--share-target", "--collector", "u"}, "share-target collector=u"},
      {{"--consent", "pending", "-level"}, "launch[-level] consent=pending"},
      {{"--collector", "u", "--consent", "denied"}, "launch[] collector=u consent=denied"},
      {{"--startup-ms", "0", "-level", "--frame-ms", "60000"},
       "launch[-level] startup=0 frame=60000"},
      {{"--frame-ms", "007"}, "launch[] frame=7"},
      {{"-level", "--frames", "out/run 1", "5"}, "launch[-level 5] frames=out/run 1"},
      {{"--query-exports", ""}, "query-exports[]"},
      {{"--package", "p", "--query-exports", "Corvane.MainPage"},
       "query-exports[Corvane.MainPage] package=p"},
      {{"--help"}, "help"},
      {{"-level", "-h", "--bogus"}, "help"},
      {{"--version", "--protocol"}, "version"},
  };
  for (const auto& [words, expected] : cases) {
    EXPECT_EQ(UsageErrorOf(words), "accepted: " + expected) << ::testing::PrintToString(words);
  }
}

TEST(CommandLine, UsageErrorsNameTheWordAtFault) {
  const std::vector<std::pair<Words, std::string>> cases = {
      {{"--bogus"},
       "unknown option --bogus (to hand it to the game as a launch argument, put it after "
       "\"--\": corvane -- --bogus)"},
      {{"-level", "5", "--levle"}, "unknown option --levle"},
      {{"--bogus", "--help"}, "unknown option --bogus"},
      {{"--package"}, "--package needs DIR"},
      {{"--collector", "--package", "p"}, "--collector needs URL"},
      {{"--protocol"}, "--protocol needs URI"},
      {{"--query-exports"}, "--query-exports needs CLASSID"},
      {{"--package", "a", "--package", "b"}, "--package given twice"},
      {{"--startup-ms"}, "--startup-ms needs N"},
      {{"--startup-ms", "-1"}, "--startup-ms needs a whole number of milliseconds"},
      {{"--startup-ms", "1.5"}, "from 0 to 60000, not \"1.5\""},
      {{"--frame-ms", "60001"}, "--frame-ms needs a whole number"},
      {{"--frame-ms", "99999999999999999999"}, "--frame-ms needs a whole number"},
      {{"--frame-ms", ""}, "--frame-ms needs a whole number"},
      {{"--frame-ms", "1", "--frame-ms", "2"}, "--frame-ms given twice"},
      {{"--consent", "yes"}, "--consent needs given, denied or pending, not \"yes\""},
      {{"--consent", "Given"}, "--consent needs given, denied or pending"},
      {{"--consent"}, "--consent needs STATE"},
      {{"--protocol", "a:b", "c"},
       "launch argument \"c\" cannot be combined with --protocol: one activation per run"},
      {{"-level", "--protocol", "a:b"},
       "--protocol cannot be combined with launch argument \"-level\""},
      {{"--file", "a", "--protocol", "b:c"}, "--protocol cannot be combined with --file"},
      {{"--share-target", "--file"}, "--file cannot be combined with --share-target"},
      {{"--share-target", "x"}, "launch argument \"x\" cannot be combined with --share-target"},
      {{"--file", "a", "--", "b"}, "launch argument \"b\" cannot be combined with --file"},
      {{"--query-exports", "X", "-level"},
       "--query-exports starts no application: it cannot be combined with launch argument "
       "\"-level\""},
      {{"--protocol", "a:b", "--query-exports", "X"}, "cannot be combined with --protocol"},
  };
  for (const auto& [words, expected] : cases) {
    const std::string message = UsageErrorOf(words);
    EXPECT_NE(message.find(expected), std::string::npos)
        << ::testing::PrintToString(words) << ": " << message;
  }
}

TEST(CommandLine, MakesTheActivationWithASplashScreen) {
  auto launch = Corvane::ActivationFor(ParseCommandLine({"caf\xC3\xA9"}));
  EXPECT_EQ(Platform::safe_cast<LaunchActivatedEventArgs>(launch)->Arguments(), u"caf\u00E9");
  EXPECT_NE(launch->SplashScreen(), nullptr);
  auto protocol = Platform::safe_cast<ProtocolActivatedEventArgs>(
      Corvane::ActivationFor(ParseCommandLine({"--protocol", "corvane://x"})));
  EXPECT_EQ(protocol->Uri()->AbsoluteUri(), u"corvane://x/");
  auto files = Platform::safe_cast<FileActivatedEventArgs>(
      Corvane::ActivationFor(ParseCommandLine({"--file", "a", "b"})));
  EXPECT_EQ(files->Files()->Size(), 2u);
  EXPECT_EQ(files->Files()->GetAt(1)->Path(), u"b");
  auto share = Corvane::ActivationFor(ParseCommandLine({"--share-target"}));
  EXPECT_EQ(share->Kind(), ActivationKind::ShareTarget);
  EXPECT_EQ(share->SplashScreen(), nullptr);
  for (const char* text : {"no uri", ":x", "1a:b", ""}) {
    try {
      Corvane::ActivationFor(ParseCommandLine({"--protocol", text}));
      ADD_FAILURE() << text;
    } catch (const UsageError& e) {
      EXPECT_EQ(e.what(), "--protocol: \"" + std::string(text) + "\" is not an absolute URI");
    }
  }
}

TEST(CommandLine, TheUsageTextListsEveryExitStatus) {
  const std::string text = Corvane::UsageText();
  const auto listing = text.substr(text.find("\nExit status:\n"));
  for (const auto& status : Corvane::kExitStatuses) {
    EXPECT_NE(listing.find("\n  " + std::string(status.label) + " "), std::string::npos)
        << status.label;
  }
}

// By the connection the page made, whatever the elements' names.
TEST(TraceOutput, ConnectedSplashElementsAreReportedUnderTheirOwnEvents) {
  using Event = Platform::Trace::Event;
  auto image = Corvane::PresentTraceEvent(Event{{"event", "element.arranged"},
                                                {"ms", 1.5},
                                                {"thread", "ui"},
                                                {"element", "logo"},
                                                {"connection", 4},
                                                {"x", 330.0},
                                                {"y", 210.0},
                                                {"width", 620.0},
                                                {"height", 300.0}});
  EXPECT_EQ(
      Platform::Trace::Format(image),
      R"({"event":"splash.image","ms":1.5,"thread":"ui","x":330.0,"y":210.0,"width":620.0,"height":300.0})");
  auto color = Corvane::PresentTraceEvent(Event{{"event", "panel.background"},
                                                {"element", "Windows.UI.Xaml.Controls.Canvas"},
                                                {"connection", 3},
                                                {"color", "#FF202020"}});
  EXPECT_EQ(Platform::Trace::Format(color), R"({"event":"splash.background","color":"#FF202020"})");
  auto removed = Corvane::PresentTraceEvent(Event{{"event", "panel.childremoved"},
                                                  {"panel", "renderPanel"},
                                                  {"element", "box"},
                                                  {"connection", 3}});
  EXPECT_EQ(Platform::Trace::Format(removed), R"({"event":"splash.removed"})");
  for (const Event& other :
       {Event{{"event", "panel.childremoved"}, {"panel", "p"}, {"element", "splashContainer"}},
        Event{{"event", "element.arranged"}, {"element", "splashImage"}, {"connection", 2}}}) {
    EXPECT_EQ(Corvane::PresentTraceEvent(other), other);
  }
}

}  // namespace
