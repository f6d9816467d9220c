// The one list of every converter of the program, in display order.
#pragma once

// Registers every exporter and importer once (later calls do nothing).
void RegisterAllFormats();
// Removes every row again (tests that build registries of their own).
void UnregisterAllFormats();
