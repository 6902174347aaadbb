#include "gzip_body.h"

#include <zlib.h>

#include <new>
#include <stdexcept>

namespace Delivery {
namespace {

constexpr int kGzipWindowBits = 15 + 16;  // the largest window, with the gzip wrapper
constexpr int kMemoryLevel = 8;           // zlib's default

class Deflater {
 public:
  Deflater() {
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
      throw std::bad_alloc();
    }
  }
  ~Deflater() { deflateEnd(&stream); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;
  z_stream stream{};
};

}  // namespace

std::string Gzip(std::string_view body) {
  if (body.size() > kGzipLargestBytes) throw std::length_error("body too large to compress");
  Deflater deflater;
  z_stream& stream = deflater.stream;
  // deflateBound is enough for a single call with Z_FINISH.
  std::string compressed(deflateBound(&stream, static_cast<uLong>(body.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
  stream.avail_in = static_cast<uInt>(body.size());
  stream.next_out = reinterpret_cast<Bytef*>(compressed.data());
  stream.avail_out = static_cast<uInt>(compressed.size());
  if (deflate(&stream, Z_FINISH) != Z_STREAM_END) throw std::bad_alloc();
  compressed.resize(stream.total_out);
  return compressed;
}

}  // namespace Delivery
