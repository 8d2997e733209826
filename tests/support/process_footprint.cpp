#include "process_footprint.h"

#include "test_support.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace {

using test_support::ReadWholeFile;
namespace fs = std::filesystem;

// Wine maps the Linux root to drive Z:, which is how /proc is reached here.
std::wstring ProcPath(long pid, const std::wstring& leaf) {
    return L"Z:\\proc\\" + std::to_wstring(pid) + L"\\" + leaf;
}

// No entries when the folder is gone: the process or thread has ended.
fs::directory_iterator Entries(const std::wstring& folder) {
    std::error_code ignored;
    return fs::directory_iterator(folder, ignored);
}

long long StatusField(const std::wstring& path, const char* name) {
    const std::string status = ReadWholeFile(path);
    const char* at = std::strstr(status.c_str(), name);
    return at ? std::atoll(at + std::strlen(name)) : -1;
}

// Field n (from 1) of /proc/<pid>/stat, counted after the parenthesised name,
// which may hold spaces.
long long StatField(long pid, int n) {
    const std::string stat = ReadWholeFile(ProcPath(pid, L"stat"));
    std::istringstream fields(stat.substr(stat.rfind(')') + 1)); // all of it when empty
    std::string skipped;
    for (int field = 3; field < n; ++field) {
        fields >> skipped;
    }
    long long value = 0;
    return fields >> value ? value : -1;
}

} // namespace

long FindLinuxPid(const wchar_t* exeName) {
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%ls", test_support::SiblingExecutable(exeName).c_str());
    long found = 0;
    long long foundStart = -1;
    for (const fs::directory_entry& entry : Entries(L"Z:\\proc")) {
        const long pid = std::wcstol(entry.path().filename().c_str(), nullptr, 10);
        // Wine puts the Windows path of the program first: another build's copy,
        // run by someone else on this machine, is not ours.
        const bool ours = _stricmp(ReadWholeFile(ProcPath(pid, L"cmdline")).c_str(), path) == 0;
        // The newest: a copy that an earlier run left ending is not ours.
        const long long start = ours ? StatField(pid, 22) : -1;
        if (start > foundStart) {
            found = pid;
            foundStart = start;
        }
    }
    return found;
}
const FootprintFigure FOOTPRINT_FIGURES[9] = {
    {"working set, KiB", &Footprint::workingSetKb, 1024},
    {"private bytes, KiB", &Footprint::privateKb, 1024},
    {"handles", &Footprint::handles, 0},
    {"GDI objects", &Footprint::gdiObjects, 0},
    {"USER objects", &Footprint::userObjects, 0},
    {"threads (Windows)", &Footprint::threads, 0},
    {"Linux RSS, KiB", &Footprint::linuxRssKb, 1024},
    {"Linux threads", &Footprint::linuxThreads, 0},
    {"Linux open files", &Footprint::linuxFds, 0},
};

bool FootprintStayedFlat(const Footprint& start, const Footprint& end) {
    bool flat = start.threads > 0;
    if (!flat) {
        std::printf("MISSING: the thread count\n");
    }
    for (const FootprintFigure& figure : FOOTPRINT_FIGURES) {
        const long long before = start.*figure.value;
        const long long after = end.*figure.value;
        if (before < 0 && after < 0) {
            std::printf("not reported here: %s\n", figure.name);
        } else if ((before < 0) != (after < 0)) {
            std::printf("MISSING: %s, %lld then %lld\n", figure.name, before, after);
            flat = false;
        } else if (before >= 0 && after - before > figure.tolerance) {
            std::printf("GREW: %s from %lld to %lld\n", figure.name, before, after);
            flat = false;
        }
    }
    return flat;
}

Footprint MeasureFootprint(DWORD windowsPid, long linuxPid) {
    // A process with windows always owns some of each: zero means "not reported" (Wine).
    auto reported = [](unsigned long long n) { return n ? static_cast<long long>(n) : -1; };
    Footprint f;
    // Each query fails harmlessly, and reads as not reported, when the process is gone.
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, windowsPid);
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    K32GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                            sizeof memory);
    f.workingSetKb = reported(memory.WorkingSetSize / 1024);
    f.privateKb = reported(memory.PrivateUsage / 1024);
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    f.handles = reported(handles);
    f.gdiObjects = reported(GetGuiResources(process, GR_GDIOBJECTS));
    f.userObjects = reported(GetGuiResources(process, GR_USEROBJECTS));
    CloseHandle(process);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof thread;
    f.threads = snapshot == INVALID_HANDLE_VALUE ? -1 : 0; // -1: not reported
    for (BOOL more = Thread32First(snapshot, &thread); more;
         more = Thread32Next(snapshot, &thread)) {
        f.threads += thread.th32OwnerProcessID == windowsPid ? 1 : 0;
    }
    CloseHandle(snapshot);
    if (linuxPid > 0) {
        f.linuxRssKb = StatusField(ProcPath(linuxPid, L"status"), "VmRSS:");
        f.linuxThreads = StatusField(ProcPath(linuxPid, L"status"), "Threads:");
        f.linuxFds = std::distance(Entries(ProcPath(linuxPid, L"fd")), fs::directory_iterator());
        f.linuxCpuTicks = StatField(linuxPid, 14) + StatField(linuxPid, 15);
        f.linuxSwitches = 0;
        for (const fs::directory_entry& task : Entries(ProcPath(linuxPid, L"task"))) {
            const std::wstring status = task.path().wstring() + L"\\status";
            f.linuxSwitches += StatusField(status, "voluntary_ctxt_switches:") +
                               StatusField(status, "nonvoluntary_ctxt_switches:");
        }
    }
    return f;
}
