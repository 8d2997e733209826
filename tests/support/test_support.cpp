#include "test_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace test_support {

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return condition();
        }
        PumpMessagesFor(5);
    }
}

void RunWhilePumping(const std::function<void()>& action) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        action();
        done.store(true);
    });
    WaitUntil([&] { return done.load(); }, INFINITE);
    worker.join();
}

void PumpMessagesFor(DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                  QS_ALLINPUT);
    }
}

std::wstring SiblingExecutable(const wchar_t* fileName) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring result(path, length);
    result.resize(result.find_last_of(L"\\/") + 1);
    return result + fileName;
}

std::wstring TempFilePath(const wchar_t* prefix) {
    wchar_t directory[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    wchar_t path[MAX_PATH];
    GetTempFileNameW(directory, prefix, 0, path);
    return path;
}

ChildProcess::~ChildProcess() {
    Kill();
}

bool ChildProcess::Start(const std::wstring& exePath, const std::wstring& arguments) {
    Kill();
    std::wstring commandLine = L"\"" + exePath + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    return CreateProcessW(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info_) != FALSE;
}

bool ChildProcess::IsRunning() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

long ChildProcess::WaitForExit(DWORD timeoutMs) {
    if (!info_.hProcess) {
        return -1;
    }
    const bool ended = WaitUntil([this] { return !IsRunning(); }, timeoutMs);
    DWORD code = 0;
    if (!ended || !GetExitCodeProcess(info_.hProcess, &code)) {
        return -1;
    }
    return static_cast<long>(code);
}

void ChildProcess::Kill() {
    if (!info_.hProcess) {
        return;
    }
    if (IsRunning()) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
    info_ = {};
}

HWND FindTargetWindow() {
    return FindWindowW(L"PELORINVOICECHANGER", L"Pelorin Voice Changer");
}

StandIn::StandIn(const std::wstring& extraArguments)
    : logPath_(TempFilePath(L"pvc")), extraArguments_(extraArguments) {}

StandIn::~StandIn() {
    Stop();
    DeleteFileW(logPath_.c_str());
}

bool StandIn::Start() {
    std::wstring arguments = L"--log \"" + logPath_ + L"\"";
    if (!extraArguments_.empty()) {
        arguments += L" " + extraArguments_;
    }
    if (!process_.Start(SiblingExecutable(L"stand_in_voice_changer.exe"), arguments)) {
        return false;
    }
    return WaitUntil([] { return FindTargetWindow() != nullptr; }, 10000);
}

void StandIn::Stop() {
    process_.Kill();
    WaitUntil([] { return FindTargetWindow() == nullptr; }, 5000);
}

HWND StandIn::Window() const {
    return FindTargetWindow();
}

std::vector<ReceivedCommand> StandIn::Commands() const {
    std::vector<ReceivedCommand> commands;
    HANDLE file = CreateFileW(logPath_.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return commands;
    }
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    CloseHandle(file);

    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        ReceivedCommand command;
        char hex[130] = "";
        if (std::sscanf(line.c_str(), "id=%llu bytes=%lu hex=%129s qpc=%lld", &command.id,
                        &command.bytes, hex, &command.qpc) != 4) {
            continue;
        }
        for (size_t i = 0; hex[i] != '-' && hex[i] && hex[i + 1]; i += 2) {
            const char pair[3] = {hex[i], hex[i + 1], 0};
            command.data.push_back(static_cast<char>(std::strtoul(pair, nullptr, 16)));
        }
        commands.push_back(command);
    }
    return commands;
}

std::vector<std::string> StandIn::Payloads() const {
    std::vector<std::string> payloads;
    for (const ReceivedCommand& command : Commands()) {
        payloads.push_back(command.data);
    }
    return payloads;
}

bool StandIn::WaitForCommandCount(size_t count, DWORD timeoutMs) const {
    return WaitUntil([&] { return Commands().size() >= count; }, timeoutMs);
}

void SendKey(WORD virtualKey, bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

void TapKey(WORD virtualKey) {
    SendKey(virtualKey, true);
    SendKey(virtualKey, false);
}

void SendMouseButton(DWORD flags, DWORD mouseData) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.mouseData = mouseData;
    SendInput(1, &input, sizeof input);
}

void MoveCursorTo(int x, int y) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

} // namespace test_support
