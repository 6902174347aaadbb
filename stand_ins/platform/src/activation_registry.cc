#include "platform/activation_registry.h"

#include <map>
#include <mutex>

namespace Platform {
namespace {

struct Registry {
  std::mutex mutex;
  std::map<String, std::shared_ptr<Windows::Foundation::IActivationFactory>> factories;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

class FunctionFactory : public Windows::Foundation::IActivationFactory {
 public:
  explicit FunctionFactory(std::function<ObjectRef()> create) : create_(std::move(create)) {}
  ObjectRef ActivateInstance() override { return create_(); }

 private:
  std::function<ObjectRef()> create_;
};

}  // namespace

void RegisterActivationFactory(const String& runtimeClassName,
                               std::shared_ptr<Windows::Foundation::IActivationFactory> factory) {
  auto& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.factories[runtimeClassName] = std::move(factory);
}

void RegisterActivatableClass(const String& runtimeClassName, std::function<ObjectRef()> create) {
  RegisterActivationFactory(runtimeClassName, ref_new<FunctionFactory>(std::move(create)));
}

void UnregisterActivationFactory(const String& runtimeClassName) {
  auto& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.factories.erase(runtimeClassName);
}

ObjectRef ActivateInstance(const String& runtimeClassName) {
  std::shared_ptr<Windows::Foundation::IActivationFactory> factory;
  {
    auto& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto it = registry.factories.find(runtimeClassName);
    if (it != registry.factories.end()) factory = it->second;
  }
  if (!factory) throw ClassNotRegisteredException(u"class not registered: " + runtimeClassName);
  return factory->ActivateInstance();
}

}  // namespace Platform
