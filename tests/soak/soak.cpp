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
#include <random>

using namespace test_support;

namespace {

struct Hotkey {
    const wchar_t* label;
    HotkeyInput input;
};

const Hotkey HOTKEYS[] = {
    {L"hotkey-> F12", F12_KEY},
    {L"hotkey-> F9", F9_KEY},
    {L"hotkey-> MiddleMouseButton", MIDDLE_BUTTON},
    {L"hotkey-> XMouseButton 2", X2_BUTTON},
};

const Payloads TALKED = {"2|1", "2|0"};

class Soak {
  public:
    bool Start() {
        return StartWithSilencedTarget(target_, app_);
    }

    // One random step; false when the program stopped doing its job.
    bool Step() {
        const int pick = std::uniform_int_distribution<int>(0, 99)(random_);
        const char* what = pick < 70   ? "press and release"
                           : pick < 80 ? "hotkey change"
                           : pick < 90 ? "target restart"
                                       : "picture click";
        bool ok = false;
        if (pick < 70) {
            ok = TalkCycle(target_, HOTKEYS[active_].input) == TALKED;
            ++cycles_;
        } else if (pick < 80) {
            ok = ChangeHotkey();
        } else if (pick < 90) {
            ok = RestartTarget(target_, app_);
            ++restarts_;
        } else {
            ok = TalkCycle(target_, [&](bool down) {
                     down ? PressLeftAt(app_.PictureCentre()) : ReleaseLeft();
                 }) == TALKED;
        }
        if (!ok) {
            std::printf("%s failed (hotkey %ls)\n", what, HOTKEYS[active_].label);
        }
        return ok;
    }

    Footprint Sample(const char* when) {
        const Footprint f = MeasureFootprint(app_.Process().Id(), linuxPid_);
        std::printf("%-10s", when);
        for (const FootprintFigure& figure : FOOTPRINT_FIGURES) {
            std::printf("  %s %lld", figure.key, f.*figure.value);
        }
        std::printf("\n");
        std::fflush(stdout);
        return f;
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
    bool ChangeHotkey() {
        const size_t next = std::uniform_int_distribution<size_t>(0, 3)(random_);
        HWND chooser = app_.OpenChooser();
        if (!chooser) {
            return false;
        }
        // The active hotkey talks as it is chosen; any other only shows its name.
        bool chosen = true;
        if (next == active_) {
            chosen = TalkCycle(target_, HOTKEYS[next].input) == TALKED;
        } else {
            HOTKEYS[next].input.Send(true);
            HOTKEYS[next].input.Send(false);
        }
        const std::wstring name = std::wstring(HOTKEYS[next].label).substr(9);
        chosen = chosen && WaitUntil(
                               [&] {
                                   return WindowText(GetDlgItem(chooser, IDC_STATIC)).find(name) !=
                                          std::wstring::npos;
                               },
                               3000);
        PostMessageW(GetDlgItem(chooser, IDC_APPLY), BM_CLICK, 0, 0);
        active_ = next;
        const bool applied = WaitUntil(
            [&] { return app_.ControlText(IDC_HOTKEY_LABEL) == HOTKEYS[next].label; }, 3000);
        if (!applied) {
            std::printf("label reads \"%ls\"\n", app_.ControlText(IDC_HOTKEY_LABEL).c_str());
        }
        return chosen && applied &&
               WaitUntil([&] { return app_.SelectionWindow() == nullptr; }, 3000);
    }

    std::mt19937 random_{42};
    StandIn target_;
    VorrelApp app_;
    long linuxPid_ = 0;
    size_t active_ = 0;
    size_t cycles_ = 0;
    size_t restarts_ = 0;
};

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
    const Footprint start = soak.Sample("start");

    const ULONGLONG end = GetTickCount64() + seconds * 1000;
    ULONGLONG nextSample = GetTickCount64() + 10000;
    int failures = 0;
    while (GetTickCount64() < end && failures <= 3) {
        if (!soak.Step()) {
            ++failures;
        }
        if (GetTickCount64() >= nextSample) {
            soak.Sample("running");
            nextSample += 10000;
        }
    }
    PumpMessagesFor(1500);
    const bool flat = FootprintStayedFlat(start, soak.Sample("end"));
    const long exitCode = soak.Close();

    std::printf("soak of %llu s: %zu press-and-release cycles, %zu voice changer restarts, "
                "%d failed steps, exit code %ld, %s\n",
                seconds, soak.Cycles(), soak.Restarts(), failures, exitCode,
                flat ? "flat" : "something grew or went missing");
    return failures == 0 && flat && exitCode == 0 ? 0 : 1;
}
