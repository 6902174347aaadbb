#include "scene.h"

#include <cmath>

#include "platform/controls.h"
#include "platform/page.h"
#include "platform/stand_in/stand_in.h"
#include "platform/strings.h"
#include "platform/window.h"
#include "window_internal.h"

namespace Platform::Render {
namespace {

using namespace Windows::UI::Xaml;
using namespace Windows::UI::Xaml::Controls;

constexpr const char* kAppScheme = "ms-appx:///";

bool Same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

bool SameColor(Windows::UI::Color a, Windows::UI::Color b) {
  return a.A == b.A && a.R == b.R && a.G == b.G && a.B == b.B;
}

// The package file an image source names: "ms-appx:///" and a path inside
// the package folder; empty for anything else.
std::string PackageFile(const std::string& source) {
  if (source.rfind(kAppScheme, 0) != 0) return "";
  const std::string path = source.substr(std::char_traits<char>::length(kAppScheme));
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find('/', start);
    const std::string segment = path.substr(start, end - start);
    if (segment.empty() || segment == "." || segment == "..") return "";
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return Platform::StandIn::PackageFolder() + "/" + path;
}

class Builder {
 public:
  explicit Builder(Scene& scene) : scene_(scene) {}

  void Visit(const Platform::ObjectRef& object, const Box& parent, bool inCanvas) {
    if (auto frame = Platform::try_cast<Frame>(object))
      return Visit(frame->Content(), parent, false);
    if (auto page = Platform::try_cast<Page>(object)) return Visit(page->Content(), parent, false);
    auto element = Platform::try_cast<FrameworkElement>(object);
    if (!element) return;
    const Box box = inCanvas ? CanvasBox(element, parent) : GridBox(*element, parent);
    if (auto image = Platform::try_cast<Image>(element)) return AddImage(*image, box);
    if (auto panel = Platform::try_cast<Panel>(element)) AddPanel(panel, box);
  }

 private:
  static Box CanvasBox(const std::shared_ptr<FrameworkElement>& element, const Box& canvas) {
    const double width = element->Width(), height = element->Height();
    const bool image = Platform::try_cast<Image>(element) != nullptr;
    // An unsized image shows at its own size; an unsized panel has none.
    const double unset = image ? std::nan("") : 0;
    return {canvas.x + Canvas::GetLeft(element), canvas.y + Canvas::GetTop(element),
            std::isnan(width) ? unset : width, std::isnan(height) ? unset : height};
  }

  static Box GridBox(const FrameworkElement& element, const Box& parent) {
    Box box = parent;
    if (!std::isnan(element.Width())) {
      box.width = element.Width();
      box.x = parent.x + (parent.width - box.width) / 2;
    }
    if (!std::isnan(element.Height())) {
      box.height = element.Height();
      box.y = parent.y + (parent.height - box.height) / 2;
    }
    return box;
  }

  void AddImage(const Image& image, const Box& box) {
    SceneItem item;
    item.kind = SceneItem::Kind::Image;
    item.box = box;
    item.element = image.TraceName();
    item.source = Platform::ToUtf8(image.Source());
    item.file = PackageFile(item.source);
    scene_.items.push_back(std::move(item));
  }

  void AddPanel(const std::shared_ptr<Panel>& panel, const Box& box) {
    if (auto solid = Platform::try_cast<Media::SolidColorBrush>(panel->Background())) {
      SceneItem fill;
      fill.box = box;
      fill.color = solid->Color();
      scene_.items.push_back(fill);
    }
    if (auto swapChain = Platform::try_cast<SwapChainPanel>(panel)) {
      SceneItem presented;
      presented.kind = SceneItem::Kind::Presented;
      presented.box = box;
      presented.panel = swapChain.get();
      presented.frame = swapChain->PresentedFrame();
      scene_.items.push_back(std::move(presented));
    }
    const bool canvas = Platform::try_cast<Canvas>(panel) != nullptr;
    auto children = panel->Children();
    for (unsigned i = 0; i < children->Size(); ++i) Visit(children->GetAt(i), box, canvas);
  }

  Scene& scene_;
};

}  // namespace

bool Box::Contains(const Box& other) const {
  return other.x >= x && other.y >= y && other.x + other.width <= x + width &&
         other.y + other.height <= y + height;
}

bool Box::operator==(const Box& other) const {
  return Same(x, other.x) && Same(y, other.y) && Same(width, other.width) &&
         Same(height, other.height);
}

bool SceneItem::operator==(const SceneItem& other) const {
  if (kind != other.kind || !(box == other.box)) return false;
  switch (kind) {
    case Kind::Fill:
      return SameColor(color, other.color);
    case Kind::Image:
      return source == other.source && file == other.file;
    case Kind::Presented:
      return panel == other.panel && frame == other.frame;
  }
  return false;
}

bool Scene::operator==(const Scene& other) const {
  return width == other.width && height == other.height && items == other.items;
}

Scene SnapshotWindow() {
  auto window = Platform::Internal::MainWindow();
  const auto bounds = window->Bounds();
  Scene scene;
  scene.width = bounds.Width;
  scene.height = bounds.Height;
  const Box whole{0, 0, scene.width, scene.height};
  SceneItem black;
  black.box = whole;
  black.color = {255, 0, 0, 0};
  scene.items.push_back(black);
  Builder(scene).Visit(window->Content(), whole, false);
  return scene;
}

bool ReplacePresented(Scene& scene, const void* panel,
                      const std::shared_ptr<const PresentedFrame>& frame) {
  bool shown = false;
  for (auto& item : scene.items) {
    if (item.kind == SceneItem::Kind::Presented && item.panel == panel) {
      item.frame = frame;
      shown = true;
    }
  }
  return shown;
}

Scene VisiblePart(const Scene& scene) {
  Scene visible{scene.width, scene.height, {}};
  const auto& items = scene.items;
  for (std::size_t i = 0; i < items.size(); ++i) {
    bool covered = false;
    for (std::size_t j = i + 1; j < items.size() && !covered; ++j) {
      covered = items[j].kind == SceneItem::Kind::Fill && items[j].color.A == 255 &&
                items[j].box.Contains(items[i].box);
    }
    if (!covered) visible.items.push_back(items[i]);
  }
  return visible;
}

}  // namespace Platform::Render
