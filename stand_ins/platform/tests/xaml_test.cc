#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/controls.h"
#include "platform/markup.h"
#include "platform/page.h"
#include "platform/window.h"
#include "stand_in_test_support.h"

namespace {

using namespace Windows::UI::Xaml;
using namespace Windows::UI::Xaml::Controls;
using Windows::UI::Xaml::Interop::TypeName;

// A page that records its navigations and connections.
class TestPage : public Page, public virtual Markup::IComponentConnector {
 public:
  std::vector<Platform::ObjectRef> parameters;
  std::map<int, Platform::ObjectRef> connected;
  void Connect(int id, Platform::ObjectRef target) override { connected[id] = target; }

 protected:
  void OnNavigatedTo(std::shared_ptr<Navigation::NavigationEventArgs> args) override {
    parameters.push_back(args->Parameter());
  }
};

// A page type record that counts activations.
class TestPageType : public Markup::IXamlType {
 public:
  int activations = 0;
  Navigation::NavigationCacheMode mode = Navigation::NavigationCacheMode::Disabled;
  std::shared_ptr<IXamlType> BaseType() override { return nullptr; }
  std::shared_ptr<Markup::IXamlMember> ContentProperty() override { return nullptr; }
  Platform::String FullName() override { return u"Test.Page"; }
  bool IsArray() override { return false; }
  bool IsCollection() override { return false; }
  bool IsConstructible() override { return true; }
  bool IsDictionary() override { return false; }
  bool IsMarkupExtension() override { return false; }
  bool IsBindable() override { return false; }
  std::shared_ptr<IXamlType> ItemType() override { return nullptr; }
  std::shared_ptr<IXamlType> KeyType() override { return nullptr; }
  TypeName UnderlyingType() override { return {FullName(), Interop::TypeKind::Custom}; }
  Platform::ObjectRef ActivateInstance() override {
    ++activations;
    auto page = Platform::ref_new<TestPage>();
    page->NavigationCacheMode(mode);
    return page;
  }
  Platform::ObjectRef CreateFromString(const Platform::String&) override { return nullptr; }
  std::shared_ptr<Markup::IXamlMember> GetMember(const Platform::String&) override {
    return nullptr;
  }
  void AddToVector(const Platform::ObjectRef&, const Platform::ObjectRef&) override {}
  void AddToMap(const Platform::ObjectRef&, const Platform::ObjectRef&,
                const Platform::ObjectRef&) override {}
  void RunInitializer() override {}
};

class ProviderApp : public Application, public virtual Markup::IXamlMetadataProvider {
 public:
  std::shared_ptr<TestPageType> pageType = Platform::ref_new<TestPageType>();
  std::shared_ptr<Markup::IXamlType> GetXamlType(const TypeName& type) override {
    return GetXamlType(type.Name);
  }
  std::shared_ptr<Markup::IXamlType> GetXamlType(const Platform::String& name) override {
    return name == u"Test.Page" ? pageType : nullptr;
  }
  std::vector<Markup::XmlnsDefinition> GetXmlnsDefinitions() override { return {}; }
};

class Xaml : public StandInTest::Fixture {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("platform_xaml_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    Platform::StandIn::SetPackageFolder(folder_.string());
  }
  void TearDown() override {
    StandInTest::Fixture::TearDown();
    std::filesystem::remove_all(folder_);
  }
  void WriteMarkup(const std::string& name, const std::string& text) {
    std::ofstream(folder_ / name) << text;
  }
  static std::shared_ptr<Windows::Foundation::Uri> AppUri(const char16_t* path) {
    return Platform::ref_new<Windows::Foundation::Uri>(Platform::String(u"ms-appx:///") + path);
  }
  std::filesystem::path folder_;
};

const char* kSampleMarkup =
    R"(<Page x:Class="Test.Page" xmlns="http://schemas.microsoft.com/winfx/2006/xaml/presentation" xmlns:x="http://schemas.microsoft.com/winfx/2006/xaml">
  <SwapChainPanel x:Name="renderPanel" x:ConnectionId="2">
    <Canvas x:Name="splashContainer" x:ConnectionId="3" Background="#FF202020">
      <Image x:Name="splashImage" x:ConnectionId="4" Source="ms-appx:///Assets/SplashScreen.png" Width="620" Height="300"/>
    </Canvas>
    <Grid Background="#123456" Canvas.Left="7"/>
  </SwapChainPanel>
</Page>)";

