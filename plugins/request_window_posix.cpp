// No windows natively.
#include "plugins/request_window.h"

uintptr_t CreateRequestWindow(uintptr_t, std::string_view, uintptr_t) { return 0; }
uintptr_t CreateHiddenRequestHost(std::string_view) { return 0; }
bool RouteWizardRequests(uintptr_t, WizardRequestHandler) { return false; }
