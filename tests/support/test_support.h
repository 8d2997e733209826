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
// from the thread that owns the hooks would wait on itself. False when it has
// not finished in time; its thread is then left running, not joined, so that a
// hang fails the test, and the action must own whatever it touches.
bool RunWhilePumping(DWORD timeoutMs, std::function<void()> action);

// Pumps this thread's messages for the given time.
void PumpMessagesFor(DWORD milliseconds);

// QueryPerformanceCounter now, and the milliseconds between two readings; the
// stand-in stamps each command with the same clock.
long long QpcNow();
double QpcMs(long long from, long long to);

// Full path of an executable built next to the running test.
std::wstring SiblingExecutable(const wchar_t* fileName);

// The file's bytes, empty when it cannot be read; shared with its writer.
std::string ReadWholeFile(const std::wstring& path);

// A window's text, asked for with a bounded wait (the window may be another
// process's, and busy).
std::wstring WindowText(HWND window);

// The voice changer's window (the stand-in's), or null.
HWND FindTargetWindow();

// Makes the window the foreground window; false when it does not become so.
bool BringToFront(HWND window);

// A message-only window standing in for one of the program's windows: it
// records the program's own messages (WM_USER and up) sent to it, in order;
// posted ones wait in its queue until taken.
class MessageProbe {
  public:
    MessageProbe();
    ~MessageProbe();
    MessageProbe(const MessageProbe&) = delete;
    MessageProbe& operator=(const MessageProbe&) = delete;
    HWND Window() const {
        return window_;
    }
    const std::vector<UINT>& Received() const {
        return received_;
    }
    // The lParams of the posted messages of this kind, taken from the queue.
    std::vector<LPARAM> TakePosted(UINT message);

  private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
    std::vector<UINT> received_;
};

class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // showCommand, when given, is what the process's wWinMain receives.
    bool Start(const std::wstring& exePath, const std::wstring& arguments, int showCommand = -1);
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

// Talk commands in the order received, e.g. {"2|0", "2|1"}.
using Payloads = std::vector<std::string>;
// One talk: on air, then silent.
inline const Payloads TALKED = {"2|1", "2|0"};

// A message the stand-in received: its talk command, or for any other message
// (another id or byte count, or a sending window) "bad id=<id> bytes=<n>
// wparam=<w>"; and when, on QpcNow's clock.
struct ReceivedCommand {
    std::string payload;
    long long qpc = 0;
};

// The stand-in voice changer, run as a separate process.
class StandIn {
  public:
    explicit StandIn(const std::wstring& extraArguments = L"");
    ~StandIn();

    // Starts it with an empty log and waits until its window is there.
    bool Start();
    void Stop();
    std::vector<ReceivedCommand> Commands() const;
    // The talk commands received, from the given one on.
    test_support::Payloads Payloads(size_t from = 0) const;
    bool WaitForCommandCount(size_t count, DWORD timeoutMs) const;
    // Waits until the last command received is the given one.
    bool WaitForLast(const std::string& payload, DWORD timeoutMs) const;
    // Waits until a handler started with --serve-first-ms serves others.
    static bool WaitUntilServing(DWORD timeoutMs);

  private:
    std::wstring logPath_;
    std::wstring extraArguments_;
    ChildProcess process_;
};

// Real input through SendInput.
// `time` 0 lets Windows stamp the event.
void SendKey(WORD virtualKey, bool down, DWORD time = 0);
void TapKey(WORD virtualKey);
// A button, or with MOUSEEVENTF_MOVE a relative move, as a mouse makes (Wine
// makes no raw input of absolute ones).
void SendMouse(DWORD flags, DWORD mouseData = 0, LONG dx = 0, LONG dy = 0, DWORD time = 0);
void MoveCursorTo(int x, int y);

// A hotkey as real input: a key, or a mouse button's down and up flags.
struct HotkeyInput {
    WORD key;
    DWORD mouseDown, mouseUp, mouseData;
    void Send(bool down) const;
    void operator()(bool down) const {
        Send(down);
    }
    // Down and up, each held long enough for the relay to act on it.
    void Hold() const;
};
constexpr HotkeyInput F12_KEY = {VK_F12, 0, 0, 0};
constexpr HotkeyInput F9_KEY = {VK_F9, 0, 0, 0};
constexpr HotkeyInput MIDDLE_BUTTON = {0, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0};
constexpr HotkeyInput X1_BUTTON = {0, MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON1};
constexpr HotkeyInput X2_BUTTON = {0, MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON2};

// Sends `before`, then holds the input down and lets go (a hotkey, or e.g. the
// left button), each time waiting for the command it should bring; returns
// every command that came meanwhile. {"2|1", "2|0"} means the input talked
// and `before` sent nothing at all.
Payloads TalkCycle(const StandIn& target, const std::function<void(bool down)>& hold,
                   const std::function<void()>& before = nullptr);
// What the voice changer was told to become, from silent: a command that
// repeats the one before it changes nothing. A press on the picture just as
// the relay's command comes back cannot know which was handled first, so the
// program sends the wish once more.
Payloads Changes(const Payloads& sent);

// Lets go of every key and button, unswaps the buttons, closes this process's
// visible windows and puts the program's shared state back as it starts;
// test_main.cpp runs it before and after each test.
void CleanSlate();

} // namespace test_support
