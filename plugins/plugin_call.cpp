// The call into plug-in code. On 32-bit Windows a small thunk keeps the caller's stack pointer in
// its frame pointer across the call; in 64-bit builds the caller removes the arguments anyway, so
// a plain call with all fifteen values is already safe.
#include "plugins/plugin_call.h"

#include <algorithm>

#if defined(__i386__)
// int32_t qev_call_plugin(uintptr_t proc, const intptr_t* args, int count), C convention.
extern "C" int32_t qev_call_plugin(uintptr_t proc, const PluginValue* args, int count);
asm(R"(
    .text
    .p2align 4
    .globl _qev_call_plugin
_qev_call_plugin:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    movl 8(%ebp), %eax
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    # The callee's arguments start on a 16-byte boundary, as compilers of either convention like.
    leal 0(,%ecx,4), %edx
    subl %edx, %esp
    andl $-16, %esp
    addl %edx, %esp
    testl %ecx, %ecx
    jz 2f
1:
    pushl -4(%esi,%ecx,4)
    decl %ecx
    jnz 1b
2:
    call *%eax
    # Whatever the callee removed (all, some or none of its arguments), the frame is as before.
    leal -4(%ebp), %esp
    popl %esi
    popl %ebp
    ret
)");
#endif

int32_t CallPluginProc(uintptr_t proc, const PluginValue* args, int count) {
  if (proc == 0) return -1;
  // Always fifteen values, zeros after the given ones: a function that declares more parameters
  // than its caller knows of reads zeros, not whatever lies on the stack.
  PluginValue a[kMaxPluginArguments] = {};
  if (args) std::copy(args, args + std::clamp(count, 0, kMaxPluginArguments), a);
#if defined(__i386__)
  return qev_call_plugin(proc, a, kMaxPluginArguments);
#else
  using Proc = PluginValue (*)(PluginValue, PluginValue, PluginValue, PluginValue, PluginValue,
                               PluginValue, PluginValue, PluginValue, PluginValue, PluginValue,
                               PluginValue, PluginValue, PluginValue, PluginValue, PluginValue);
  const PluginValue result = reinterpret_cast<Proc>(proc)(a[0], a[1], a[2], a[3], a[4], a[5], a[6],
                                                          a[7], a[8], a[9], a[10], a[11], a[12],
                                                          a[13], a[14]);
  return static_cast<int32_t>(result);
#endif
}
