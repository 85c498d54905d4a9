// HardenProcess: the start-up steps that keep a setup run from a download folder from loading foreign code.
#pragma once

// Call first, before any window: afterwards no DLL is loaded from the program's folder or the current directory.
void HardenProcess();
