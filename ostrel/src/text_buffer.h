// A text that grows at its end, held in the memory the library hands its
// texts out in: malloc on most platforms, the COM task allocator on Windows
// (see ostrel.h). A request message is written into one and later handed to
// the game as it is, without a copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace Ostrel {

// memcpy, done here for the short texts most appends are: up to 16 bytes as
// two copies that overlap in the middle, within the bytes given.
inline void CopyBytes(char* to, const char* from, std::size_t size) {
  if (size > 16) {
    std::memcpy(to, from, size);
  } else if (size >= 8) {
    std::uint64_t head;
    std::uint64_t tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + size - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + size - 8, &tail, 8);
  } else if (size >= 4) {
    std::uint32_t head;
    std::uint32_t tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + size - 4, 4);
    std::memcpy(to, &head, 4);
    std::memcpy(to + size - 4, &tail, 4);
  } else if (size > 0) {
    to[0] = from[0];
    to[size / 2] = from[size / 2];
    to[size - 1] = from[size - 1];
  }
}

class TextBuffer {
 public:
  TextBuffer() = default;
  explicit TextBuffer(std::string_view text) { Append(text); }
  TextBuffer(TextBuffer&& other) noexcept;
  TextBuffer& operator=(TextBuffer&& other) noexcept;
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;
  ~TextBuffer();

  // Room for `size` bytes in all, so that appending up to there allocates
  // nothing. Throws std::bad_alloc when memory runs out, keeping the text.
  void Reserve(std::size_t size);

  void Append(std::string_view text) {
    if (text.size() > capacity - size) Grow(text.size());
    CopyBytes(data + size, text.data(), text.size());
    size += text.size();
  }

  void Append(char c) {
    if (size == capacity) Grow(1);
    data[size++] = c;
  }

  // Gives back the room beyond the text (without moving it, as a rule).
  void ShrinkToFit() noexcept;

  void Clear() { size = 0; }

  std::string_view View() const { return {data, size}; }
  std::size_t Size() const { return size; }

  // The text with a terminating NUL, now owned by the caller, who releases
  // it as ostrel.h says; the buffer is left empty. Null only when memory
  // runs out, the text then staying in the buffer.
  char* Release() noexcept;

 private:
  void Grow(std::size_t more);

  // One byte more than `capacity` is allocated, for the NUL of Release.
  char* data = nullptr;
  std::size_t size = 0;
  std::size_t capacity = 0;
};

}  // namespace Ostrel
