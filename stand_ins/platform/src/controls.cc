#include "platform/controls.h"

#include "platform/stand_in/trace.h"
#include "platform/strings.h"

namespace Windows::UI::Xaml::Controls {
namespace {

// "element" (and "connection") of `element` in `fields`.
void AddIdentity(Platform::Trace::Event& fields, const std::shared_ptr<UIElement>& element) {
  if (auto framework = Platform::try_cast<FrameworkElement>(element)) {
    framework->AddTraceIdentity(fields);
  } else {
    fields["element"] = Platform::ToUtf8(element->GetRuntimeClassName());
  }
}

std::string OwnerName(const std::weak_ptr<Panel>& owner) {
  auto panel = owner.lock();
  return panel ? panel->TraceName() : std::string();
}

double Offset(const std::shared_ptr<UIElement>& element,
              const std::shared_ptr<DependencyProperty>& property) {
  if (!element) throw Platform::NullReferenceException(u"null element");
  auto value = element->GetValue(property);
  if (auto single = Platform::try_cast<Windows::Foundation::IReference<float>>(value))
    return single->Value();
  if (auto wide = Platform::try_cast<Windows::Foundation::IReference<double>>(value))
    return wide->Value();
  return 0;
}

}  // namespace

std::shared_ptr<UIElement> UIElementCollection::GetAt(unsigned index) const {
  if (index >= items_.size()) throw Platform::OutOfBoundsException(u"child index out of range");
  return items_[index];
}

bool UIElementCollection::IndexOf(const std::shared_ptr<UIElement>& element,
                                  unsigned& index) const {
  for (unsigned i = 0; i < items_.size(); ++i) {
    if (items_[i] == element) {
      index = i;
      return true;
    }
  }
  index = 0;
  return false;
}

void UIElementCollection::Adopt(const std::shared_ptr<UIElement>& element) {
  if (!element) throw Platform::InvalidArgumentException(u"null child element");
  auto framework = Platform::try_cast<FrameworkElement>(element);
  if (framework && framework->Parent()) {
    throw Platform::InvalidArgumentException(u"element is already the child of another element");
  }
  if (framework) framework->SetParent(owner_.lock());
  items_.push_back(element);
}

void UIElementCollection::Append(const std::shared_ptr<UIElement>& element) {
  Adopt(element);
  Platform::Trace::Event fields{{"panel", OwnerName(owner_)}};
  AddIdentity(fields, element);
  Platform::Trace::Record("panel.childadded", fields);
}

void UIElementCollection::AppendQuietly(const std::shared_ptr<UIElement>& element) {
  Adopt(element);
}

void UIElementCollection::RemoveAt(unsigned index) {
  auto element = GetAt(index);
  items_.erase(items_.begin() + index);
  if (auto framework = Platform::try_cast<FrameworkElement>(element)) framework->SetParent(nullptr);
  Platform::Trace::Event fields{{"panel", OwnerName(owner_)}};
  AddIdentity(fields, element);
  Platform::Trace::Record("panel.childremoved", fields);
}

void UIElementCollection::Clear() {
  while (!items_.empty()) RemoveAt(Size() - 1);
}

std::shared_ptr<UIElementCollection> Panel::Children() {
  if (!children_) children_ = Platform::ref_new<UIElementCollection>(Platform::WeakFrom(this));
  return children_;
}

void Panel::Background(const std::shared_ptr<Media::Brush>& brush) {
  background_ = brush;
  Platform::Trace::Event fields;
  AddTraceIdentity(fields);
  if (auto solid = Platform::try_cast<Media::SolidColorBrush>(brush)) {
    fields["color"] = FormatColor(solid->Color());
  } else {
    fields["color"] = nullptr;
  }
  Platform::Trace::Record("panel.background", fields);
}

std::shared_ptr<DependencyProperty> Canvas::LeftProperty() {
  static const auto property = Platform::ref_new<DependencyProperty>(u"Canvas.Left");
  return property;
}

std::shared_ptr<DependencyProperty> Canvas::TopProperty() {
  static const auto property = Platform::ref_new<DependencyProperty>(u"Canvas.Top");
  return property;
}

double Canvas::GetLeft(const std::shared_ptr<UIElement>& element) {
  return Offset(element, LeftProperty());
}

double Canvas::GetTop(const std::shared_ptr<UIElement>& element) {
  return Offset(element, TopProperty());
}

void SwapChainPanel::Present(std::shared_ptr<const Platform::PresentedFrame> frame) {
  std::shared_ptr<const Platform::PresentedFrame> previous;
  {
    std::lock_guard<std::mutex> lock(presentedMutex_);
    previous = std::move(presented_);
    presented_ = std::move(frame);
  }
  Platform::Composition::NotifyFramePresented(*this);
}

std::shared_ptr<const Platform::PresentedFrame> SwapChainPanel::PresentedFrame() const {
  std::lock_guard<std::mutex> lock(presentedMutex_);
  return presented_;
}

}  // namespace Windows::UI::Xaml::Controls