TEST_F(Xaml, FrameNavigatesThroughTheApplicationsProviderAndCachesRequiredPages) {
  auto app = StartApp<ProviderApp>();
  auto frame = Platform::ref_new<Frame>();
  EXPECT_FALSE(frame->Navigate(TypeName{u"Test.Unknown", Interop::TypeKind::Custom}));
  EXPECT_EQ(frame->Content(), nullptr);

  EXPECT_TRUE(frame->Navigate(TypeName{u"Test.Page", Interop::TypeKind::Custom}));
  auto first = Platform::safe_cast<TestPage>(frame->Content());
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(first->parameters.size(), 1u);
  EXPECT_EQ(first->parameters[0], nullptr);

  app->pageType->mode = Navigation::NavigationCacheMode::Required;
  auto parameter = Platform::ref_new<Windows::ApplicationModel::Activation::SplashScreen>();
  frame->Navigate(TypeName{u"Test.Page", Interop::TypeKind::Custom}, parameter);
  auto second = Platform::safe_cast<TestPage>(frame->Content());
  EXPECT_NE(second, first) << "a page without caching is not reused";
  EXPECT_EQ(second->parameters.at(0), parameter);
  frame->Navigate(TypeName{u"Test.Page", Interop::TypeKind::Custom});
  EXPECT_EQ(frame->Content(), second) << "a Required page is reused";
  EXPECT_EQ(app->pageType->activations, 2);
  EXPECT_EQ(Platform::Trace::EventsNamed("frame.navigated").size(), 3u);
  EXPECT_EQ(Platform::Trace::EventsNamed("frame.navigated")[0]["page"], "Test.Page");
}

TEST_F(Xaml, LoadComponentBuildsTheTreeAndConnectsEveryConnectionId) {
  WriteMarkup("Main.xaml", kSampleMarkup);
  StartApp();
  auto page = Platform::ref_new<TestPage>();
  Application::LoadComponent(page, AppUri(u"Main.xaml"));

  auto panel = Platform::safe_cast<SwapChainPanel>(page->Content());
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->Name(), u"renderPanel");
  ASSERT_EQ(panel->Children()->Size(), 2u);
  auto container = Platform::safe_cast<Canvas>(panel->Children()->GetAt(0));
  auto brush = Platform::safe_cast<Media::SolidColorBrush>(container->Background());
  EXPECT_EQ(FormatColor(brush->Color()), "#FF202020");
  auto image = Platform::safe_cast<Image>(container->Children()->GetAt(0));
  EXPECT_EQ(image->Source(), u"ms-appx:///Assets/SplashScreen.png");
  EXPECT_EQ(image->Width(), 620);
  EXPECT_EQ(image->Height(), 300);
  auto grid = Platform::safe_cast<Grid>(panel->Children()->GetAt(1));
  EXPECT_EQ(FormatColor(Platform::safe_cast<Media::SolidColorBrush>(grid->Background())->Color()),
            "#FF123456");
  EXPECT_EQ(Canvas::GetLeft(grid), 7);

  EXPECT_EQ(page->connected.size(), 3u);
  EXPECT_EQ(page->connected[2], panel);
  EXPECT_EQ(page->connected[3], container);
  EXPECT_EQ(page->connected[4], image);
  EXPECT_EQ(image->ConnectionId(), 4);
  EXPECT_EQ(grid->ConnectionId(), 0);
  Platform::StandIn::RunUntilIdle();
  EXPECT_TRUE(EventNames().empty()) << "building the markup tree is not a change the host made";
}

TEST_F(Xaml, LoadComponentFailsClearlyOnMissingOrBadMarkup) {
  StartApp();
  WriteMarkup("Broken.xaml", "<Page><SwapChainPanel></Page>");
  WriteMarkup("Unknown.xaml", "<Page><Button/></Page>");
  WriteMarkup("BadColor.xaml", "<Page><Canvas Background=\"red\"/></Page>");
  WriteMarkup("TwoRoots.xaml", "<Page><Canvas/><Canvas/></Page>");
  WriteMarkup("NotPanel.xaml", "<Page><Image><Image/></Image></Page>");
  const auto nested = [](int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) open += "<Grid>", close += "</Grid>";
    return "<Page>" + open + close + "</Page>";
  };
  WriteMarkup("Deepest.xaml", nested(Application::kMaxMarkupDepth));
  Application::LoadComponent(Platform::ref_new<TestPage>(), AppUri(u"Deepest.xaml"));
  WriteMarkup("TooDeep.xaml", nested(Application::kMaxMarkupDepth + 1));
  std::filesystem::create_directory(folder_ / "Folder.xaml");
  ASSERT_EQ(mkfifo((folder_ / "Fifo.xaml").c_str(), 0600), 0);
  const std::vector<std::pair<const char16_t*, std::string>> cases = {
      {u"Missing.xaml", "cannot read markup ms-appx:///Missing.xaml"},
      {u"Broken.xaml", "ms-appx:///Broken.xaml: "},
      {u"Unknown.xaml", "unknown element <Button>"},
      {u"BadColor.xaml", "colour must be"},
      {u"TwoRoots.xaml", "exactly one element"},
      {u"NotPanel.xaml", "cannot hold child elements"},
      {u"TooDeep.xaml", "elements nested deeper than 256 levels"},
      {u"Folder.xaml", "Folder.xaml): a folder, not a file"},
      {u"Fifo.xaml", "Fifo.xaml): not a regular file"},
  };
  for (auto& [file, message] : cases) {
    try {
      Application::LoadComponent(Platform::ref_new<TestPage>(), AppUri(file));
      ADD_FAILURE() << message;
    } catch (const Platform::Exception& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
      EXPECT_TRUE(FAILED(e.HResult()));
    }
  }
}

