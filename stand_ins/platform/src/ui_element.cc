#include "platform/ui_element.h"

#include <cmath>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/controls.h"
#include "platform/stand_in/composition.h"
#include "platform/stand_in/trace.h"
#include "platform/strings.h"
#include "ui_loop.h"

namespace Windows::UI::Xaml {
namespace {

struct PendingLayout {
  std::mutex mutex;
  std::vector<std::weak_ptr<FrameworkElement>> elements;
};

PendingLayout& Pending() {
  static PendingLayout pending;
  return pending;
}

nlohmann::ordered_json Number(double value) {
  return std::isnan(value) ? nlohmann::ordered_json() : nlohmann::ordered_json(value);
}

}  // namespace

void DependencyObject::SetValue(const std::shared_ptr<DependencyProperty>& property,
                                const Platform::ObjectRef& value) {
  if (!property) throw Platform::NullReferenceException(u"null dependency property");
  values_[property.get()] = value;
  OnValueChanged(*property);
}

Platform::ObjectRef DependencyObject::GetValue(
    const std::shared_ptr<DependencyProperty>& property) const {
  if (!property) throw Platform::NullReferenceException(u"null dependency property");
  auto it = values_.find(property.get());
  return it == values_.end() ? nullptr : it->second;
}

void FrameworkElement::Width(double value) {
  width_ = value;
  ScheduleLayout();
}

void FrameworkElement::Height(double value) {
  height_ = value;
  ScheduleLayout();
}

void FrameworkElement::InitializeSize(double width, double height) {
  width_ = width;
  height_ = height;
}

std::string FrameworkElement::TraceName() const {
  return Platform::ToUtf8(name_.empty() ? GetRuntimeClassName() : name_);
}

void FrameworkElement::OnValueChanged(const DependencyProperty& property) {
  if (&property == Controls::Canvas::LeftProperty().get() ||
      &property == Controls::Canvas::TopProperty().get()) {
    ScheduleLayout();
  }
}

void FrameworkElement::AddTraceIdentity(nlohmann::ordered_json& fields, const char* key) const {
  fields[key] = TraceName();
  if (connectionId_ != 0) fields["connection"] = connectionId_;
}

// The flag keeps the list free of repeats without searching it.
void FrameworkElement::ScheduleLayout() {
  auto& pending = Pending();
  std::lock_guard<std::mutex> lock(pending.mutex);
  if (layoutPending_) return;
  layoutPending_ = true;
  pending.elements.push_back(Platform::WeakFrom(this));
}

std::string FormatColor(Windows::UI::Color color) {
  char text[10];
  std::snprintf(text, sizeof text, "#%02X%02X%02X%02X", color.A, color.R, color.G, color.B);
  return text;
}

}  // namespace Windows::UI::Xaml

namespace Platform::Internal {

void FlushLayout() {
  using Windows::UI::Xaml::Controls::Canvas;
  std::vector<std::shared_ptr<Windows::UI::Xaml::FrameworkElement>> elements;
  {
    auto& pending = Windows::UI::Xaml::Pending();
    std::lock_guard<std::mutex> lock(pending.mutex);
    for (auto& weak : pending.elements) {
      if (auto element = weak.lock()) {
        element->layoutPending_ = false;
        elements.push_back(std::move(element));
      }
    }
    pending.elements.clear();
  }
  for (auto& element : elements) {
    Trace::Event fields;
    element->AddTraceIdentity(fields);
    fields["x"] = Canvas::GetLeft(element);
    fields["y"] = Canvas::GetTop(element);
    fields["width"] = Windows::UI::Xaml::Number(element->Width());
    fields["height"] = Windows::UI::Xaml::Number(element->Height());
    Trace::Record("element.arranged", fields);
  }
  Composition::NotifyLayoutUpdated();
}

}  // namespace Platform::Internal
