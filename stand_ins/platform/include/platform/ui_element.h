// The XAML element base classes (Windows::UI::Xaml): dependency properties,
// UIElement, FrameworkElement, colours and brushes.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <memory>

#include <nlohmann/json.hpp>

#include "platform/foundation.h"
#include "platform/runtime.h"

namespace Windows::UI {

struct Color {
  std::uint8_t A = 0, R = 0, G = 0, B = 0;
};

}  // namespace Windows::UI

namespace Platform::Internal {
void FlushLayout();
}

namespace Windows::UI::Xaml {

class DependencyProperty : public virtual Platform::Object {
 public:
  explicit DependencyProperty(Platform::String name) : name_(std::move(name)) {}
  const Platform::String& Name() const { return name_; }

 private:
  Platform::String name_;
};

// An object with a property store. SetValue keeps the boxed value as given.
class DependencyObject : public virtual Platform::Object {
 public:
  void SetValue(const std::shared_ptr<DependencyProperty>& property,
                const Platform::ObjectRef& value);
  Platform::ObjectRef GetValue(const std::shared_ptr<DependencyProperty>& property) const;

 protected:
  virtual void OnValueChanged(const DependencyProperty&) {}

 private:
  std::map<const DependencyProperty*, Platform::ObjectRef> values_;
};

class UIElement : public DependencyObject {
 public:
  Platform::String GetRuntimeClassName() const override { return u"Windows.UI.Xaml.UIElement"; }
};

// Width and Height are NaN ("auto") until set. Changing Width, Height or the
// Canvas offsets schedules a layout report of the element (the trace's
// "element.arranged" with its name, position and size).
class FrameworkElement : public UIElement {
 public:
  double Width() const { return width_; }
  void Width(double value);
  double Height() const { return height_; }
  void Height(double value);
  Platform::String Name() const { return name_; }
  void Name(Platform::String value) { name_ = std::move(value); }
  // The panel holding this element, or null.
  std::shared_ptr<FrameworkElement> Parent() const { return parent_.lock(); }
  Platform::String GetRuntimeClassName() const override {
    return u"Windows.UI.Xaml.FrameworkElement";
  }

  // Stand-in: the element's name for the trace (its runtime class when unnamed).
  std::string TraceName() const;
  // Stand-in: the x:ConnectionId the markup connected the element under (0:
  // none). Trace lines about a connected element carry it as "connection".
  int ConnectionId() const { return connectionId_; }
  void ConnectionId(int id) { connectionId_ = id; }
  // Stand-in: "element" (the trace name) and, when connected, "connection".
  void AddTraceIdentity(nlohmann::ordered_json& fields, const char* key = "element") const;
  // Stand-in: sets without scheduling a layout report (markup loading).
  void InitializeSize(double width, double height);
  void SetParent(const std::shared_ptr<FrameworkElement>& parent) { parent_ = parent; }

 protected:
  void OnValueChanged(const DependencyProperty& property) override;
  void ScheduleLayout();

 private:
  double width_ = std::numeric_limits<double>::quiet_NaN();
  double height_ = std::numeric_limits<double>::quiet_NaN();
  Platform::String name_;
  std::weak_ptr<FrameworkElement> parent_;
  int connectionId_ = 0;
  bool layoutPending_ = false;  // guarded by the pending layout's lock
  friend void Platform::Internal::FlushLayout();
};

namespace Media {

class Brush : public DependencyObject {};

class SolidColorBrush : public Brush {
 public:
  explicit SolidColorBrush(Windows::UI::Color color) : color_(color) {}
  Windows::UI::Color Color() const { return color_; }
  Platform::String GetRuntimeClassName() const override {
    return u"Windows.UI.Xaml.Media.SolidColorBrush";
  }

 private:
  Windows::UI::Color color_;
};

}  // namespace Media

// "#AARRGGBB" in upper-case hex.
std::string FormatColor(Windows::UI::Color color);

}  // namespace Windows::UI::Xaml
