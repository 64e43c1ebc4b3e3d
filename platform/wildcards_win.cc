// The C runtime splits the command line into arguments by the platform's rules.
// Some builds of it also expand wildcards in them, which would turn a server or
// file name holding "*" or "?" into names of files; this turns that off.
extern "C" {
int _dowildcard = 0;
}
