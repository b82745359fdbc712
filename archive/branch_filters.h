// Branch converters (x86 BCJ, ARM, ARM-Thumb, ARM64, PowerPC, IA-64, SPARC, RISC-V) and the Delta
// filter, as in-place block converters and as pull-stream decoders over one input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/stream.h"

namespace sz {

// In-place converters. `pc` is the position of data[0] in the filtered stream (plus the start
// offset). Each returns how many leading bytes are final; the rest needs more bytes after it
// before it can be converted (at the very end of a stream those bytes pass unchanged).
struct X86State {
  uint32_t mask = 0;               // which of the recent bytes were E8/E9 candidates
  uint32_t last_marker = ~0u - 4;  // pc of the last E8/E9 seen (far in the past at start)
};
size_t ConvertX86(uint8_t* data, size_t size, uint32_t pc, X86State* state, bool encoding);
size_t ConvertArm(uint8_t* data, size_t size, uint32_t pc, bool encoding);
size_t ConvertArmt(uint8_t* data, size_t size, uint32_t pc, bool encoding);
size_t ConvertArm64(uint8_t* data, size_t size, uint32_t pc, bool encoding);
size_t ConvertPpc(uint8_t* data, size_t size, uint32_t pc, bool encoding);
size_t ConvertSparc(uint8_t* data, size_t size, uint32_t pc, bool encoding);
size_t ConvertIa64(uint8_t* data, size_t size, uint32_t pc, bool encoding);
// RISC-V decoding only: its encoder is a different transform.
size_t DecodeRiscv(uint8_t* data, size_t size, uint32_t pc);

// True for the single-input filter methods MakeFilterDecoder accepts.
bool IsBranchOrDeltaMethod(uint64_t method_id);

// A decoder of one filter method over `input`. Branch converters accept no properties or a 4-byte
// little-endian start offset (ARM64 and RISC-V: the offset must be a multiple of 4 and 2); Delta
// takes one byte, distance - 1. Null with kUnsupported for an unknown method or bad properties.
std::unique_ptr<InStream> MakeFilterDecoder(uint64_t method_id, std::unique_ptr<InStream> input,
                                            const std::vector<uint8_t>& props, Result* result);

}  // namespace sz
