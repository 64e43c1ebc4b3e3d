// Making the standard streams safe to use in whatever state the program was
// started with.
#ifndef VEXMOR_PLATFORM_STANDARD_STREAMS_H_
#define VEXMOR_PLATFORM_STANDARD_STREAMS_H_

// Called first thing in main, before anything opens a file. A standard stream
// that was closed stays unusable (its reads or writes fail as before), but its
// place is held, so that no file the program or the runtime opens later, such
// as the transcript, becomes standard output by accident. A write to a pipe
// whose reader has gone fails instead of ending the process, so that the
// session can wind down in order.
void PrepareStandardStreams();

#endif  // VEXMOR_PLATFORM_STANDARD_STREAMS_H_
