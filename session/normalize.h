// Tidying a typed line into the command the session works with.
#ifndef VEXMOR_SESSION_NORMALIZE_H_
#define VEXMOR_SESSION_NORMALIZE_H_

// Writes the words of `line`, in order, separated by exactly one blank and with
// nothing before the first or after the last, into `command`. Every run of
// whitespace counts as one separator; every other byte is part of a word.
// `command` needs room for as many characters as `line` holds, plus the zero.
void NormalizeCommand(const char* line, char* command);

#endif  // VEXMOR_SESSION_NORMALIZE_H_
