#include "test_support.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <thread>
#include <utility>

namespace test_support {

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= deadline) {
            return condition();
        }
        PumpMessagesFor(5);
    }
    return true;
}

bool RunWhilePumping(DWORD timeoutMs, std::function<void()> action) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread worker([done, action = std::move(action)] {
        action();
        done->store(true);
    });
    const bool finished = WaitUntil([&] { return done->load(); }, timeoutMs);
    finished ? worker.join() : worker.detach();
    return finished;
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

long long QpcNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double QpcMs(long long from, long long to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to - from) / static_cast<double>(frequency.QuadPart);
}

std::wstring SiblingExecutable(const wchar_t* fileName) {
    wchar_t path[MAX_PATH];
    const std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of(L"\\/") + 1) + fileName;
}

std::string ReadWholeFile(const std::wstring& path) {
    // The C runtime opens files shared for reading and writing, so the writer goes on.
    std::ifstream file(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::wstring WindowText(HWND window) {
    wchar_t text[1100] = L"";
    SendMessageTimeoutW(window, WM_GETTEXT, 1100, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        5000, nullptr);
    return text;
}

HWND FindTargetWindow() {
    return FindWindowW(L"PELORINVOICECHANGER", L"Pelorin Voice Changer");
}

bool BringToFront(HWND window) {
    auto inFront = [&] {
        SetForegroundWindow(window);
        return GetForegroundWindow() == window;
    };
    return WaitUntil(inFront, 5000);
}

MessageProbe::MessageProbe() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Proc;
    windowClass.lpszClassName = L"VorrelTestMessageProbe";
    RegisterClassW(&windowClass); // fails harmlessly once registered
    window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                              nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageProbe::~MessageProbe() {
    DestroyWindow(window_);
}

std::vector<LPARAM> MessageProbe::TakePosted(UINT message) {
    std::vector<LPARAM> taken;
    MSG posted;
    while (PeekMessageW(&posted, window_, message, message, PM_REMOVE)) {
        taken.push_back(posted.lParam);
    }
    return taken;
}

LRESULT CALLBACK MessageProbe::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MessageProbe*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message >= WM_USER) {
        self->received_.push_back(message);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

ChildProcess::~ChildProcess() {
    Kill();
}

bool ChildProcess::Start(const std::wstring& exePath, const std::wstring& arguments,
                         int showCommand) {
    Kill();
    std::wstring commandLine = L"\"" + exePath + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (showCommand >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(showCommand);
    }
    return CreateProcessW(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info_) != FALSE;
}

bool ChildProcess::IsRunning() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

long ChildProcess::WaitForExit(DWORD timeoutMs) {
    DWORD code = 0;
    const bool ended = info_.hProcess && WaitUntil([this] { return !IsRunning(); }, timeoutMs);
    return ended && GetExitCodeProcess(info_.hProcess, &code) ? static_cast<long>(code) : -1;
}

void ChildProcess::Kill() {
    if (info_.hProcess) {
        TerminateProcess(info_.hProcess, 1); // fails harmlessly once it has ended
        WaitForSingleObject(info_.hProcess, 5000);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    info_ = {};
}

StandIn::StandIn(const std::wstring& extraArguments) : extraArguments_(extraArguments) {
    wchar_t folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"pvc", 0, path);
    logPath_ = path;
}

StandIn::~StandIn() {
    Stop();
    DeleteFileW(logPath_.c_str());
}

bool StandIn::Start() {
    DeleteFileW(logPath_.c_str());
    const std::wstring arguments = L"--log \"" + logPath_ + L"\" " + extraArguments_;
    const bool shown =
        process_.Start(SiblingExecutable(L"stand_in_voice_changer.exe"), arguments) &&
        WaitUntil([] { return FindTargetWindow() != nullptr; }, 20000);
    if (!shown) {
        std::printf("the stand-in showed no window in 20 s; its exit code: %ld (-1: none yet)\n",
                    process_.WaitForExit(0));
    }
    return shown;
}

void StandIn::Stop() {
    process_.Kill();
    WaitUntil([] { return FindTargetWindow() == nullptr; }, 5000);
}

std::vector<ReceivedCommand> StandIn::Commands() const {
    std::vector<ReceivedCommand> commands;
    std::istringstream log(ReadWholeFile(logPath_));
    // A line still being written ends at the end of the file, not at a newline.
    for (std::string line; std::getline(log, line) && !log.eof();) {
        ReceivedCommand command;
        unsigned long long id = 0, wParam = 0;
        unsigned long bytes = 0;
        char hex[130] = "";
        if (std::sscanf(line.c_str(), "id=%llu bytes=%lu hex=%129s wparam=%llu qpc=%lld", &id,
                        &bytes, hex, &wParam, &command.qpc) != 5) {
            continue;
        }
        unsigned byte = 0;
        for (size_t i = 0; std::sscanf(hex + i, "%2x", &byte) == 1; i += 2) {
            command.payload.push_back(static_cast<char>(byte));
        }
        if (id != 42 || bytes != 3 || command.payload.size() != 3 || wParam != 0) {
            command.payload = "bad id=" + std::to_string(id) + " bytes=" + std::to_string(bytes) +
                              " wparam=" + std::to_string(wParam);
        }
        commands.push_back(command);
    }
    return commands;
}

Payloads StandIn::Payloads(size_t from) const {
    const std::vector<ReceivedCommand> commands = Commands();
    test_support::Payloads payloads;
    for (size_t i = from; i < commands.size(); ++i) {
        payloads.push_back(commands[i].payload);
    }
    return payloads;
}

bool StandIn::WaitForCommandCount(size_t count, DWORD timeoutMs) const {
    return WaitUntil([&] { return Commands().size() >= count; }, timeoutMs);
}

bool StandIn::WaitForLast(const std::string& payload, DWORD timeoutMs) const {
    // A second read holds all of the first: its last is at least as recent.
    return WaitUntil([&] { return !Payloads().empty() && Payloads().back() == payload; },
                     timeoutMs);
}

bool StandIn::WaitUntilServing(DWORD timeoutMs) {
    HWND status = FindWindowExW(FindTargetWindow(), nullptr, L"STATIC", nullptr);
    return WaitUntil([status] { return WindowText(status) == L"serving"; }, timeoutMs);
}

void SendKey(WORD virtualKey, bool down, DWORD time) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki = {virtualKey, static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)),
                static_cast<DWORD>(down ? 0 : KEYEVENTF_KEYUP), time, 0};
    SendInput(1, &input, sizeof input);
}

