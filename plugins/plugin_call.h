// The one way setup calls into plug-in code: exports, notifications and the callbacks plug-ins
// register all go through CallPluginProc.
#pragma once

#include <cstdint>

// Arguments and results are 32-bit in the shipped program, pointer-sized in a 64-bit build.
using PluginValue = intptr_t;
inline constexpr int kMaxPluginArguments = 15;

// Calls the function at `proc` with the first `count` (0..15) values of `args` followed by zeros
// up to fifteen values, pushed right to left as the standard Windows calling convention wants,
// and returns its 32-bit result. The caller's stack pointer is restored after the call whatever
// the function removed, so a function declared with fewer (or no) parameters, or with the C
// convention, is called safely. A `proc` of 0 calls nothing and gives -1.
int32_t CallPluginProc(uintptr_t proc, const PluginValue* args, int count);
