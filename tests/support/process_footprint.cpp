#include "process_footprint.h"

#include "test_support.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using test_support::ReadWholeFile;

// Wine maps the Linux root to drive Z:, which is how /proc is reached here.
std::wstring ProcPath(long pid, const wchar_t* leaf) {
    return L"Z:\\proc\\" + std::to_wstring(pid) + L"\\" + leaf;
}

long long StatusField(const std::string& status, const char* name) {
    const char* at = std::strstr(status.c_str(), name);
    return at ? std::atoll(at + std::strlen(name)) : -1;
}

// Field n (from 1) of /proc/<pid>/stat, counted after the parenthesised name.
double StatField(long pid, int n) {
    const std::string stat = ReadWholeFile(ProcPath(pid, L"stat"));
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    const char* p = stat.c_str() + close + 2; // field 3
    for (int field = 3; field < n && p; ++field) {
        p = std::strchr(p, ' ');
        p = p ? p + 1 : nullptr;
    }
    return p ? std::atof(p) : -1;
}

template <typename Visit> void ForEachEntry(const std::wstring& folder, Visit visit) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if (entry.cFileName[0] != L'.') {
            visit(entry.cFileName);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

} // namespace

long FindLinuxPid(const wchar_t* exeName) {
    char narrow[MAX_PATH];
    std::snprintf(narrow, sizeof narrow, "%ls", exeName);
    const size_t nameLength = std::strlen(narrow);
    long found = 0;
    double foundStart = -1;
    ForEachEntry(L"Z:\\proc", [&](const wchar_t* name) {
        const long pid = std::wcstol(name, nullptr, 10);
        // Wine puts the Windows path of the program first: match its file name.
        const std::string program = ReadWholeFile(ProcPath(pid, L"cmdline")).c_str();
        const size_t at = program.size() > nameLength ? program.size() - nameLength : 0;
        if (at == 0 || _stricmp(program.c_str() + at, narrow) != 0 ||
            (program[at - 1] != '\\' && program[at - 1] != '/')) {
            return;
        }
        // The newest: a copy that an earlier run left ending is not ours.
        const double start = StatField(pid, 22);
        if (start > foundStart) {
            found = pid;
            foundStart = start;
        }
    });
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
    auto reported = [](unsigned long long value) {
        return value ? static_cast<long long>(value) : -1;
    };
    Footprint f;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, windowsPid);
    if (process) {
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
    }
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof thread;
    f.threads = 0;
    for (BOOL more = Thread32First(snapshot, &thread); more;
         more = Thread32Next(snapshot, &thread)) {
        f.threads += thread.th32OwnerProcessID == windowsPid ? 1 : 0;
    }
    CloseHandle(snapshot);
    if (linuxPid > 0) {
        const std::string status = ReadWholeFile(ProcPath(linuxPid, L"status"));
        f.linuxRssKb = StatusField(status, "VmRSS:");
        f.linuxThreads = StatusField(status, "Threads:");
        f.linuxFds = 0;
        ForEachEntry(ProcPath(linuxPid, L"fd"), [&](const wchar_t*) { ++f.linuxFds; });
    }
    return f;
}

double LinuxCpuSeconds(long linuxPid) {
    constexpr double USER_HZ = 100.0; // the kernel's fixed unit for /proc times
    const double user = StatField(linuxPid, 14);
    const double system = StatField(linuxPid, 15);
    return user < 0 || system < 0 ? -1 : (user + system) / USER_HZ;
}

long long LinuxContextSwitches(long linuxPid) {
    long long total = 0;
    ForEachEntry(ProcPath(linuxPid, L"task"), [&](const wchar_t* task) {
        const std::string status = ReadWholeFile(
            ProcPath(linuxPid, (std::wstring(L"task\\") + task + L"\\status").c_str()));
        total += StatusField(status, "voluntary_ctxt_switches:") +
                 StatusField(status, "nonvoluntary_ctxt_switches:");
    });
    return total;
}