TEST_F(Xaml, PanelChildrenAndBrushChangesAreRecorded) {
  StartApp();
  auto panel = Platform::ref_new<Canvas>();
  panel->Name(u"box");
  auto a = Platform::ref_new<Image>();
  a->Name(u"a");
  auto b = Platform::ref_new<Grid>();
  panel->Children()->Append(a);
  panel->Children()->Append(b);
  EXPECT_THROW(Platform::ref_new<Grid>()->Children()->Append(a), Platform::InvalidArgumentException)
      << "an element has one parent";
  unsigned index = 99;
  EXPECT_TRUE(panel->Children()->IndexOf(b, index));
  EXPECT_EQ(index, 1u);
  EXPECT_FALSE(panel->Children()->IndexOf(Platform::ref_new<Grid>(), index));
  panel->Children()->RemoveAt(0);
  EXPECT_EQ(a->Parent(), nullptr);
  EXPECT_EQ(panel->Children()->Size(), 1u);
  EXPECT_FALSE(panel->Children()->IndexOf(a, index));
  EXPECT_THROW(panel->Children()->RemoveAt(1), Platform::OutOfBoundsException);
  panel->Background(
      Platform::ref_new<Media::SolidColorBrush>(Windows::UI::Color{0x00, 0xAB, 0x0C, 0xFF}));

  auto removed = Platform::Trace::EventsNamed("panel.childremoved");
  ASSERT_EQ(removed.size(), 1u);
  EXPECT_EQ(removed[0]["panel"], "box");
  EXPECT_EQ(removed[0]["element"], "a");
  EXPECT_EQ(Platform::Trace::EventsNamed("panel.childadded").size(), 2u);
  EXPECT_EQ(Platform::Trace::EventsNamed("panel.background").at(0)["color"], "#00AB0CFF");
}

TEST_F(Xaml, LayoutIsReportedOncePerHandlerWithSingleOrDoubleOffsets) {
  StartApp();
  auto image = Platform::ref_new<Image>();
  image->Name(u"picture");
  image->ConnectionId(4);
  auto dispatcher = Window::Current()->CoreWindow()->Dispatcher();
  dispatcher->RunAsync(Windows::UI::Core::CoreDispatcherPriority::Normal, [&] {
    image->SetValue(Canvas::LeftProperty(), Windows::Foundation::Box(330.5f));
    image->SetValue(Canvas::TopProperty(), Windows::Foundation::Box(210.0));
    image->Height(300);
    image->Width(620);
  });
  dispatcher->RunAsync(Windows::UI::Core::CoreDispatcherPriority::Normal, [] {});
  dispatcher->RunAsync(Windows::UI::Core::CoreDispatcherPriority::Normal, [&] { image->Width(1); });
  Platform::StandIn::RunUntilIdle();
  auto arranged = Platform::Trace::EventsNamed("element.arranged");
  ASSERT_EQ(arranged.size(), 2u) << "once per handler that changed it";
  EXPECT_EQ(arranged[0]["element"], "picture");
  EXPECT_EQ(arranged[0]["connection"], 4);
  EXPECT_EQ(arranged[1]["width"], 1.0);
  EXPECT_EQ(arranged[0]["x"], 330.5);
  EXPECT_EQ(arranged[0]["y"], 210.0);
  EXPECT_EQ(arranged[0]["width"], 620.0);
  EXPECT_EQ(arranged[0]["height"], 300.0);
}

TEST_F(Xaml, WindowResizeMovesTheSplashImageLocationAndRaisesSizeChanged) {
  StartApp();
  auto splash = Platform::ref_new<Windows::ApplicationModel::Activation::SplashScreen>();
  auto location = splash->ImageLocation();
  EXPECT_EQ(location.X, 330);
  EXPECT_EQ(location.Y, 210);
  EXPECT_EQ(location.Width, 620);
  EXPECT_EQ(location.Height, 300);
  std::vector<float> widths;
  auto image = Platform::ref_new<Image>();
  auto token = Window::Current()->SizeChanged.Add([&](auto sender, auto args) {
    EXPECT_EQ(sender, Window::Current());
    widths.push_back(args->Size().Width);
    image->Width(args->Size().Width / 2);
  });
  Platform::StandIn::ResizeWindow(1000, 500);
  EXPECT_EQ(splash->ImageLocation().X, 190);
  EXPECT_EQ(splash->ImageLocation().Y, 100);
  auto arranged = Platform::Trace::EventsNamed("element.arranged");
  ASSERT_EQ(arranged.size(), 1u) << "the layout a size handler changes is reported with the resize";
  EXPECT_EQ(arranged[0]["width"], 500.0);
  Window::Current()->SizeChanged.Remove(token);
  Platform::StandIn::ResizeWindow(800, 600);
  EXPECT_EQ(widths, std::vector<float>{1000});
  EXPECT_EQ(Platform::Trace::EventsNamed("window.sizechanged").size(), 2u);
}

}  // namespace
