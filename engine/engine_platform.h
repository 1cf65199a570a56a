// EnginePlatform: the platform type the engine calls.
//
// Every build of the engine but uninst.exe's calls the platform interface
// through its table of virtual calls, so that any implementation serves: the
// unit tests' fake, uninstdat's described machine. uninst.exe has exactly one
// platform, the Win32 one, and its build binds it at compile time
// (UNINST_BIND_WIN32_PLATFORM): every call of the engine is then a direct call
// that the compiler may inline, and no table with a body for each of its
// entries is linked. Which calls are made, in which order and with which
// arguments, is the same in both: the source is one.
#pragma once

#ifdef UNINST_BIND_WIN32_PLATFORM
#include "platform/win32_platform.h"
#else
#include "platform/platform.h"
#endif

namespace uninst {

#ifdef UNINST_BIND_WIN32_PLATFORM
using EnginePlatform = Win32Platform;
#else
using EnginePlatform = Platform;
#endif

}  // namespace uninst
