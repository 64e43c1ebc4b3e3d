// Where a run begins and ends: the entry routine and the runtime bracket around
// the program's main routine.
#ifndef VEXMOR_INVOCATION_BRACKET_H_
#define VEXMOR_INVOCATION_BRACKET_H_

// The entry routine: receives the process's arguments and hands them to the
// runtime bracket. Its address is what the runtime is told the program starts at.
// The runtime library must be loaded before it is called.
int ProgramEntry(int argc, char** argv);

// Starts the Velmora runtime, lets it rewrite the arguments, runs ProgramMain
// inside it and stops it again. Returns the process's exit status.
int RunInRuntime(int argc, char** argv);

// Shows the text of a failed start-up status on the console.
void ShowStartupStatus(const char* text);

#endif  // VEXMOR_INVOCATION_BRACKET_H_
