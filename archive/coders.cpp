// From a coder's method id to its decoder. Copy lives here; the other methods come from their
// own files and are joined in as they become available.
#include <algorithm>

#include "archive/aes_decoder.h"
#include "archive/bcj2.h"
#include "archive/branch_filters.h"
#include "archive/coders.h"
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
    case method::kBcj2:
    case method::kAes:
      return true;
    default:
      return IsBranchOrDeltaMethod(method_id);
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
      return MakeLzma2Decoder(std::move(inputs[0]), properties, unpack_size, result);
    case method::kBcj2:
      return MakeBcj2Decoder(std::move(inputs), unpack_size, result);
    case method::kAes:
      return MakeAesDecoder(std::move(inputs[0]), properties, context, result, unpack_size);
    default:
      if (IsBranchOrDeltaMethod(method_id))
        return MakeFilterDecoder(method_id, std::move(inputs[0]), properties, result);
      return Fail(result, Result::kUnsupported);
  }
}

}  // namespace sz
