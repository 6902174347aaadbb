#include "platform/runtime.h"

#include <cstdio>
#include <new>
#include <stdexcept>

#include "platform/strings.h"

namespace Platform {

Exception::Exception(HRESULT hr, String message) : hr_(hr), message_(std::move(message)) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr_));
  what_ = std::string("platform failure ") + code;
  if (!message_.empty()) what_ += ": " + ToUtf8(message_);
}

void ThrowHResult(HRESULT hr, String message) {
  switch (hr) {
    case E_NOINTERFACE:
      throw InvalidCastException(std::move(message));
    case E_NOTIMPL:
      throw NotImplementedException(std::move(message));
    case E_POINTER:
      throw NullReferenceException(std::move(message));
    case E_INVALIDARG:
      throw InvalidArgumentException(std::move(message));
    case E_BOUNDS:
      throw OutOfBoundsException(std::move(message));
    case E_OUTOFMEMORY:
      throw OutOfMemoryException(std::move(message));
    case RPC_E_DISCONNECTED:
      throw DisconnectedException(std::move(message));
    case REGDB_E_CLASSNOTREG:
      throw ClassNotRegisteredException(std::move(message));
    case E_FAIL:
      throw FailureException(std::move(message));
    default:
      throw Exception(hr, std::move(message));
  }
}

HRESULT ResultFromCaughtException() noexcept {
  try {
    throw;
  } catch (const Exception& e) {
    return e.HResult();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::invalid_argument&) {
    return E_INVALIDARG;
  } catch (const std::out_of_range&) {
    return E_BOUNDS;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace Platform
