// One analytics event in memory: a name, the category set when it is
// recorded, a time stamp and ordered attributes (texts) and metrics (numbers).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "event_category.h"

class AnalyticsEvent {
 public:
  using Attribute = std::pair<std::string, std::string>;
  using Metric = std::pair<std::string, double>;

  // Stamped with the current time: whole seconds times 1000.
  explicit AnalyticsEvent(std::string name);

  // Room for this many attributes and metrics in all, so that adding them
  // allocates only their texts.
  void Reserve(std::size_t attributeCount, std::size_t metricCount);

  AnalyticsEvent& AddAttribute(std::string key, std::string value);
  AnalyticsEvent& AddMetric(std::string key, double value);

  const std::vector<Attribute>& Attributes() const { return attributes; }
  const std::vector<Metric>& Metrics() const { return metrics; }
  const std::string& Name() const { return name; }
  const Ostrel::EventCategory& Category() const { return category; }
  std::int64_t Timestamp() const { return timestamp; }

  void SetCategory(Ostrel::EventCategory value) { category = std::move(value); }

 private:
  std::vector<Attribute> attributes;
  std::vector<Metric> metrics;
  std::string name;
  Ostrel::EventCategory category;
  std::int64_t timestamp;
};
