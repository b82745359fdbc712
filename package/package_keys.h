// The shared passwords moved to the run-time layer, where the variable pass can reach them.
#pragma once

#include "runtime/package_keys.h"
