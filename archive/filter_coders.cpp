// Dispatch to the decoders of the filter family by method id.
#include "archive/filter_coders.h"

#include "archive/aes_decoder.h"
#include "archive/bcj2.h"
#include "archive/branch_filters.h"
#include "archive/bzip2_decoder.h"
#include "archive/deflate_decoder.h"
#include "archive/ppmd_decoder.h"

namespace sz {

bool IsFilterFamilyMethod(uint64_t id) {
  return IsBranchOrDeltaMethod(id) || id == method::kBcj2 || id == method::kAes ||
         id == method::kPpmd || id == method::kBzip2 || id == method::kDeflate ||
         id == kDeflate64Method;
}

std::unique_ptr<InStream> CreateFilterFamilyDecoder(uint64_t id,
                                                    const std::vector<uint8_t>& properties,
                                                    std::vector<std::unique_ptr<InStream>> inputs,
                                                    uint64_t unpack_size,
                                                    const CoderContext& context, Result* result) {
  *result = Result::kUnsupported;
  if (!IsFilterFamilyMethod(id)) return nullptr;
  if (id == method::kBcj2) {
    if (!properties.empty()) return nullptr;
    return MakeBcj2Decoder(std::move(inputs), unpack_size, result);
  }
  if (inputs.size() != 1 || !inputs[0]) return nullptr;
  std::unique_ptr<InStream> in = std::move(inputs[0]);
  if (id == method::kAes) return MakeAesDecoder(std::move(in), properties, context, result, unpack_size);
  if (id == method::kPpmd) return MakePpmdDecoder(std::move(in), properties, unpack_size, result);
  if (id == method::kBzip2) return MakeBzip2Decoder(std::move(in), unpack_size, result);
  if (id == method::kDeflate || id == kDeflate64Method)
    return MakeDeflateDecoder(std::move(in), id == kDeflate64Method, unpack_size, result);
  return MakeFilterDecoder(id, std::move(in), properties, result);
}

}  // namespace sz
