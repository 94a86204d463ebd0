// A shared library with none of the functions of the library whose name it is given (see
// tests/CMakeLists.txt): put first on a child's library path, it is what that child finds in place
// of the real one, so the child meets a library that loads but cannot be used.
int orbitchatEmptyLibraryStandIn = 0;
