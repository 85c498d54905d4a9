// ESC in a wait prompt quits the whole setup at once.
#include "prompts/WaitPrompt.h"

#include "prompts/ExitCode.h"

// Nothing is closed or stopped first: ending the process ends the dialogs and timers with it.
void CWaitPrompt::OnCancel() { ::ExitProcess(kSetupExitCode); }
