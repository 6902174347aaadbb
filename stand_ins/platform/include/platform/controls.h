// Panels and simple controls (Windows::UI::Xaml::Controls).
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/stand_in/composition.h"
#include "platform/ui_element.h"

namespace Windows::UI::Xaml::Controls {

class Panel;

// The children of a panel. Append, RemoveAt and Clear are recorded in the
// trace ("panel.childadded" / "panel.childremoved").
class UIElementCollection : public virtual Platform::Object {
 public:
  explicit UIElementCollection(std::weak_ptr<Panel> owner) : owner_(std::move(owner)) {}
  unsigned Size() const { return static_cast<unsigned>(items_.size()); }
  std::shared_ptr<UIElement> GetAt(unsigned index) const;
  bool IndexOf(const std::shared_ptr<UIElement>& element, unsigned& index) const;
  void Append(const std::shared_ptr<UIElement>& element);
  void RemoveAt(unsigned index);
  void Clear();
  // Stand-in: appends without a trace record (markup loading).
  void AppendQuietly(const std::shared_ptr<UIElement>& element);

 private:
  void Adopt(const std::shared_ptr<UIElement>& element);
  std::weak_ptr<Panel> owner_;
  std::vector<std::shared_ptr<UIElement>> items_;
};

class Panel : public FrameworkElement {
 public:
  std::shared_ptr<UIElementCollection> Children();
  std::shared_ptr<Media::Brush> Background() const { return background_; }
  // Recorded as "panel.background" with the colour of a solid brush.
  void Background(const std::shared_ptr<Media::Brush>& brush);
  // Stand-in: sets without a trace record (markup loading).
  void InitializeBackground(const std::shared_ptr<Media::Brush>& brush) { background_ = brush; }
  Platform::String GetRuntimeClassName() const override {
    return u"Windows.UI.Xaml.Controls.Panel";
  }

 private:
  std::shared_ptr<UIElementCollection> children_;
  std::shared_ptr<Media::Brush> background_;
};

// Lays out its children at their Canvas.Left / Canvas.Top offsets.
class Canvas : public Panel {
 public:
  static std::shared_ptr<DependencyProperty> LeftProperty();
  static std::shared_ptr<DependencyProperty> TopProperty();
  // The offsets as doubles; a boxed float or double is read, unset is 0.
  static double GetLeft(const std::shared_ptr<UIElement>& element);
  static double GetTop(const std::shared_ptr<UIElement>& element);
  Platform::String GetRuntimeClassName() const override {
    return u"Windows.UI.Xaml.Controls.Canvas";
  }
};

class Grid : public Panel {
 public:
  Platform::String GetRuntimeClassName() const override { return u"Windows.UI.Xaml.Controls.Grid"; }
};

// The panel a renderer presents its swap chain into. The presented frame
// shows in the panel's box, behind the panel's children.
class SwapChainPanel : public Grid {
 public:
  Platform::String GetRuntimeClassName() const override {
    return u"Windows.UI.Xaml.Controls.SwapChainPanel";
  }

  // Stand-in for the swap chain's present, from any thread: `frame` becomes
  // what the panel shows, and a composition observer hears of it.
  void Present(std::shared_ptr<const Platform::PresentedFrame> frame);
  // The frame presented last, or null (any thread).
  std::shared_ptr<const Platform::PresentedFrame> PresentedFrame() const;

 private:
  mutable std::mutex presentedMutex_;
  std::shared_ptr<const Platform::PresentedFrame> presented_;
};

class Image : public FrameworkElement {
 public:
  Platform::String Source() const { return source_; }
  void Source(Platform::String uri) { source_ = std::move(uri); }
  Platform::String GetRuntimeClassName() const override {
    return u"Windows.UI.Xaml.Controls.Image";
  }

 private:
  Platform::String source_;
};

}  // namespace Windows::UI::Xaml::Controls
