#include "process_footprint.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Wine maps the Linux root to drive Z:, which is how /proc is reached here.
std::string ReadWholeFile(const std::wstring& path) {
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return text;
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    CloseHandle(file);
    return text;
}

std::wstring ProcPath(long pid, const wchar_t* leaf) {
    return L"Z:\\proc\\" + std::to_wstring(pid) + L"\\" + leaf;
}

long long StatusField(const std::string& status, const char* name) {
    const char* at = std::strstr(status.c_str(), name);
    return at ? std::atoll(at + std::strlen(name)) : -1;
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
    long found = 0;
    ForEachEntry(L"Z:\\proc", [&](const wchar_t* name) {
        const long pid = std::wcstol(name, nullptr, 10);
        if (pid <= 0 || found) {
            return;
        }
        std::string commandLine = ReadWholeFile(ProcPath(pid, L"cmdline"));
        for (char& c : commandLine) {
            c = c == '\0' ? ' ' : c;
        }
        if (commandLine.find(narrow) != std::string::npos &&
            commandLine.find("ptt_bench") == std::string::npos) {
            found = pid;
        }
    });
    return found;
}

Footprint MeasureFootprint(DWORD windowsPid, long linuxPid) {
    Footprint f;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, windowsPid);
    if (process) {
        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof memory;
        if (K32GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                    sizeof memory) &&
            memory.WorkingSetSize > 0) {
            f.workingSetKb = static_cast<long long>(memory.WorkingSetSize / 1024);
            if (memory.PrivateUsage > 0) {
                f.privateKb = static_cast<long long>(memory.PrivateUsage / 1024);
            }
        }
        DWORD handles = 0;
        if (GetProcessHandleCount(process, &handles) && handles > 0) {
            f.handles = static_cast<long>(handles);
        }
        // A process with windows always owns some; zero means "not reported" (Wine).
        const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
        const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
        f.gdiObjects = gdi ? static_cast<long>(gdi) : -1;
        f.userObjects = user ? static_cast<long>(user) : -1;
        CloseHandle(process);
    }
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        THREADENTRY32 thread = {};
        thread.dwSize = sizeof thread;
        long count = 0;
        for (BOOL more = Thread32First(snapshot, &thread); more;
             more = Thread32Next(snapshot, &thread)) {
            count += thread.th32OwnerProcessID == windowsPid ? 1 : 0;
        }
        f.threads = count;
        CloseHandle(snapshot);
    }
    if (linuxPid > 0) {
        const std::string status = ReadWholeFile(ProcPath(linuxPid, L"status"));
        f.linuxRssKb = StatusField(status, "VmRSS:");
        f.linuxThreads = static_cast<long>(StatusField(status, "Threads:"));
        long fds = 0;
        ForEachEntry(ProcPath(linuxPid, L"fd"), [&](const wchar_t*) { ++fds; });
        f.linuxFds = fds;
    }
    return f;
}

double LinuxCpuSeconds(long linuxPid) {
    const std::string stat = ReadWholeFile(ProcPath(linuxPid, L"stat"));
    // Fields after the parenthesised name: state is field 3, utime 14, stime 15.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    const char* p = stat.c_str() + close + 2;
    double ticks[2] = {0, 0};
    for (int field = 3; field <= 15 && *p; ++field) {
        if (field >= 14) {
            ticks[field - 14] = std::atof(p);
        }
        p = std::strchr(p, ' ');
        p = p ? p + 1 : "";
    }
    constexpr double USER_HZ = 100.0; // the kernel's fixed unit for /proc times
    return (ticks[0] + ticks[1]) / USER_HZ;
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
