/* What the test plug-in records of the calls it receives; the bridge tests read it through the
   plug-in's export "Record". */
#ifndef QEV_TEST_PLUGIN_H
#define QEV_TEST_PLUGIN_H

#include "plugins/qev_plugin.h"

#ifdef __cplusplus
using plugin_abi::QevValue;
#endif

typedef struct TestRecord {
  int32_t no_parameter_calls;   /* NoParameters() */
  QevValue two[2];              /* TwoParameters(a, b) */
  QevValue fifteen[15];         /* FifteenParameters(a1 .. a15) */
  char fifteen_text[64];        /* the text at a1 of FifteenParameters */
  char fifteen_bytes[8];        /* the first bytes at a2 */
  int32_t messages;             /* zenu_msg calls */
  QevValue last_message[3];
  QevValue answer;              /* what zenu_msg answers */
} TestRecord;

#endif
