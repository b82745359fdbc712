// From a coder's method id to its decoder. Copy lives here; the other methods come from their
// own files and are joined in as they become available.
#include <algorithm>
#include <thread>

#include "archive/coders.h"
#include "archive/filter_coders.h"
#include "archive/lzma2_decoder.h"
#include "archive/lzma_decoder.h"
#include "archive/stream.h"

namespace sz {
namespace {

// Passes exactly `size` bytes of its input through; input that ends early is a data error.
class CopyDecoder : public InStream {
 public:
  CopyDecoder(std::unique_ptr<InStream> in, uint64_t size) : in_(std::move(in)), left_(size) {}

  Result Read(uint8_t* buffer, size_t size, size_t* got) override {
    *got = 0;
    if (error_ != Result::kOk) return error_;
    size_t want = size_t(std::min<uint64_t>(size, left_));
    if (want == 0) return Result::kOk;
    Result r = ReadFull(*in_, buffer, want, got);
    if (r == Result::kOk && *got < want) r = Result::kDataError;
    left_ -= *got;
    if (r != Result::kOk) error_ = r;
    return r;
  }

 private:
  std::unique_ptr<InStream> in_;
  uint64_t left_;
  Result error_ = Result::kOk;
};

// Threads for LZMA2 streams made of independent blocks: two cover the common machine, and more
// than four would only multiply the memory held by blocks in flight.
unsigned Lzma2Threads() {
  unsigned n = std::thread::hardware_concurrency();
  return std::min(std::max(n, 1u), 4u);
}

std::unique_ptr<InStream> Fail(Result* result, Result r) {
  *result = r;
  return nullptr;
}

}  // namespace

bool IsMethodSupported(uint64_t method_id) {
  switch (method_id) {
    case method::kCopy:
    case method::kLzma:
    case method::kLzma2:
      return true;
    default:
      return IsFilterFamilyMethod(method_id);
  }
}

std::unique_ptr<InStream> CreateDecoder(uint64_t method_id, const std::vector<uint8_t>& properties,
                                        std::vector<std::unique_ptr<InStream>> inputs,
                                        uint64_t unpack_size, const CoderContext& context,
                                        Result* result) {
  *result = Result::kOk;
  const size_t want_inputs = method_id == method::kBcj2 ? 4 : 1;
  if (inputs.size() != want_inputs) return Fail(result, Result::kUnsupported);
  switch (method_id) {
    case method::kCopy:
      return std::make_unique<CopyDecoder>(std::move(inputs[0]), unpack_size);
    case method::kLzma:
      return MakeLzmaDecoder(std::move(inputs[0]), properties, unpack_size, result);
    case method::kLzma2:
      return MakeLzma2DecoderParallel(std::move(inputs[0]), properties, unpack_size,
                                      Lzma2Threads(), result);
    default:
      if (IsFilterFamilyMethod(method_id))
        return CreateFilterFamilyDecoder(method_id, properties, std::move(inputs), unpack_size,
                                         context, result);
      return Fail(result, Result::kUnsupported);
  }
}

}  // namespace sz
