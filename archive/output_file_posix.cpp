// Native side of the output-file helpers: no read-only flag stands in the way of an overwrite,
// and the file attributes have no counterpart.
#include "archive/output_file.h"

namespace sz {

void PrepareOverwrite(const std::string&) {}

void SetOutputAttributes(const std::string&, uint32_t, bool) {}

}  // namespace sz
