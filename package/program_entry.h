// The first steps of the program entry, before any window: DLLs are searched only in the system
// folder, and the archive library is written into a private folder of the run.
#pragma once

// Returns true when the archive library file was written.
bool PrepareProgramEntry();