void TapKey(WORD virtualKey) {
    SendKey(virtualKey, true);
    SendKey(virtualKey, false);
}

void SendMouse(DWORD flags, DWORD mouseData, LONG dx, LONG dy, DWORD time) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi = {dx, dy, mouseData, flags, time, 0};
    SendInput(1, &input, sizeof input);
}

void HotkeyInput::Send(bool down) const {
    if (key) {
        SendKey(key, down);
    } else {
        SendMouse(down ? mouseDown : mouseUp, mouseData);
    }
}

void HotkeyInput::Hold() const {
    // Five of the relay's naps each way, so that a press it should ignore
    // would have been sent before its release replaces it.
    Send(true);
    PumpMessagesFor(50);
    Send(false);
    PumpMessagesFor(50);
}

Payloads TalkCycle(const StandIn& target, const std::function<void(bool down)>& hold,
                   const std::function<void()>& before) {
    const size_t start = target.Commands().size();
    auto since = [&] { return target.Payloads(start); };
    if (before) {
        before();
    }
    hold(true);
    WaitUntil([&] { return !since().empty() && since().back() == "2|1"; }, 3000);
    hold(false);
    WaitUntil([&] { return !since().empty() && since().back() == "2|0"; }, 3000);
    return since();
}

Payloads Changes(const Payloads& sent) {
    Payloads changes;
    std::string last = "2|0";
    for (const std::string& payload : sent) {
        if (payload != last) {
            changes.push_back(last = payload);
        }
    }
    return changes;
}

void MoveCursorTo(int x, int y) {
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, 0,
              MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1),
              MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1));
}

} // namespace test_support
