// Application::LoadComponent: reads a package markup file with pugixml and
// builds the element tree it declares.
#include <cstdlib>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "platform/application.h"
#include "platform/controls.h"
#include "platform/markup.h"
#include "platform/page.h"
#include "platform/stand_in/stand_in.h"
#include "platform/strings.h"
#include "regular_file.h"

namespace Windows::UI::Xaml {
namespace {

using namespace Controls;

constexpr HRESULT E_XAMLPARSEFAILED = static_cast<HRESULT>(0x802B000Au);
constexpr HRESULT ERROR_FILE_NOT_FOUND_RESULT = static_cast<HRESULT>(0x80070002u);
constexpr const char* kXamlNamespace = "http://schemas.microsoft.com/winfx/2006/xaml";
constexpr const char16_t* kAppScheme = u"ms-appx:///";

[[noreturn]] void ParseFailure(const std::string& where, const std::string& what) {
  Platform::ThrowHResult(E_XAMLPARSEFAILED, Platform::FromUtf8(where + ": " + what));
}

struct Loader {
  std::string source;      // the markup's URI, for messages
  std::string xamlPrefix;  // the prefix bound to the XAML language namespace, with ':'
  std::shared_ptr<Markup::IComponentConnector> connector;

  double Number(const pugi::xml_attribute& attribute) const {
    const char* text = attribute.value();
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0') {
      ParseFailure(source, std::string("attribute ") + attribute.name() + " is not a number: \"" +
                               text + "\"");
    }
    return value;
  }

  Windows::UI::Color Color(const pugi::xml_attribute& attribute) const {
    const std::string text = attribute.value();
    const bool shortForm = text.size() == 7;
    if (text.empty() || text[0] != '#' || (text.size() != 9 && !shortForm) ||
        text.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) {
      ParseFailure(source, "colour must be #AARRGGBB or #RRGGBB: \"" + text + "\"");
    }
    const unsigned long value = std::strtoul(text.c_str() + 1, nullptr, 16);
    const auto byte = [&](int shift) { return static_cast<std::uint8_t>((value >> shift) & 0xFF); };
    return {shortForm ? std::uint8_t{0xFF} : byte(24), byte(16), byte(8), byte(0)};
  }

  static std::shared_ptr<FrameworkElement> Create(const std::string& tag) {
    if (tag == "SwapChainPanel") return Platform::ref_new<SwapChainPanel>();
    if (tag == "Canvas") return Platform::ref_new<Canvas>();
    if (tag == "Grid") return Platform::ref_new<Grid>();
    if (tag == "Image") return Platform::ref_new<Image>();
    return nullptr;
  }

  void ApplyAttribute(FrameworkElement& element, const pugi::xml_attribute& attribute) const {
    const std::string name = attribute.name();
    if (name == xamlPrefix + "Name") {
      element.Name(Platform::FromUtf8(attribute.value()));
    } else if (name == "Width") {
      element.InitializeSize(Number(attribute), element.Height());
    } else if (name == "Height") {
      element.InitializeSize(element.Width(), Number(attribute));
    } else if (name == "Canvas.Left") {
      element.DependencyObject::SetValue(Canvas::LeftProperty(),
                                         Windows::Foundation::Box(Number(attribute)));
    } else if (name == "Canvas.Top") {
      element.DependencyObject::SetValue(Canvas::TopProperty(),
                                         Windows::Foundation::Box(Number(attribute)));
    } else if (name == "Background" && dynamic_cast<Panel*>(&element)) {
      dynamic_cast<Panel&>(element).InitializeBackground(
          Platform::ref_new<Media::SolidColorBrush>(Color(attribute)));
    } else if (name == "Source" && dynamic_cast<Image*>(&element)) {
      dynamic_cast<Image&>(element).Source(Platform::FromUtf8(attribute.value()));
    } else if (name != xamlPrefix + "ConnectionId" && name.rfind("xmlns", 0) != 0) {
      ParseFailure(source, "unknown attribute " + name + " on <" + element.TraceName() + ">");
    }
  }

