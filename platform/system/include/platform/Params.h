// The command line and the program's own location, as the system sees them.
//
// Arguments come from /proc/self/cmdline, exactly as the process received them. The program
// file is shown as a Windows-style path on drive Z: (the POSIX root), so that the folder
// arithmetic the system does on it (program folder + "History.txt") stays in its own path
// form. Read once per process; this header must never change the command line.
#pragma once

#include "platform/Types.h"

// Number of arguments after the program name.
Integer ParamCount();
// Index 0: the program file's full path ("Z:\usr\bin\Tarvik"); 1 .. ParamCount: the
// arguments; any other index: empty.
String ParamStr(Integer Index);
// The folder of the program file with a trailing backslash ("Z:\usr\bin\").
String ProgramFolder();
