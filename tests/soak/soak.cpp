// Soak: random push-to-talk, hotkey changes and voice changer restarts for a
// set time against one long-running program, checking that its threads,
// open handles, GDI and USER objects and memory stay flat.
//
//   soak.exe <seconds>
// Prints a sample of the program's footprint every 10 s and exits non-zero
// when something grew or the program stopped working.
#include "process_footprint.h"
#include "res/resource.h"
#include "vorrel_app.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

using namespace test_support;

namespace {

// Resident memory moves with page-ins that have nothing to do with leaks.
constexpr long long RSS_TOLERANCE_KB = 1024;

struct Hotkey {
    const wchar_t* label;
    bool keyboard;
    WORD key;
    DWORD down, up, data;
};

const Hotkey HOTKEYS[] = {
    {L"hotkey-> F12", true, VK_F12, 0, 0, 0},
    {L"hotkey-> F9", true, VK_F9, 0, 0, 0},
    {L"hotkey-> MiddleMouseButton", false, 0, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0},
    {L"hotkey-> XMouseButton 2", false, 0, MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON2},
};

void Hold(const Hotkey& hotkey, bool down) {
    if (hotkey.keyboard) {
        SendKey(hotkey.key, down);
    } else {
        SendMouseButton(down ? hotkey.down : hotkey.up, hotkey.data);
    }
}

class Soak {
  public:
    bool Start() {
        target_.reset(new StandIn());
        return StartWithSilencedTarget(*target_, app_);
    }

    // One random step; false when the program stopped doing its job.
    bool Step() {
        const int pick = std::uniform_int_distribution<int>(0, 99)(random_);
        const char* what = pick < 70   ? "press and release"
                           : pick < 80 ? "hotkey change"
                           : pick < 90 ? "target restart"
                                       : "picture click";
        const bool ok = pick < 70   ? TalkOnce()
                        : pick < 80 ? ChangeHotkey()
                        : pick < 90 ? RestartTarget()
                                    : ClickPicture();
        if (!ok) {
            std::printf("%s failed (hotkey %ls)\n", what, HOTKEYS[active_].label);
        }
        return ok;
    }

    void Sample(const char* when, Footprint* out) {
        const Footprint f = MeasureFootprint(app_.Process().Id(), linuxPid_);
        std::printf("%-10s threads %ld/%ld  handles %ld  gdi %ld  user %ld  rss %lld KiB  "
                    "fds %ld  private %lld KiB  commands %zu\n",
                    when, f.threads, f.linuxThreads, f.handles, f.gdiObjects, f.userObjects,
                    f.linuxRssKb, f.linuxFds, f.privateKb, commands_);
        std::fflush(stdout);
        if (out) {
            *out = f;
        }
    }

    void FindLinuxProcess() {
        linuxPid_ = FindLinuxPid(L"vorrel.exe");
    }
    long Close() {
        return app_.Close();
    }
    size_t Cycles() const {
        return cycles_;
    }
    size_t Restarts() const {
        return restarts_;
    }

  private:
    bool TalkOnce() {
        const Hotkey& hotkey = HOTKEYS[active_];
        const size_t before = target_->Commands().size();
        Hold(hotkey, true);
        const bool talked = target_->WaitForCommandCount(before + 1, 3000);
        Hold(hotkey, false);
        const bool stopped = target_->WaitForCommandCount(before + 2, 3000);
        commands_ += 2;
        ++cycles_;
        return talked && stopped && target_->Payloads().back() == "2|0";
    }

    bool ClickPicture() {
        // A second press within the double-click time is a double click,
        // which the window rightly ignores.
        const ULONGLONG since = GetTickCount64() - lastClick_;
        if (since <= GetDoubleClickTime()) {
            PumpMessagesFor(static_cast<DWORD>(GetDoubleClickTime() - since) + 50);
        }
        const size_t before = target_->Commands().size();
        PressLeftAt(app_.PictureCentre());
        const bool talked = target_->WaitForCommandCount(before + 1, 3000);
        ReleaseLeft();
        lastClick_ = GetTickCount64();
        commands_ += 2;
        return talked && target_->WaitForCommandCount(before + 2, 3000);
    }

