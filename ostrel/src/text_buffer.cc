#include "text_buffer.h"

#include <algorithm>
#include <new>
#include <utility>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <objbase.h>
#else
#include <cstdlib>
#endif

namespace Ostrel {

namespace {

// The allocator the platform's .NET marshaller releases a returned string
// with: CoTaskMemFree on Windows, free elsewhere.
#if defined(_WIN32)
void* Resize(void* block, std::size_t size) { return CoTaskMemRealloc(block, size); }
void Free(void* block) { CoTaskMemFree(block); }
#else
void* Resize(void* block, std::size_t size) { return std::realloc(block, size); }
void Free(void* block) { std::free(block); }
#endif

// Far beyond any text the library writes, and small enough that sizes
// computed from it cannot overflow.
constexpr std::size_t kMaxCapacity = static_cast<std::size_t>(-1) / 4;

}  // namespace

TextBuffer::TextBuffer(TextBuffer&& other) noexcept
    : data(std::exchange(other.data, nullptr)),
      size(std::exchange(other.size, 0)),
      capacity(std::exchange(other.capacity, 0)) {}

TextBuffer& TextBuffer::operator=(TextBuffer&& other) noexcept {
  if (this != &other) {
    Free(data);
    data = std::exchange(other.data, nullptr);
    size = std::exchange(other.size, 0);
    capacity = std::exchange(other.capacity, 0);
  }
  return *this;
}

TextBuffer::~TextBuffer() { Free(data); }

void TextBuffer::Reserve(std::size_t wanted) {
  if (wanted <= capacity) return;
  if (wanted > kMaxCapacity) throw std::bad_alloc();
  void* block = Resize(data, wanted + 1);
  if (block == nullptr) throw std::bad_alloc();
  data = static_cast<char*>(block);
  capacity = wanted;
}

// At least doubles, so that writing byte by byte stays linear.
void TextBuffer::Grow(std::size_t more) {
  if (more > kMaxCapacity - size) throw std::bad_alloc();
  Reserve(std::min(std::max(size + more, 2 * capacity + 64), kMaxCapacity));
}

// Should the allocator refuse, the buffer keeps its room.
void TextBuffer::ShrinkToFit() noexcept {
  if (data == nullptr || size == capacity) return;
  if (void* block = Resize(data, size + 1)) {
    data = static_cast<char*>(block);
    capacity = size;
  }
}

char* TextBuffer::Release() noexcept {
  if (data == nullptr) {
    data = static_cast<char*>(Resize(nullptr, 1));
    if (data == nullptr) return nullptr;
  }
  data[size] = '\0';
  size = 0;
  capacity = 0;
  return std::exchange(data, nullptr);
}

}  // namespace Ostrel
