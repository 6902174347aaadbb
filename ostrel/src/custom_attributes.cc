#include "custom_attributes.h"

#include <algorithm>
#include <cstddef>
#include <numeric>

#include <nlohmann/json.hpp>

namespace Ostrel {

namespace {

using nlohmann::json;

// In byte order of the keys, the last of equal keys kept (what the document's
// object would hold). Objects mostly have a few members: those are sorted by
// insertion; larger ones through an order of their places, so that the
// values themselves move once.
void SortByKeyKeepingLast(std::vector<CustomValue>& values) {
  const auto byKey = [](const CustomValue& a, const CustomValue& b) { return a.key < b.key; };
  if (values.size() <= 16) {
    for (auto next = values.begin(); next != values.end(); ++next) {
      std::rotate(std::upper_bound(values.begin(), next, *next, byKey), next, next + 1);
    }
  } else {
    std::vector<std::size_t> order(values.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return byKey(values[a], values[b]); });
    std::vector<CustomValue> sorted;
    sorted.reserve(values.size());
    for (std::size_t place : order) sorted.push_back(std::move(values[place]));
    values.swap(sorted);
  }
  auto kept = values.begin();
  for (auto value = values.begin(); value != values.end(); ++value) {
    if (value + 1 != values.end() && value[1].key == value->key) continue;
    if (kept != value) *kept = std::move(*value);
    ++kept;
  }
  values.erase(kept, values.end());
}

// nlohmann json's own parser, told of each value as it reads it instead of
// building a document: the top level's items become values, and everything
// nested deeper is checked by the parser and skipped.
class ItemsReader : public nlohmann::json_sax<json> {
 public:
  explicit ItemsReader(std::vector<CustomValue>& values) : values_(values) {}

  bool TopIsObject() const { return topIsObject_; }

  bool null() override {
    if (depth_ > 0) Item();  // a lone null has no items, as its items() has none
    return true;
  }
  bool boolean(bool) override { return Other(); }
  bool number_integer(number_integer_t number) override {
    if (CustomValue* value = Item()) {
      value->kind = CustomValue::Kind::kSigned;
      value->signedInteger = number;
    }
    return true;
  }
  bool number_unsigned(number_unsigned_t number) override {
    if (CustomValue* value = Item()) {
      value->kind = CustomValue::Kind::kUnsigned;
      value->unsignedInteger = number;
    }
    return true;
  }
  bool number_float(number_float_t number, const string_t&) override {
    if (CustomValue* value = Item()) {
      value->kind = CustomValue::Kind::kFraction;
      value->fraction = number;
    }
    return true;
  }
  bool string(string_t& text) override {
    if (CustomValue* value = Item()) {
      value->kind = CustomValue::Kind::kText;
      value->text = std::move(text);
    }
    return true;
  }
  bool binary(binary_t&) override { return Other(); }
  bool start_object(std::size_t) override { return Open(true); }
  bool key(string_t& name) override {
    if (depth_ == 1) key_ = std::move(name);
    return true;
  }
  bool end_object() override { return Close(); }
  bool start_array(std::size_t) override { return Open(false); }
  bool end_array() override { return Close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  // The item a value at the current depth makes, or null when it is nested.
  CustomValue* Item() {
    if (depth_ > 1) return nullptr;
    CustomValue& value = values_.emplace_back();
    if (depth_ == 0) return &value;  // a lone value: the empty key
    value.key = topIsObject_ ? std::move(key_) : std::to_string(values_.size() - 1);
    return &value;
  }
  bool Other() {
    Item();
    return true;
  }
  bool Open(bool object) {
    if (depth_ == 0) {
      topIsObject_ = object;
    } else {
      Item();  // a nested object or array is an item of kind kOther
    }
    ++depth_;
    return true;
  }
  bool Close() {
    --depth_;
    return true;
  }

  std::vector<CustomValue>& values_;
  std::size_t depth_ = 0;
  bool topIsObject_ = false;
  std::string key_;
};

}  // namespace

bool ReadCustomAttributes(std::string_view json, std::vector<CustomValue>& values) {
  values.clear();
  ItemsReader reader(values);
  if (!json::sax_parse(json, &reader)) return false;
  if (reader.TopIsObject()) SortByKeyKeepingLast(values);
  return true;
}

}  // namespace Ostrel
