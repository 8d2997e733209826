// Push-to-talk benchmark: hotkey-to-command latency against the event-driven
// floor, idle cost and start-up time. Runs the real program and the stand-in
// voice changer under test. Leaks are the soak's business.
//
//   ptt_bench.exe [--quick] <output .json> <output .md>
//
// The quick pass, which the tests run, also fails on figures no healthy run
// comes near, to catch breakage rather than to measure speed.
#include "bench_stats.h"
#include "process_footprint.h"
#include "vorrel_app.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace test_support;

namespace {

constexpr double QUICK_MAX_P50_MS = 100;
constexpr double QUICK_MAX_IDLE_PERCENT = 5;

std::mt19937 g_random(20261207);
int g_missing = 0;

using Latencies = std::array<std::vector<double>, 2>; // press, release

// Presses and releases F12 repeatedly and times each edge from SendInput to
// the stand-in's receipt of the command, both read from the same clock.
Latencies MeasureLatency(StandIn& target, int presses) {
    Latencies result;
    for (int i = 0; i < presses; ++i) {
        for (int edge = 0; edge < 2; ++edge) {
            // 25 to 75 ms, so that presses land at every phase of the relay's 10 ms nap.
            PumpMessagesFor(std::uniform_int_distribution<DWORD>(25, 75)(g_random));
            const size_t before = target.Commands().size();
            const long long sent = QpcNow();
            SendKey(VK_F12, edge == 0);
            if (!target.WaitForCommandCount(before + 1, 3000)) {
                std::printf("  no command after %s %d\n", edge ? "release" : "press", i);
                ++g_missing;
                continue;
            }
            result[edge].push_back(QpcMs(sent, target.Commands()[before].qpc));
        }
    }
    return result;
}

// Rows of the times table (row, key, figures), and the same figures as one JSON object.
std::string AddRows(std::string& md,
                    std::initializer_list<std::tuple<const char*, const char*, Stats>> figures) {
    std::string json;
    for (const auto& [row, key, s] : figures) {
        Append(md, "| %s | %zu | %.2f | %.2f | %.2f | %.2f |\n", row, s.count, s.p50, s.p90, s.p99,
               s.max);
        Append(json,
               "%s\"%s\": {\"n\": %zu, \"p50_ms\": %.3f, \"p90_ms\": %.3f, \"p99_ms\": %.3f, "
               "\"max_ms\": %.3f}",
               json.empty() ? "" : ", ", key, s.count, s.p50, s.p90, s.p99, s.max);
        g_missing += s.count == 0 ? 1 : 0;
    }
    return "{" + json + "}";
}

} // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    if (argc != (quick ? 4 : 3)) {
        std::printf("usage: ptt_bench.exe [--quick] <output .json> <output .md>\n");
        return 2;
    }
    // The quick pass: enough to produce every figure and to tell a napping or
    // spinning relay apart.
    const int presses = quick ? 10 : 200;
    const int startupRuns = quick ? 1 : 5;
    const DWORD idleSeconds = quick ? 2 : 30;

    // Start-up: process start to a visible window, and to the first presence
    // check's silencing of a voice changer that is already running. The last
    // program started goes on to be timed, then left idle.
    std::vector<double> toWindow, toFirstCheck;
    Latencies ours, floor;
    double idlePercent = -1, wakeupsPerSecond = -1;
    long exitCode = -1;
    for (int run = 0; run < startupRuns; ++run) {
        StandIn target;
        VorrelApp app;
        const bool targetStarted = target.Start();
        const long long started = QpcNow();
        if (!targetStarted || !app.Start()) {
            continue;
        }
        toWindow.push_back(QpcMs(started, QpcNow()));
        if (target.WaitForCommandCount(1, 5000)) {
            toFirstCheck.push_back(QpcMs(started, target.Commands()[0].qpc));
        }
        const long linuxPid = run < startupRuns - 1 ? 0 : FindLinuxPid(L"vorrel.exe");
        if (linuxPid > 0) {
            ours = MeasureLatency(target, presses);
            PumpMessagesFor(1500); // let the last command's work settle
            const Footprint before = MeasureFootprint(app.Process().Id(), linuxPid);
            const long long wall0 = QpcNow();
            PumpMessagesFor(idleSeconds * 1000);
            const double wallSeconds = QpcMs(wall0, QpcNow()) / 1000.0;
            const Footprint after = MeasureFootprint(app.Process().Id(), linuxPid);
            // Hundredths of a second of CPU per second are percent of a core.
            idlePercent =
                static_cast<double>(after.linuxCpuTicks - before.linuxCpuTicks) / wallSeconds;
            wakeupsPerSecond =
                static_cast<double>(after.linuxSwitches - before.linuxSwitches) / wallSeconds;
        }
        exitCode = app.Close();
    }

    // The floor, on the same machine in the same run.
    {
        StandIn target;
        ChildProcess probe;
        if (target.Start() && probe.Start(SiblingExecutable(L"floor_probe.exe"), L"") &&
            WaitUntil([] { return FindWindowW(L"STATIC", L"vorrel floor probe") != nullptr; },
                      10000)) {
            floor = MeasureLatency(target, presses);
        }
    }

    const Stats ourPress = Summarise(ours[0]), ourRelease = Summarise(ours[1]);
    const Stats floorPress = Summarise(floor[0]);
    const Stats window = Summarise(toWindow), firstCheck = Summarise(toFirstCheck);
    std::string md = "### Times (ms)\n\n| From | n | p50 | p90 | p99 | max |\n"
                     "|---|---:|---:|---:|---:|---:|\n";
    const std::string latency =
        AddRows(md, {{"program, press to \"2|1\"", "program_press", ourPress},
                     {"program, release to \"2|0\"", "program_release", ourRelease},
                     {"floor, press to \"2|1\"", "floor_press", floorPress},
                     {"floor, release to \"2|0\"", "floor_release", Summarise(floor[1])}});
    const std::string startup =
        AddRows(md, {{"process start to window visible", "to_window", window},
                     {"process start to first presence check (\"2|0\" received)", "to_first_check",
                      firstCheck}});
    const double ratio = floorPress.p50 > 0 ? ourPress.p50 / floorPress.p50 : -1;
    Append(md,
           "\nProgram / floor at p50: %.1fx; p99 gap %.2f ms (the relay's 10 ms nap explains up "
           "to 10 ms of it).\n\n### Idle\n\nCPU over %lu s idle: %.3f%% of one core; %.1f "
           "wake-ups per second (context switches of all threads).\n\nExit code after the run: "
           "%ld.\n",
           ratio, ourPress.p99 - floorPress.p99, idleSeconds, idlePercent, wakeupsPerSecond,
           exitCode);
    std::string json = "{\"latency\": " + latency;
    Append(json,
           ", \"program_over_floor_p50\": %.3f, \"p99_gap_ms\": %.3f, \"startup\": %s, \"idle\": "
           "{\"seconds\": %lu, \"cpu_percent_of_core\": %.4f, \"wakeups_per_second\": %.2f}, "
           "\"exit_code\": %ld}",
           ratio, ourPress.p99 - floorPress.p99, startup.c_str(), idleSeconds, idlePercent,
           wakeupsPerSecond, exitCode);
    WriteTextFile(argv[argc - 2], json);
    WriteTextFile(argv[argc - 1], md);
    std::printf("\n%s", md.c_str());

    // Every figure must have been produced for the run to count.
    const bool complete = g_missing == 0 && window.count == static_cast<size_t>(startupRuns) &&
                          firstCheck.count == window.count && idlePercent >= 0 && exitCode == 0;
    const bool sane =
        !quick || (ourPress.p50 < QUICK_MAX_P50_MS && ourRelease.p50 < QUICK_MAX_P50_MS &&
                   idlePercent < QUICK_MAX_IDLE_PERCENT);
    std::printf("%s", !complete ? "\nsome figures are missing\n"
                      : !sane   ? "\nlatency or idle CPU far beyond any healthy run\n"
                                : "");
    return complete && sane ? 0 : 1;
}
