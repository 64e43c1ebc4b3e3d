#include "platform/standard_streams.h"

void PrepareStandardStreams() {
  // Nothing to do: the C runtime keeps descriptors 0 to 2 for the standard
  // streams even when their handles are missing, and a write to a pipe whose
  // reader has gone fails without raising a signal.
}
