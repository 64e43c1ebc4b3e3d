// The floor for a benchmarked session: the least work that produces vexmor's
// output for the benchmark's input, against which vexmor's cost is measured.
//
//   vexmor_floor LIBRARY SERVER [TRANSCRIPT]
//
// It makes vexmor's runtime calls, in vexmor's order, through the same library;
// reads each line of standard input; writes the same bytes to standard output
// and to the transcript; and writes both out at the same points: at every
// prompt, and whenever a buffer of the C library's size for a file would fill.
// It leaves out what the benchmark's input never needs: tidying (its commands
// are tidy already), the STOP word and the shutdown question (input ends at its
// end), status texts (no command fails) and lines that do not fit vexmor's
// line. The time of day is looked up only when the second changes.
//
// Built a second time as vexmor_floor_stdio, which writes through the C
// library's streams (see VEXMOR_FLOOR_STDIO below).

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "platform/velmora_abi.h"

namespace {

[[noreturn]] void Die(const char* what, const char* detail) {
  fprintf(stderr, "vexmor_floor: %s: %s\n", what, detail);
  exit(2);
}

#if VEXMOR_FLOOR_STDIO

// This build writes through the C library's streams instead: the same work,
// with fwrite and fflush in place of buffers of its own, to show what the
// streams themselves cost.
struct Out {
  FILE* stream = nullptr;
};

bool Open(Out* out, const char* path) {
  out->stream = path != nullptr ? fopen(path, "w") : stdout;
  return out->stream != nullptr;
}

inline bool IsOpen(const Out& out) {
  return out.stream != nullptr;
}

inline void Put(Out* out, const char* data, size_t size) {
  fwrite_unlocked(data, 1, size, out->stream);
}

void Flush(Out* out) {
  if (out->stream != nullptr)
    fflush(out->stream);
}

void Close(Out* out) {
  if (out->stream != nullptr)
    fclose(out->stream);
}

#else

// An output file written with one write() per flush, as a buffered stream would.
struct Out {
  int fd = -1;
  size_t used = 0;
  char buffer[4096];
};

bool Open(Out* out, const char* path) {
  out->fd = path != nullptr ? open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666) : 1;
  return out->fd >= 0;
}

inline bool IsOpen(const Out& out) {
  return out.fd >= 0;
}

void WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n <= 0)
      Die("write", strerror(errno));
    data += n;
    size -= static_cast<size_t>(n);
  }
}

void Flush(Out* out) {
  if (out->fd < 0 || out->used == 0)
    return;
  WriteAll(out->fd, out->buffer, out->used);
  out->used = 0;
}

// Past the buffer: writes out what it holds, then the data itself if that
// would not fit either.
void PutLong(Out* out, const char* data, size_t size) {
  Flush(out);
  if (size >= sizeof out->buffer) {
    WriteAll(out->fd, data, size);
    return;
  }
  memcpy(out->buffer, data, size);
  out->used = size;
}

inline void Put(Out* out, const char* data, size_t size) {
  if (size < sizeof out->buffer - out->used) {
    memcpy(out->buffer + out->used, data, size);
    out->used += size;
    return;
  }
  PutLong(out, data, size);
}

void Close(Out* out) {
  Flush(out);
  if (out->fd >= 0)
    close(out->fd);
}

#endif

template <size_t N>
void PutText(Out* out, const char (&text)[N]) {
  Put(out, text, N - 1);
}

// Standard input, read in large blocks and split at line feeds.
struct In {
  char buffer[65536];
  size_t start = 0;
  size_t end = 0;
  bool ended = false;
};

// The next line without its line feed, or null at the end of input. The line
// stays valid until the next call.
const char* NextLine(In* in, size_t* length) {
  for (;;) {
    char* begin = in->buffer + in->start;
    char* feed = static_cast<char*>(memchr(begin, '\n', in->end - in->start));
    if (feed != nullptr) {
      *length = static_cast<size_t>(feed - begin);
      in->start += *length + 1;
      return begin;
    }
    if (in->ended) {
      if (in->start == in->end)
        return nullptr;
      *length = in->end - in->start;
      in->start = in->end;
      return begin;
    }
    memmove(in->buffer, begin, in->end - in->start);
    in->end -= in->start;
    in->start = 0;
    if (in->end == sizeof in->buffer)
      Die("input", "line too long");
    ssize_t n = read(0, in->buffer + in->end, sizeof in->buffer - in->end);
    if (n < 0)
      Die("read", strerror(errno));
    if (n == 0)
      in->ended = true;
    in->end += static_cast<size_t>(n);
  }
}