  void Connect(const pugi::xml_node& node, const Platform::ObjectRef& target) const {
    auto id = node.attribute((xamlPrefix + "ConnectionId").c_str());
    if (!id) return;
    const double number = Number(id);
    if (number != static_cast<int>(number))
      ParseFailure(source, std::string("bad connection id ") + id.value());
    if (!connector) ParseFailure(source, "the component does not accept connections");
    if (auto element = Platform::try_cast<FrameworkElement>(target))
      element->ConnectionId(static_cast<int>(number));
    connector->Connect(static_cast<int>(number), target);
  }

  // Builds the element of `node` and its children; connections are made
  // once the whole tree is built, in document order.
  std::shared_ptr<FrameworkElement> Build(
      const pugi::xml_node& node,
      std::vector<std::pair<pugi::xml_node, Platform::ObjectRef>>& connections, int depth) const {
    if (depth > Application::kMaxMarkupDepth) {
      ParseFailure(source, "elements nested deeper than " +
                               std::to_string(Application::kMaxMarkupDepth) + " levels");
    }
    auto element = Create(node.name());
    if (!element) ParseFailure(source, std::string("unknown element <") + node.name() + ">");
    for (auto attribute : node.attributes()) ApplyAttribute(*element, attribute);
    connections.emplace_back(node, element);
    for (auto child : node.children()) {
      if (child.type() != pugi::node_element) continue;
      auto panel = Platform::try_cast<Panel>(element);
      if (!panel)
        ParseFailure(source, std::string("<") + node.name() + "> cannot hold child elements");
      panel->Children()->AppendQuietly(Build(child, connections, depth + 1));
    }
    return element;
  }

  std::string FindXamlPrefix(const pugi::xml_node& root) const {
    for (auto attribute : root.attributes()) {
      const std::string name = attribute.name();
      if (name.rfind("xmlns:", 0) == 0 && std::string(attribute.value()) == kXamlNamespace) {
        return name.substr(6) + ":";
      }
    }
    return "x:";
  }

  void Load(const std::shared_ptr<Page>& page, const std::string& path) {
    const auto file = Platform::Internal::ReadRegularFile(path, Application::kMaxMarkupBytes);
    if (file.tooLarge) {
      ParseFailure(source, std::to_string(file.size) + " bytes, more than the " +
                               std::to_string(Application::kMaxMarkupBytes) +
                               " a markup file may have");
    }
    if (!file.ok) {
      Platform::ThrowHResult(ERROR_FILE_NOT_FOUND_RESULT,
                             Platform::FromUtf8("cannot read markup " + source + " (" + path +
                                                "): " + file.problem.Describe()));
    }
    pugi::xml_document document;
    const auto result = document.load_buffer(file.bytes.data(), file.bytes.size());
    if (!result) {
      ParseFailure(source, std::string(result.description()) + " at offset " +
                               std::to_string(result.offset));
    }
    auto root = document.document_element();
    if (std::string(root.name()) != "Page") ParseFailure(source, "the root element must be <Page>");
    xamlPrefix = FindXamlPrefix(root);
    std::vector<pugi::xml_node> children;
    for (auto child : root.children()) {
      if (child.type() == pugi::node_element) children.push_back(child);
    }
    if (children.size() != 1) ParseFailure(source, "<Page> must hold exactly one element");
    std::vector<std::pair<pugi::xml_node, Platform::ObjectRef>> connections{{root, page}};
    auto content = Build(children.front(), connections, 1);
    page->Content(content);
    for (auto& [node, target] : connections) Connect(node, target);
  }
};

}  // namespace

void Application::LoadComponent(const Platform::ObjectRef& component,
                                const std::shared_ptr<Windows::Foundation::Uri>& resourceLocator,
                                Controls::Primitives::ComponentResourceLocation) {
  if (!component || !resourceLocator)
    throw Platform::NullReferenceException(u"LoadComponent needs a component and a URI");
  const Platform::String uri = resourceLocator->AbsoluteUri();
  if (uri.rfind(kAppScheme, 0) != 0) {
    throw Platform::InvalidArgumentException(u"not a package resource: " + uri);
  }
  auto page = Platform::safe_cast<Page>(component);
  Loader loader;
  loader.source = Platform::ToUtf8(uri);
  loader.connector = Platform::try_cast<Markup::IComponentConnector>(component);
  loader.Load(page, Platform::StandIn::PackageFolder() + "/" + Platform::ToUtf8(uri.substr(11)));
}

}  // namespace Windows::UI::Xaml
