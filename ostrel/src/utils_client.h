// Identifier source and key-value store used by the services client for the
// session and client identifiers.
#pragma once

#include <string>
#include <unordered_map>

namespace TaviServices {

class UtilsClient {
 public:
  virtual std::string GenerateId() = 0;
  virtual void SetValue(const std::string& key, const std::string& value) = 0;
  // The second argument is part of the interface; implementations may ignore it.
  virtual std::string GetValue(const std::string& key, const std::string& fallback) = 0;

 protected:
  // Never deleted through the interface.
  ~UtilsClient() = default;
};

}  // namespace TaviServices

namespace Zel {

// The store lives in memory only; identifiers are always empty.
class TaviServicesUtilsClient final : public TaviServices::UtilsClient {
 public:
  std::string GenerateId() override;
  void SetValue(const std::string& key, const std::string& value) override;
  // The stored value, or the empty text when the key is absent.
  std::string GetValue(const std::string& key, const std::string& fallback) override;

 private:
  std::unordered_map<std::string, std::string> values;
};

}  // namespace Zel
