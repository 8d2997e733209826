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

struct Soak {
    bool Start() {
        return StartWithSilencedTarget(target, app);
    }

    // One random step; false when the program stopped doing its job.
    bool Step() {
        const int pick = std::uniform_int_distribution<int>(0, 99)(rng);
        const char* what = pick < 70   ? "press and release"
                           : pick < 80 ? "hotkey change"
                           : pick < 90 ? "target restart"
                                       : "picture click";
        bool ok = false;
        if (pick < 70) {
            ok = TalkCycle(target, HOTKEYS[active].input) == TALKED;
            ++cycles;
        } else if (pick < 80) {
            ok = ChangeHotkey();
        } else if (pick < 90) {
            ok = RestartTarget(target, app);
            ++restarts;
        } else {
            ok = TalkCycle(target, [&](bool down) { app.HoldPicture(down); }) == TALKED;
        }
        if (!ok) {
            std::printf("%s failed (hotkey %ls)\n", what, HOTKEYS[active].label);
        }
        return ok;
    }

    Footprint Sample(const char* when) {
        const Footprint f = MeasureFootprint(app.Process().Id(), linuxPid);
        std::printf("%-10s", when);
        for (const FootprintFigure& figure : FOOTPRINT_FIGURES) {
            std::printf("  %s %lld", figure.key, f.*figure.value);
        }
        std::printf("\n");
        std::fflush(stdout);
        return f;
    }

    bool ChangeHotkey() {
        const size_t next = std::uniform_int_distribution<size_t>(0, 3)(rng);
        const Hotkey& hotkey = HOTKEYS[next];
        HWND chooser = app.OpenChooser();
        // The active hotkey talks as it is chosen; any other only shows its name.
        bool shown = chooser && (next != active || TalkCycle(target, hotkey.input) == TALKED);
        if (chooser && next != active) {
            hotkey.input.Send(true);
            hotkey.input.Send(false);
        }
        shown = shown &&
                WaitUntil(
                    [&] {
                        return WindowText(GetDlgItem(chooser, IDC_STATIC)).find(hotkey.label + 9) !=
                               std::wstring::npos;
                    },
                    3000);
        PostMessageW(GetDlgItem(chooser, IDC_APPLY), BM_CLICK, 0, 0);
        const bool applied =
            shown &&
            WaitUntil([&] { return app.ControlText(IDC_HOTKEY_LABEL) == hotkey.label; }, 3000);
        active = applied ? next : active;
        const bool closed = WaitUntil([&] { return app.SelectionWindow() == nullptr; }, 3000);
        if (!chooser || !shown || !applied || !closed) {
            std::printf("chooser %s\n", !chooser   ? "did not open"
                                        : !shown   ? "did not show the choice"
                                        : !applied ? "did not change the label"
                                                   : "did not close");
        }
        return applied && closed;
    }

    std::mt19937 rng{42};
    StandIn target;
    VorrelApp app;
    long linuxPid = 0;
    size_t active = 0;
    size_t cycles = 0;
    size_t restarts = 0;
};

} // namespace

int main(int argc, char** argv) {
    const ULONGLONG seconds = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 600;
    Soak soak;
    if (!soak.Start()) {
        std::printf("the program or the stand-in did not start\n");
        return 1;
    }
    soak.linuxPid = FindLinuxPid(L"vorrel.exe");

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
    const long exitCode = soak.app.Close();

    std::printf("soak of %llu s: %zu press-and-release cycles, %zu voice changer restarts, "
                "%d failed steps, exit code %ld, %s\n",
                seconds, soak.cycles, soak.restarts, failures, exitCode,
                flat ? "flat" : "something grew or went missing");
    return failures == 0 && flat && exitCode == 0 ? 0 : 1;
}
