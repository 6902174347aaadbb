#include "utils_client.h"

namespace Zel {

std::string TaviServicesUtilsClient::GenerateId() { return {}; }

void TaviServicesUtilsClient::SetValue(const std::string& key, const std::string& value) {
  values[key] = value;
}

std::string TaviServicesUtilsClient::GetValue(const std::string& key, const std::string&) {
  const auto found = values.find(key);
  return found != values.end() ? found->second : std::string();
}

}  // namespace Zel
