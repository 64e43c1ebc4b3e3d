// Character tests that do not depend on the locale: the program folds only the
// letters a to z and treats exactly six characters as whitespace.
#ifndef VEXMOR_SESSION_ASCII_H_
#define VEXMOR_SESSION_ASCII_H_

// Tab, line feed, vertical tab, form feed, carriage return and blank.
inline bool IsWhitespace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

inline char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether `text` equals `upper`, an upper-case word, with a to z folded.
inline bool EqualsFolded(const char* text, const char* upper) {
  for (; *upper != '\0'; ++text, ++upper) {
    if (AsciiUpper(*text) != *upper)
      return false;
  }
  return *text == '\0';
}

#endif  // VEXMOR_SESSION_ASCII_H_
