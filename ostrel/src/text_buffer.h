// A text that grows at its end, held in the memory the library hands its
// texts out in: malloc on most platforms, the COM task allocator on Windows
// (see ostrel.h). A request message is written into one and later handed to
// the game as it is, without a copy.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace Ostrel {

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
    if (text.empty()) return;
    if (text.size() > capacity - size) Grow(text.size());
    std::memcpy(data + size, text.data(), text.size());
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
