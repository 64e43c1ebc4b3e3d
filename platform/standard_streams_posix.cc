#include "platform/standard_streams.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

void PrepareStandardStreams() {
  // The stand-in for a closed descriptor is the null device opened the other
  // way round: input for writing, output for reading, so that every use fails
  // as it did on the closed descriptor. Taken in order, each open gets the
  // lowest free descriptor, which is the one being held.
  static const int kStandInModes[3] = {O_WRONLY, O_RDONLY, O_RDONLY};
  for (int fd = 0; fd < 3; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    int held = open("/dev/null", kStandInModes[fd]);
    if (held >= 0 && held != fd)
      close(held);
  }
  signal(SIGPIPE, SIG_IGN);
}
