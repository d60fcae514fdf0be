// simblock's network commands, parsed here on their own:
//   simblock net-receive [--name NAME] [--net-domain N] [--net-peer HOST]... [--net-keys DIR] [--net-interface NAME]
//   simblock net-keys make DIR | check DIR
#pragma once

namespace NetCommands {

// Whether the command line names one of them (options may come first).
bool Wanted(int argc, char** argv);
// Runs it; the process's exit status.
int Run(int argc, char** argv);
// The usage lines simblock's own usage text shows for them.
const char* Usage();

} // namespace NetCommands
