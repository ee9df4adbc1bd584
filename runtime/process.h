// Process start and end as the utility sees them.
#pragma once

namespace rt {

// Runs before the program's entry (a static constructor calls it) and may be called again; only
// the first call does the work: floating point rounds to nearest, ties to even, and character
// classification follows the environment's locale.
void startup();

// Keeps the command line for whoever asks later.
void record_arguments(int argc, char** argv);
int argument_count();
char** argument_vector();

// Ends the process with the exit code. Exit handlers run in the reverse order of their
// registration (an open screen's handler among them) before the runtime shuts down.
[[noreturn]] void end(int code);

} // namespace rt
