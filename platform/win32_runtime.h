// What uninst.exe has instead of a C runtime. Retail Windows 95 ships no
// msvcrt.dll, and the loader refuses a program whose DLL is missing, so the
// program links none: its entry point, the static construction and
// destruction of its objects, and the memory routines that the compiler may
// emit calls to are its own, built on KERNEL32 alone.
#pragma once

namespace uninst {

// Runs the static constructors, first to last in the order the C runtime
// would run them. Objects with destructors register them through atexit.
void RunStaticConstructors();

// Runs the routines registered with atexit, the last registered first, as
// the C runtime does at process exit.
void RunExitRoutines();

}  // namespace uninst
