// One entry to the decoders of this family (branch converters, Delta, BCJ2, 7zAES, PPMd, BZip2,
// Deflate, Deflate64), with the arguments of the general decoder factory.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/stream.h"

namespace sz {

// True when CreateFilterFamilyDecoder knows `method_id`.
bool IsFilterFamilyMethod(uint64_t method_id);

// The decoder of one coder. `inputs` holds four streams for BCJ2 and one for every other method.
// Null with kUnsupported for a method of another family, a wrong number of inputs or bad
// properties; other failures as the single factories report them.
std::unique_ptr<InStream> CreateFilterFamilyDecoder(uint64_t method_id,
                                                    const std::vector<uint8_t>& properties,
                                                    std::vector<std::unique_ptr<InStream>> inputs,
                                                    uint64_t unpack_size,
                                                    const CoderContext& context, Result* result);

}  // namespace sz
