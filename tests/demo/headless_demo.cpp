// The scripted session behind the run command on a machine without a
// display: drives the real program against the stand-in, saves screenshots
// and prints what the stand-in received.
//
//   headless_demo.exe <output folder>
#include "res/resource.h"
#include "vorrel_app.h"

#include <cstdio>
#include <functional>
#include <string>

using namespace test_support;

namespace {

std::wstring g_outputFolder;
int g_checks = 0;
int g_failures = 0;

void Check(bool condition, const char* what) {
    std::printf("%s %s\n", condition ? "  ok  " : "  FAIL", what);
    ++g_checks;
    g_failures += condition ? 0 : 1;
}

// Saved as a binary PPM, the simplest picture file, which the run command turns into PNG.
void Screenshot(HWND window, const wchar_t* name) {
    PumpMessagesFor(300); // let the window finish painting
    RECT frame;
    GetWindowRect(window, &frame);
    const ScreenPixels image = CaptureScreen(frame);
    FILE* out = _wfopen((g_outputFolder + L"\\" + name + L".ppm").c_str(), L"wb");
    if (out) {
        std::fprintf(out, "P6\n%d %d\n255\n", image.width, image.height);
        for (COLORREF c : image.pixels) {
            const BYTE rgb[] = {GetRValue(c), GetGValue(c), GetBValue(c)};
            std::fwrite(rgb, 1, sizeof rgb, out);
        }
        std::fclose(out);
    }
    std::printf("  shot  %ls\n", name);
}

// Holds the input down until the program talks, shows it talking, and lets go
// until it is silent again.
void Talk(const StandIn& target, const VorrelApp& app, const std::function<void(bool)>& hold,
          const wchar_t* shot) {
    hold(true);
    Check(target.WaitForLast("2|1", 3000), "talking while held");
    Check(WaitUntil([&] { return !app.OffPictureVisible(); }, 2000), "indicator ON");
    if (shot) {
        Screenshot(app.MainWindow(), shot);
    }
    hold(false);
    Check(target.WaitForLast("2|0", 3000), "silent after release");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    g_outputFolder = argc > 1 ? argv[1] : L".";
    CreateDirectoryW(g_outputFolder.c_str(), nullptr);

    std::printf("1. start the program, with no voice changer running\n");
    VorrelApp app;
    Check(app.Start(), "main window visible");
    Check(app.WaitForTargetGone(), "warning shown while the voice changer is absent");
    Screenshot(app.MainWindow(), L"01-waiting-for-voice-changer");

    std::printf("2. start the stand-in voice changer\n");
    StandIn target;
    Check(target.Start() && target.WaitForCommandCount(1, 3000), "stand-in silenced on appearing");
    Check(WaitUntil([&] { return !IsWindowVisible(app.Control(IDC_STATIC)); }, 2000),
          "warning hidden");
    Screenshot(app.MainWindow(), L"02-off");

    std::printf("3. hold F12, then release it\n");
    Talk(target, app, F12_KEY, L"03-on-hotkey");

    std::printf("4. click and hold the picture\n");
    Talk(
        target, app, [&](bool down) { app.HoldPicture(down); }, L"04-on-mouse");

    std::printf("5. choose F9 as the hotkey\n");
    const std::wstring prompt = L">>>> F9 (120) <<<<";
    const std::string failed = app.ChooseHotkey(
        [&] {
            TapKey(VK_F9);
            WaitUntil(
                [&] { return WindowText(GetDlgItem(app.SelectionWindow(), IDC_STATIC)) == prompt; },
                3000);
            Screenshot(app.MainWindow(), L"05-choosing-f9");
        },
        prompt, IDC_APPLY, L"hotkey-> F9");
    Check(failed.empty(),
          failed.empty() ? "F9 applied, label reads \"hotkey-> F9\"" : failed.c_str());
    Talk(target, app, F9_KEY, nullptr);
    Screenshot(app.MainWindow(), L"06-hotkey-f9");

    std::printf("6. close the program\n");
    Check(app.Close() == 0, "exit code 0");

    std::printf("\nThe stand-in voice changer received:\n");
    const auto commands = target.Commands();
    for (const auto& command : commands) {
        std::printf("  %+9.1f ms  %s\n", QpcMs(commands.front().qpc, command.qpc),
                    command.payload.c_str());
    }
    std::printf("\nscripted session: %d of %d checks held\n", g_checks - g_failures, g_checks);
    return g_failures == 0 ? 0 : 1;
}