    bool ChangeHotkey() {
        const size_t next = std::uniform_int_distribution<size_t>(0, 3)(random_);
        PostMessageW(app_.Control(IDC_SET_HOTKEY), BM_CLICK, 0, 0);
        HWND chooser = nullptr;
        if (!WaitUntil([&] { return (chooser = app_.SelectionWindow()) != nullptr; }, 3000)) {
            return false;
        }
        // The held choice talks if it is the active hotkey; let that finish.
        Hold(HOTKEYS[next], true);
        PumpMessagesFor(60);
        Hold(HOTKEYS[next], false);
        PumpMessagesFor(60);
        PostMessageW(GetDlgItem(chooser, IDC_APPLY), BM_CLICK, 0, 0);
        active_ = next;
        const bool applied = WaitUntil(
            [&] { return app_.ControlText(IDC_HOTKEY_LABEL) == HOTKEYS[next].label; }, 3000);
        // A hotkey's own press and release may have talked: wait for the stop.
        WaitUntil([&] { return target_->Payloads().back() == "2|0"; }, 3000);
        if (!applied) {
            std::printf("label reads \"%ls\"\n", app_.ControlText(IDC_HOTKEY_LABEL).c_str());
        }
        return applied && WaitUntil([&] { return app_.SelectionWindow() == nullptr; }, 3000);
    }

    bool RestartTarget() {
        target_->Stop();
        // The program notices a new target only after a check saw the old one gone.
        PumpMessagesFor(1300);
        target_.reset(new StandIn());
        ++restarts_;
        return target_->Start() && target_->WaitForCommandCount(1, 3000);
    }

    std::mt19937 random_{42};
    std::unique_ptr<StandIn> target_;
    VorrelApp app_;
    long linuxPid_ = 0;
    size_t active_ = 0;
    size_t commands_ = 0;
    size_t cycles_ = 0;
    size_t restarts_ = 0;
    ULONGLONG lastClick_ = 0;
};

bool Grew(const char* what, long long start, long long end, long long tolerance = 0) {
    if (start < 0 || end < 0) {
        return false; // not reported on this system
    }
    if (end - start > tolerance) {
        std::printf("GREW: %s from %lld to %lld\n", what, start, end);
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const ULONGLONG seconds = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 600;
    Soak soak;
    if (!soak.Start()) {
        std::printf("the program or the stand-in did not start\n");
        return 1;
    }
    soak.FindLinuxProcess();

    // Warm up: every kind of step once, so that one-time allocations are done.
    for (int i = 0; i < 40; ++i) {
        if (!soak.Step()) {
            std::printf("failed during warm-up\n");
            return 1;
        }
    }
    Footprint start;
    soak.Sample("start", &start);

    const ULONGLONG end = GetTickCount64() + seconds * 1000;
    ULONGLONG nextSample = GetTickCount64() + 10000;
    int failures = 0;
    while (GetTickCount64() < end) {
        if (!soak.Step()) {
            ++failures;
            std::printf("a step failed\n");
            if (failures > 3) {
                break;
            }
        }
        if (GetTickCount64() >= nextSample) {
            soak.Sample("running", nullptr);
            nextSample += 10000;
        }
    }
    PumpMessagesFor(1500);
    Footprint finish;
    soak.Sample("end", &finish);
    const long exitCode = soak.Close();

    bool grew = false;
    grew |= Grew("Windows threads", start.threads, finish.threads);
    grew |= Grew("Linux threads", start.linuxThreads, finish.linuxThreads);
    grew |= Grew("handles", start.handles, finish.handles);
    grew |= Grew("GDI objects", start.gdiObjects, finish.gdiObjects);
    grew |= Grew("USER objects", start.userObjects, finish.userObjects);
    grew |= Grew("open files", start.linuxFds, finish.linuxFds);
    grew |= Grew("private bytes, KiB", start.privateKb, finish.privateKb, RSS_TOLERANCE_KB);
    grew |= Grew("resident memory, KiB", start.linuxRssKb, finish.linuxRssKb, RSS_TOLERANCE_KB);

    std::printf("soak of %llu s: %zu press-and-release cycles, %zu voice changer restarts, "
                "%d failed steps, exit code %ld, %s\n",
                seconds, soak.Cycles(), soak.Restarts(), failures, exitCode,
                grew ? "something grew" : "flat");
    return failures == 0 && !grew && exitCode == 0 ? 0 : 1;
}