void PutTwoDigits(char* out, int value) {
  out[0] = static_cast<char>('0' + value / 10 % 10);
  out[1] = static_cast<char>('0' + value % 10);
}

void* Bind(void* library, const char* name) {
  void* entry = dlsym(library, name);
  if (entry == nullptr)
    Die("dlsym", name);
  return entry;
}

int Entry(int, char**) {
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3)
    Die("usage", "vexmor_floor LIBRARY SERVER [TRANSCRIPT]");
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr)
    Die("dlopen", dlerror());
  auto initialize = reinterpret_cast<RuntimeInitializeFn>(Bind(library, "RuntimeInitialize"));
  auto process =
      reinterpret_cast<RuntimeProcessArgumentsFn>(Bind(library, "RuntimeProcessArguments"));
  auto begin = reinterpret_cast<RuntimeBeginProgramFn>(Bind(library, "RuntimeBeginProgram"));
  auto end = reinterpret_cast<RuntimeEndProgramFn>(Bind(library, "RuntimeEndProgram"));
  auto terminate = reinterpret_cast<RuntimeTerminateFn>(Bind(library, "RuntimeTerminate"));
  auto command = reinterpret_cast<ConsoleCommandFn>(Bind(library, "ConsoleCommand"));
  auto lock = reinterpret_cast<LockResponseFn>(Bind(library, "LockResponse"));
  auto unlock = reinterpret_cast<UnlockResponseFn>(Bind(library, "UnlockResponse"));
  auto release = reinterpret_cast<FreeResponseFn>(Bind(library, "FreeResponse"));

  if (initialize(argc, argv) != 0 || process(argc, argv, &argc, &argv) != 0 ||
      begin(Entry, argc, argv, 0, 0) != 0)
    Die("runtime", "start-up failed");

  const char* server = argv[2];
  size_t server_length = strlen(server);
  static Out out;
  static Out file;
  Open(&out, nullptr);
  if (argc > 3 && !Open(&file, argv[3]))
    Die(argv[3], strerror(errno));
  bool transcript = IsOpen(file);
  auto both = [&](const char* data, size_t size) {
    Put(&out, data, size);
    if (transcript)
      Put(&file, data, size);
  };

  PutText(&out, "** Starting remote console session with ");
  if (transcript)
    PutText(&file, "** Starting remote console session with ");
  both(server, server_length);
  both(" **\n", 4);
  VResponse response;
  if (command(server, "", &response) != 0)
    Die("runtime", "probe failed");
  release(response);

  static In in;
  bool have_stamp = false;
  time_t stamped = 0;
  char stamp[8];
  for (;;) {
    both("\n", 1);
    PutText(&out, ">>Pellomar for ");
    Put(&out, server, server_length);
    PutText(&out, "\n>>Type 'stop' to end this program\n");
    both("> ", 2);
    Flush(&out);
    Flush(&file);

    size_t length;
    const char* line = NextLine(&in, &length);
    if (line == nullptr)
      break;
    if (transcript) {
      Put(&file, line, length);
      Put(&file, "\n", 1);
    }
    time_t now = time(nullptr);
    if (!have_stamp || now != stamped) {
      struct tm local;
      localtime_r(&now, &local);
      PutTwoDigits(stamp, local.tm_hour);
      stamp[2] = ':';
      PutTwoDigits(stamp + 3, local.tm_min);
      stamp[5] = ':';
      PutTwoDigits(stamp + 6, local.tm_sec);
      stamped = now;
      have_stamp = true;
    }
    // The line is sent as the runtime's zero-terminated command text.
    char sent[256];
    if (length >= sizeof sent)
      Die("input", "line longer than vexmor's");
    memcpy(sent, line, length);
    sent[length] = '\0';
    both("[", 1);
    both(stamp, sizeof stamp);
    both("] COMMAND SENT: ", 16);
    both(sent, length);
    both("\n", 1);

    if (command(server, sent, &response) != 0)
      Die("runtime", "command failed");
    const char* text = lock(response);
    size_t text_length = strlen(text);
    if (text_length == 0) {
      PutText(&out, "Command sent - no immediate server response\n");
      if (transcript)
        PutText(&file, "Command sent - no immediate server response\n");
    } else {
      both(text, text_length);
      both("\n", 1);
    }
    unlock(response);
    release(response);
  }
  PutText(&out, "\n** Pellomar terminated **\nRemote console session closed.\n");
  if (transcript)
    PutText(&file, "\n** Pellomar terminated **\nRemote console session closed.\n");
  Close(&file);
  end(argc, argv);
  terminate();
  Flush(&out);
  return 0;
}
