// What a running process costs, read from Windows where Wine reports it and
// from the Linux process behind it where it does not.
#pragma once

#include <windows.h>

#include <string>

struct Footprint {
    long long workingSetKb = -1; // Windows working set, -1 when not reported
    long long privateKb = -1;    // Windows private bytes
    long handles = -1;           // Windows handle count
    long gdiObjects = -1;        // GetGuiResources
    long userObjects = -1;
    long threads = -1;         // Toolhelp thread count
    long long linuxRssKb = -1; // /proc/<pid>/status VmRSS
    long linuxThreads = -1;    // /proc/<pid>/status Threads
    long linuxFds = -1;        // entries of /proc/<pid>/fd
};

// The Linux process id of a Wine process whose command line names exeName,
// or 0 when there is none (or this is not Wine).
long FindLinuxPid(const wchar_t* exeName);

Footprint MeasureFootprint(DWORD windowsPid, long linuxPid);

// CPU time (user + system) of a Linux process in seconds, -1 when unknown.
double LinuxCpuSeconds(long linuxPid);

// Context switches of all its threads: every wake-up of a sleeping thread counts.
long long LinuxContextSwitches(long linuxPid);
