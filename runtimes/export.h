// How a runtime stand-in exports its entry points: by name on POSIX; on Windows
// a module-definition file exports them by ordinal only, as the real library does.
#ifndef VEXMOR_RUNTIMES_EXPORT_H_
#define VEXMOR_RUNTIMES_EXPORT_H_

#ifdef _WIN32
#define VELMORA_EXPORT extern "C"
#else
#define VELMORA_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#endif  // VEXMOR_RUNTIMES_EXPORT_H_
