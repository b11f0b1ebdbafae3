// A library of the tests' own, for a helper to load: the search for the
// processes that hold a file finds the helper by it.
#include <windows.h>

extern "C" __declspec(dllexport) int ProbeLibraryMark() { return 42; }
