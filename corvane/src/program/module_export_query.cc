#include "program/module_export_query.h"

#include <dlfcn.h>

#include <cinttypes>
#include <memory>

#include "platform/activation_factory.h"
#include "platform/stand_in/trace.h"
#include "platform/strings.h"

namespace Corvane {
namespace {

using GetActivationFactoryFunction =
    HRESULT (*)(const Platform::String*, std::shared_ptr<Windows::Foundation::IActivationFactory>*);
using CanUnloadNowFunction = HRESULT (*)();

// `name` as the program exports it: null when the global lookup finds it
// nowhere or in another module (GameAssembly defines two of the names too).
void* OwnExport(const char* name) {
  void* symbol = dlsym(RTLD_DEFAULT, name);
  Dl_info found{};
  Dl_info self{};
  if (!symbol || !dladdr(symbol, &found) || !dladdr(reinterpret_cast<void*>(&OwnExport), &self) ||
      found.dli_fbase != self.dli_fbase) {
    return nullptr;
  }
  return symbol;
}

std::string ResultText(HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08" PRIX32, static_cast<std::uint32_t>(result));
  return text;
}

void Print(std::FILE* out, const Platform::Trace::Event& line) {
  std::fprintf(out, "%s\n", Platform::Trace::Format(line).c_str());
}

}  // namespace

int QueryExports(const std::string& activatableClassId, std::FILE* out) {
  using Event = Platform::Trace::Event;
  bool allExported = true;

  if (auto get =
          reinterpret_cast<GetActivationFactoryFunction>(OwnExport("DllGetActivationFactory"))) {
    const Platform::String id = Platform::FromUtf8(activatableClassId);
    std::shared_ptr<Windows::Foundation::IActivationFactory> factory;
    const HRESULT result = get(&id, &factory);
    Print(out, Event{{"export", "DllGetActivationFactory"},
                     {"class", activatableClassId},
                     {"result", ResultText(result)},
                     {"factory", factory != nullptr}});
  } else {
    allExported = false;
    Print(out, Event{{"export", "DllGetActivationFactory"}, {"exported", false}});
  }

  if (auto canUnload = reinterpret_cast<CanUnloadNowFunction>(OwnExport("DllCanUnloadNow"))) {
    Print(out, Event{{"export", "DllCanUnloadNow"}, {"result", ResultText(canUnload())}});
  } else {
    allExported = false;
    Print(out, Event{{"export", "DllCanUnloadNow"}, {"exported", false}});
  }

  const bool designerExported = OwnExport("VSDesignerDllMain") != nullptr;
  allExported = allExported && designerExported;
  Print(out, Event{{"export", "VSDesignerDllMain"}, {"exported", designerExported}});
  return allExported ? 0 : 1;
}

}  // namespace Corvane
