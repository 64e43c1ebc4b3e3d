// A shared library that exports none of the runtime's entry points, to put where
// the program expects the runtime.
extern "C" int NotTheVelmoraRuntime() {
  return 0;
}
