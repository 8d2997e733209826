// Helpers shared by the tests: child processes, the stand-in voice changer's
// log, synthetic input and deadline waits.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace test_support {

// Polls until the condition holds or the deadline passes, pumping this
// thread's messages meanwhile so that hooks and sent messages keep flowing.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// Runs the action on another thread while this one keeps pumping: input sent
// from the thread that owns the hooks would wait on itself.
void RunWhilePumping(const std::function<void()>& action);

// Pumps this thread's messages for the given time.
void PumpMessagesFor(DWORD milliseconds);

// Full path of an executable built next to the running test.
std::wstring SiblingExecutable(const wchar_t* fileName);

std::wstring TempFilePath(const wchar_t* prefix);

class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    bool Start(const std::wstring& exePath, const std::wstring& arguments);
    bool IsRunning() const;
    // Returns the exit code, or -1 when the process did not end in time.
    long WaitForExit(DWORD timeoutMs);
    void Kill();
    DWORD Id() const {
        return info_.dwProcessId;
    }

  private:
    PROCESS_INFORMATION info_ = {};
};

struct ReceivedCommand {
    unsigned long long id = 0;
    unsigned long bytes = 0;
    std::string data; // the raw bytes
    long long qpc = 0;
};

// The stand-in voice changer, run as a separate process.
class StandIn {
  public:
    explicit StandIn(const std::wstring& extraArguments = L"");
    ~StandIn();

    bool Start();
    void Stop();
    HWND Window() const;
    std::vector<ReceivedCommand> Commands() const;
    // The payloads received so far, e.g. {"2|0", "2|1"}.
    std::vector<std::string> Payloads() const;
    bool WaitForCommandCount(size_t count, DWORD timeoutMs) const;

  private:
    std::wstring logPath_;
    std::wstring extraArguments_;
    ChildProcess process_;
};

HWND FindTargetWindow();

// Real input through SendInput.
void SendKey(WORD virtualKey, bool down);
void TapKey(WORD virtualKey);
void SendMouseButton(DWORD flags, DWORD mouseData = 0);
void MoveCursorTo(int x, int y);

} // namespace test_support
