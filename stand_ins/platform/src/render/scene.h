// What the main window shows at one moment, as a list of things to paint in
// order: a cheap copy of the element tree, taken on the UI thread and
// painted later on another.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/stand_in/composition.h"
#include "platform/ui_element.h"

namespace Platform::Render {

struct Box {
  double x = 0, y = 0, width = 0, height = 0;
  bool Contains(const Box& other) const;
  bool operator==(const Box& other) const;
};

struct SceneItem {
  enum class Kind { Fill, Image, Presented };
  Kind kind = Kind::Fill;
  // Image: its box may have NaN sides, meaning the image's own size.
  Box box;
  // Fill: a panel's solid background brush, or the window's own black.
  Windows::UI::Color color;
  // Image: the element's name and Source, and the file the source names
  // in the package (empty when it names none).
  std::string element;
  std::string source;
  std::string file;
  // Presented: the SwapChainPanel and the frame it showed then (or null).
  const void* panel = nullptr;
  std::shared_ptr<const PresentedFrame> frame;

  bool operator==(const SceneItem& other) const;
};

struct Scene {
  double width = 0, height = 0;
  std::vector<SceneItem> items;

  bool operator==(const Scene& other) const;
  bool operator!=(const Scene& other) const { return !(*this == other); }
};

// The main window's content area as it is now: the window's black, then the
// elements from the window's content down (a Frame shows its page, a Page
// its content), each panel's background, a SwapChainPanel's presented
// frame, then its children; images. Layout as the stand-in knows it: a
// child of a Canvas stands at its Canvas.Left/Top with its Width and
// Height; any other child fills its parent's box, or is centred in it when
// it has a Width and Height. UI thread.
Scene SnapshotWindow();

// `scene` with the frame of `panel` replaced by `frame`; false when the
// scene does not show that panel.
bool ReplacePresented(Scene& scene, const void* panel,
                      const std::shared_ptr<const PresentedFrame>& frame);

// `scene` without the items an opaque fill painted later covers entirely:
// two scenes that look the same compare equal.
Scene VisiblePart(const Scene& scene);

}  // namespace Platform::Render
