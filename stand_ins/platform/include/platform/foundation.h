// Foundation types (Windows::Foundation): geometry, URIs, boxed values,
// asynchronous actions and read-only vector views.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/runtime.h"

namespace Windows::Foundation {

struct Rect {
  float X = 0, Y = 0, Width = 0, Height = 0;
};

struct Size {
  float Width = 0, Height = 0;
};

// An absolute URI. Construction rejects a text without a scheme
// (InvalidArgumentException). AbsoluteUri is the canonical form: scheme and
// host in lower case, "/" added when an authority has no path; path, query
// and fragment are kept unchanged.
class Uri : public virtual Platform::Object {
 public:
  explicit Uri(const Platform::String& uri);
  Platform::String AbsoluteUri() const { return absoluteUri_; }
  Platform::String RawUri() const { return rawUri_; }
  Platform::String SchemeName() const { return schemeName_; }
  Platform::String GetRuntimeClassName() const override { return u"Windows.Foundation.Uri"; }

 private:
  Platform::String rawUri_;
  Platform::String schemeName_;
  Platform::String absoluteUri_;
};

namespace detail {
template <class T>
struct BoxName;
template <>
struct BoxName<float> {
  static constexpr const char16_t* value = u"Windows.Foundation.IReference`1<Single>";
};
template <>
struct BoxName<double> {
  static constexpr const char16_t* value = u"Windows.Foundation.IReference`1<Double>";
};
template <>
struct BoxName<std::int32_t> {
  static constexpr const char16_t* value = u"Windows.Foundation.IReference`1<Int32>";
};
template <>
struct BoxName<bool> {
  static constexpr const char16_t* value = u"Windows.Foundation.IReference`1<Boolean>";
};
}  // namespace detail

// A boxed value (the platform's IReference<T>).
template <class T>
class IReference : public virtual Platform::Object {
 public:
  explicit IReference(T value) : value_(value) {}
  T Value() const { return value_; }
  Platform::String GetRuntimeClassName() const override { return detail::BoxName<T>::value; }

 private:
  T value_;
};

template <class T>
std::shared_ptr<IReference<T>> Box(T value) {
  return Platform::ref_new<IReference<T>>(value);
}

enum class AsyncStatus : std::int32_t { Started = 0, Completed = 1, Canceled = 2, Error = 3 };

// The handle of work that runs later. Callers may drop it at once; the work
// runs anyway. Status and ErrorCode report how it ended.
class IAsyncAction : public virtual Platform::Object {
 public:
  AsyncStatus Status() const { return status_.load(); }
  HRESULT ErrorCode() const { return errorCode_.load(); }
  void Finish(HRESULT result) {
    errorCode_ = result;
    status_ = FAILED(result) ? AsyncStatus::Error : AsyncStatus::Completed;
  }

 private:
  std::atomic<AsyncStatus> status_{AsyncStatus::Started};
  std::atomic<HRESULT> errorCode_{S_OK};
};

namespace Collections {

// A read-only view of a vector.
template <class T>
class IVectorView : public virtual Platform::Object {
 public:
  explicit IVectorView(std::vector<T> items) : items_(std::move(items)) {}
  unsigned Size() const { return static_cast<unsigned>(items_.size()); }
  T GetAt(unsigned index) const {
    if (index >= items_.size()) throw Platform::OutOfBoundsException(u"index out of range");
    return items_[index];
  }

 private:
  std::vector<T> items_;
};

}  // namespace Collections
}  // namespace Windows::Foundation
