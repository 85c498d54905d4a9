// The exit code of every end that the setup makes itself, success or failure.
#pragma once

constexpr unsigned kSetupExitCode = 4;
