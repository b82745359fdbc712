/* A test plug-in: exports declared with 0, 2 and 15 parameters in the standard Windows calling
   convention, and "zenu_msg". It records what it receives for the bridge tests. */
#include <string.h>
#include <windows.h>

#include "tests/plugins/test_plugin.h"

static TestRecord record;

__declspec(dllexport) TestRecord* QEV_CALL Record(void) { return &record; }

__declspec(dllexport) QevValue QEV_CALL NoParameters(void) {
  ++record.no_parameter_calls;
  return 70;
}

__declspec(dllexport) QevValue QEV_CALL TwoParameters(QevValue a, QevValue b) {
  record.two[0] = a;
  record.two[1] = b;
  return a + b;
}

__declspec(dllexport) QevValue QEV_CALL FifteenParameters(
    QevValue a1, QevValue a2, QevValue a3, QevValue a4, QevValue a5, QevValue a6, QevValue a7,
    QevValue a8, QevValue a9, QevValue a10, QevValue a11, QevValue a12, QevValue a13, QevValue a14,
    QevValue a15) {
  const QevValue all[15] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15};
  memcpy(record.fifteen, all, sizeof all);
  if (a1) lstrcpynA(record.fifteen_text, (const char*)a1, sizeof record.fifteen_text);
  if (a2) memcpy(record.fifteen_bytes, (const char*)a2, 2);
  return a15;
}

__declspec(dllexport) QevValue QEV_CALL zenu_msg(QevValue message, QevValue param1,
                                                 QevValue param2) {
  ++record.messages;
  record.last_message[0] = message;
  record.last_message[1] = param1;
  record.last_message[2] = param2;
  return record.answer;
}
