// There is no window natively: the progress window keeps its texts without showing them.
#include "package/progress_window.h"

std::unique_ptr<ProgressView> OpenProgressWindow() { return nullptr; }
