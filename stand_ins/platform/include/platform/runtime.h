// The object model of the platform stand-in.
//
// It maps one to one onto the platform's:
//   T^                 -> std::shared_ptr<T>   (made with Platform::ref_new)
//   weak reference     -> std::weak_ptr<T>
//   Platform::String   -> std::u16string        (lengths in UTF-16 code units)
//   safe_cast<T>       -> Platform::safe_cast<T> (raises InvalidCastException)
//   failing HRESULT    -> a Platform::Exception subclass carrying the code
// Interfaces are abstract classes that derive virtually from Platform::Object,
// so one object can answer several of them and casts between them work.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/hresult.h"

namespace Platform {

using String = std::u16string;

// Base of every runtime object.
class Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object() = default;
  virtual String GetRuntimeClassName() const { return u"Platform.Object"; }

 protected:
  Object() = default;
  Object(const Object&) = default;
  Object& operator=(const Object&) = default;
};

using ObjectRef = std::shared_ptr<Object>;

// A strong reference to `self` (an object made by ref_new).
template <class T>
std::shared_ptr<T> RefFrom(T* self) {
  return std::dynamic_pointer_cast<T>(self->shared_from_this());
}

// A weak reference to `self`.
template <class T>
std::weak_ptr<T> WeakFrom(T* self) {
  return RefFrom(self);
}

namespace detail {
template <class T, class = void>
struct HasFinishConstruction : std::false_type {};
template <class T>
struct HasFinishConstruction<T, std::void_t<decltype(std::declval<T&>().FinishConstruction())>>
    : std::true_type {};
}  // namespace detail

// `ref new T(args...)`. A type whose construction needs references to itself
// (handlers that hold the object) defines a public FinishConstruction(), run
// right after the object is owned; an exception from it leaves no object.
template <class T, class... Args>
std::shared_ptr<T> ref_new(Args&&... args) {
  auto object = std::make_shared<T>(std::forward<Args>(args)...);
  if constexpr (detail::HasFinishConstruction<T>::value) {
    object->FinishConstruction();
  }
  return object;
}

// ---- Exceptions carrying result codes --------------------------------------

class Exception : public std::exception {
 public:
  explicit Exception(HRESULT hr, String message = {});
  HRESULT HResult() const noexcept { return hr_; }
  const String& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  HRESULT hr_;
  String message_;
  std::string what_;
};

#define PLATFORM_EXCEPTION(Name, Code)                                          \
  class Name : public Exception {                                               \
   public:                                                                      \
    explicit Name(String message = {}) : Exception(Code, std::move(message)) {} \
  };

PLATFORM_EXCEPTION(InvalidCastException, E_NOINTERFACE)
PLATFORM_EXCEPTION(NotImplementedException, E_NOTIMPL)
PLATFORM_EXCEPTION(NullReferenceException, E_POINTER)
PLATFORM_EXCEPTION(InvalidArgumentException, E_INVALIDARG)
PLATFORM_EXCEPTION(OutOfBoundsException, E_BOUNDS)
PLATFORM_EXCEPTION(OutOfMemoryException, E_OUTOFMEMORY)
PLATFORM_EXCEPTION(DisconnectedException, RPC_E_DISCONNECTED)
PLATFORM_EXCEPTION(ClassNotRegisteredException, REGDB_E_CLASSNOTREG)
PLATFORM_EXCEPTION(FailureException, E_FAIL)
#undef PLATFORM_EXCEPTION

// Raises the exception type that belongs to a failing code.
[[noreturn]] void ThrowHResult(HRESULT hr, String message = {});

inline void ThrowIfFailed(HRESULT hr) {
  if (FAILED(hr)) ThrowHResult(hr);
}

// The result code for the exception being handled; call only inside a catch.
HRESULT ResultFromCaughtException() noexcept;

// The wrapper at every place where the platform calls into the host: runs
// `body` and turns whatever it raises into the matching failure result.
template <class Body>
HRESULT CallBoundary(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
    return S_OK;
  } catch (...) {
    return ResultFromCaughtException();
  }
}

// ---- Casts -----------------------------------------------------------------

// safe_cast<T>: null stays null; an object that is not a T raises
// InvalidCastException.
template <class T, class U>
std::shared_ptr<T> safe_cast(const std::shared_ptr<U>& from) {
  if (!from) return nullptr;
  auto to = std::dynamic_pointer_cast<T>(from);
  if (!to) throw InvalidCastException(u"invalid cast");
  return to;
}

// dynamic_cast<T^>: null when the object is not a T.
template <class T, class U>
std::shared_ptr<T> try_cast(const std::shared_ptr<U>& from) {
  return std::dynamic_pointer_cast<T>(from);
}

}  // namespace Platform
