// Natively there is no DLL search to restrict and the archive library is linked in.
#include "package/program_entry.h"

bool PrepareProgramEntry() { return false; }
