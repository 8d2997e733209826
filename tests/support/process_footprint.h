// What a running process costs, read from Windows where Wine reports it and
// from the Linux process behind it where it does not.
#pragma once

#include <windows.h>

#include <string>

// -1 for a figure the system does not report (Wine reports no handle, GDI,
// USER or private-byte counts of another process).
struct Footprint {
    long long workingSetKb = -1; // Windows working set
    long long privateKb = -1;    // Windows private bytes
    long long handles = -1;      // Windows handle count
    long long gdiObjects = -1;   // GetGuiResources
    long long userObjects = -1;
    long long threads = -1;      // Toolhelp thread count
    long long linuxRssKb = -1;   // /proc/<pid>/status VmRSS
    long long linuxThreads = -1; // /proc/<pid>/status Threads
    long long linuxFds = -1;     // entries of /proc/<pid>/fd
    // Work, not leaks: these two grow as the program runs.
    long long linuxCpuTicks = -1; // user + system time, in the kernel's fixed 1/100 s
    long long linuxSwitches = -1; // context switches of all threads: each wake-up counts
};

struct FootprintFigure {
    const char* name;
    long long Footprint::*value;
    long long tolerance; // growth that is no leak (page-ins move memory)
};
extern const FootprintFigure FOOTPRINT_FIGURES[9];

// True when every figure is reported at both readings or at neither, the
// thread count is reported, and nothing grew beyond its tolerance; prints
// what grew or went missing.
bool FootprintStayedFlat(const Footprint& start, const Footprint& end);

// The Linux process id of the program exeName built next to this one, or 0
// when it is not running (or this is not Wine).
long FindLinuxPid(const wchar_t* exeName);

Footprint MeasureFootprint(DWORD windowsPid, long linuxPid);
