// Soak: push-to-talk, random hotkey changes, voice changer restarts and clicks
// for a set time against one long-running program, checking that its threads,
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
#include <string>

using namespace test_support;

namespace {

struct Hotkey {
    const wchar_t* label;
    const wchar_t* prompt;
    HotkeyInput input;
};

const Hotkey HOTKEYS[] = {
    {L"hotkey-> F12", L">>>> F12 (123) <<<<", F12_KEY},
    {L"hotkey-> F9", L">>>> F9 (120) <<<<", F9_KEY},
    {L"hotkey-> MiddleMouseButton", L">>>> MiddleMouseButton <<<<", MIDDLE_BUTTON},
    {L"hotkey-> XMouseButton 2", L">>>> XMouseButton 2 <<<<", X2_BUTTON},
};

struct Soak {
    // One round holds every kind of step: seven presses and releases, a
    // hotkey change, a voice changer restart and a click on the picture.
    // False when the program stopped doing its job.
    bool Round() {
        bool ok = true;
        ++rounds;
        for (int step = 0; step < 10; ++step) {
            const bool done =
                step < 7    ? Talked(TalkCycle(target, HOTKEYS[active].input))
                : step == 7 ? ChangeHotkey()
                : step == 8 ? RestartTarget(target, app)
                            : Talked(TalkCycle(target, [&](bool down) { app.HoldPicture(down); }));
            if (!done) {
                std::printf("step %d of the round failed (hotkey %ls)\n", step,
                            HOTKEYS[active].label);
                ok = false;
            }
        }
        return ok;
    }

    static bool Talked(const Payloads& sent) {
        if (Changes(sent) != TALKED) {
            std::printf("the voice changer got:");
            for (const std::string& payload : sent) {
                std::printf(" %s", payload.c_str());
            }
            std::printf("\n");
        }
        return Changes(sent) == TALKED;
    }

    Footprint Sample(const char* when) {
        const Footprint f = MeasureFootprint(app.Process().Id(), linuxPid);
        std::printf("%-10s", when);
        for (const FootprintFigure& figure : FOOTPRINT_FIGURES) {
            std::printf("; %s %lld", figure.name, f.*figure.value);
        }
        std::printf("\n");
        std::fflush(stdout);
        return f;
    }

    bool ChangeHotkey() {
        const size_t next = std::uniform_int_distribution<size_t>(0, 3)(rng);
        const Hotkey& hotkey = HOTKEYS[next];
        // The active hotkey talks as it is chosen; any other only shows its name.
        bool talked = true;
        const std::string failed = app.ChooseHotkey(
            [&] {
                if (next == active) {
                    talked = Talked(TalkCycle(target, hotkey.input));
                } else {
                    hotkey.input.Send(true);
                    hotkey.input.Send(false);
                }
            },
            hotkey.prompt, IDC_APPLY, hotkey.label);
        if (!talked || !failed.empty()) {
            std::printf("chooser: %s\n", talked ? failed.c_str() : "the hotkey did not talk");
        }
        active = failed.empty() ? next : active;
        return talked && failed.empty();
    }

    std::mt19937 rng{42};
    StandIn target;
    VorrelApp app;
    long linuxPid = 0;
    size_t active = 0;
    size_t rounds = 0;
};

} // namespace

int main(int argc, char** argv) {
    const ULONGLONG seconds = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 600;
    Soak soak;
    // Without its Linux process, threads, open files and memory would go unmeasured.
    if (!StartWithSilencedTarget(soak.target, soak.app) ||
        (soak.linuxPid = FindLinuxPid(L"vorrel.exe")) <= 0) {
        std::printf("the program, its Linux process or the stand-in did not start\n");
        return 1;
    }

    // Warm up with every kind of step, so that one-time allocations are done.
    if (!soak.Round()) {
        std::printf("failed during warm-up\n");
        return 1;
    }
    const Footprint start = soak.Sample("start");

    // Whole rounds, so that every kind of step is measured.
    const ULONGLONG end = GetTickCount64() + seconds * 1000;
    ULONGLONG nextSample = GetTickCount64() + 10000;
    int failedRounds = 0;
    do {
        failedRounds += soak.Round() ? 0 : 1;
        if (GetTickCount64() >= nextSample) {
            soak.Sample("running");
            nextSample += 10000;
        }
    } while (GetTickCount64() < end && failedRounds == 0);
    PumpMessagesFor(1500);
    const bool flat = FootprintStayedFlat(start, soak.Sample("end"));
    const long exitCode = soak.app.Close();

    std::printf("soak of %llu s: %zu press-and-release cycles, %zu voice changer restarts, "
                "%d failed rounds, exit code %ld, %s\n",
                seconds, 7 * soak.rounds, soak.rounds, failedRounds, exitCode,
                flat ? "flat" : "something grew or went missing");
    return failedRounds == 0 && flat && exitCode == 0 ? 0 : 1;
}
