// The call into plug-in code with functions that declare fewer parameters than they are given,
// in the program's own calling convention (on 32-bit Windows: the callee removes what it
// declared, and the caller's stack pointer must be restored all the same).
#include "plugins/plugin_call.h"

#include <gtest/gtest.h>

#include "plugins/qev_plugin.h"

namespace {

using plugin_abi::QevValue;

QevValue g_seen[15];
int g_calls = 0;

QevValue QEV_CALL NoParameters() {
  ++g_calls;
  return 7;
}

QevValue QEV_CALL TwoParameters(QevValue a, QevValue b) {
  ++g_calls;
  g_seen[0] = a;
  g_seen[1] = b;
  return a - b;
}

QevValue QEV_CALL FifteenParameters(QevValue a1, QevValue a2, QevValue a3, QevValue a4, QevValue a5,
                                    QevValue a6, QevValue a7, QevValue a8, QevValue a9,
                                    QevValue a10, QevValue a11, QevValue a12, QevValue a13,
                                    QevValue a14, QevValue a15) {
  ++g_calls;
  const QevValue all[15] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15};
  for (int i = 0; i < 15; ++i) g_seen[i] = all[i];
  return a15;
}

// The C convention: the caller removes the arguments.
extern "C" QevValue CdeclTwo(QevValue a, QevValue b) { return a * b; }

template <typename F>
uintptr_t Address(F f) {
  return reinterpret_cast<uintptr_t>(reinterpret_cast<void*>(f));
}

TEST(PluginCall, ExportsOfAnyArityKeepTheCallerIntact) {
  PluginValue args[15];
  for (int i = 0; i < 15; ++i) args[i] = 100 + i;
  // Many calls in a row: a stack pointer left off by even one byte would not survive them.
  for (int round = 0; round < 2000; ++round) {
    g_calls = 0;
    ASSERT_EQ(CallPluginProc(Address(NoParameters), args, 15), 7);
    ASSERT_EQ(CallPluginProc(Address(TwoParameters), args, 15), -1);
    ASSERT_EQ(CallPluginProc(Address(CdeclTwo), args, 15), 100 * 101);
    ASSERT_EQ(CallPluginProc(Address(TwoParameters), args, 1), 100);  // zeros after the given
    ASSERT_EQ(CallPluginProc(Address(NoParameters), nullptr, 0), 7);
    ASSERT_EQ(CallPluginProc(Address(FifteenParameters), args, 15), 114);
    ASSERT_EQ(g_calls, 5);
  }
  for (int i = 0; i < 15; ++i) EXPECT_EQ(g_seen[i], 100 + i);
  EXPECT_EQ(CallPluginProc(0, args, 15), -1);
  // Pointer-sized values pass unchanged; the result is 32 bits.
  PluginValue negative[2] = {-5, 3};
  EXPECT_EQ(CallPluginProc(Address(TwoParameters), negative, 2), -8);
}

}  // namespace
