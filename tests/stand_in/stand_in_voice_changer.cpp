// A stand-in for the voice changer: a top-level window with the target's class
// and title that logs every WM_COPYDATA it receives.
//
//   stand_in_voice_changer.exe [--log FILE] [--delay-ms N] [--hang-from K]
//                              [--busy-ms N [--busy-after K]]
//                              [--serve-first-ms N [--serve-at K]]
//                              [--random-delay-ms N] [--class NAME] [--title TEXT]
//
// Each message appends one line to FILE:
//   id=<dwData> bytes=<cbData> hex=<bytes as hex> wparam=<wParam> qpc=<QueryPerformanceCounter>
// --delay-ms N makes every handler take N ms; --hang-from K makes the K-th
// message (counting from 1) and all later ones never return. --busy-ms N keeps
// the window's thread busy for N ms once, serving nothing: right after the
// window appears, or right after answering the K-th message with --busy-after.
// --serve-first-ms N makes the first handler (the K-th with --serve-at) spend
// N ms handling the messages sent meanwhile before it acts on and logs its
// own, as a handler that itself waits on a window does. --random-delay-ms N
// makes each handler take a random time below N ms, one in eight act only
// after serving others, and one in 150 then keep the window's thread busy
// for longer than any wait.
// --class and --title make a decoy: a window the program must not talk to.
#include <windows.h>
#include <shellapi.h>
#include <share.h>

#include <cstdio>
#include <cwchar>
#include <cstdlib>
#include <cstring>

namespace {

FILE* g_log = nullptr;
unsigned long g_delayMs = 0;
unsigned long g_hangFrom = 0;
unsigned long g_busyMs = 0;
unsigned long g_busyAfter = 0;
unsigned long g_serveFirstMs = 0;
unsigned long g_serveAt = 1;
unsigned long g_randomDelayMs = 0;
const wchar_t* g_class = L"PELORINVOICECHANGER";
const wchar_t* g_title = L"Pelorin Voice Changer";
constexpr UINT WM_BE_BUSY = WM_APP + 1;
unsigned long g_received = 0;
bool g_talkingShown = false;
HWND g_status = nullptr; // what it has received, for people to see

void AppendLog(WPARAM sender, const COPYDATASTRUCT* data) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (!g_log) {
        return;
    }
    char hex[2 * 64 + 1] = "";
    const auto* bytes = static_cast<const unsigned char*>(data->lpData);
    const DWORD shown = data->cbData < 64 ? data->cbData : 64;
    for (DWORD i = 0; i < shown && bytes; ++i) {
        std::snprintf(hex + 2 * i, 3, "%02X", bytes[i]);
    }
    std::fprintf(g_log, "id=%llu bytes=%lu hex=%s wparam=%llu qpc=%lld\n",
                 static_cast<unsigned long long>(data->dwData),
                 static_cast<unsigned long>(data->cbData), hex[0] ? hex : "-",
                 static_cast<unsigned long long>(sender), static_cast<long long>(now.QuadPart));
    std::fflush(g_log); // read while this runs, and a handler may hang next
}

void ServeSentMessagesFor(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (ULONGLONG now; (now = GetTickCount64()) < end;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_SENDMESSAGE);
        MSG message; // a peek handles the sent messages
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

LRESULT CALLBACK StandInWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        ++g_received;
        // Acts only after serving what came meanwhile, as one that first
        // waits on a window does: the last command it acts on may be one
        // sent before those.
        if (g_serveFirstMs && g_received == g_serveAt) {
            SetWindowTextW(g_status, L"serving"); // for a test to wait on
            ServeSentMessagesFor(g_serveFirstMs);
        } else if (g_randomDelayMs && std::rand() % 8 == 0) {
            ServeSentMessagesFor(static_cast<DWORD>(std::rand()) % g_randomDelayMs);
        }
        if (data->dwData == 42 && data->cbData == 3 && data->lpData) {
            g_talkingShown = std::memcmp(data->lpData, "2|1", 3) == 0;
        }
        wchar_t text[64];
        std::swprintf(text, 64, L"%ls\n%lu commands received",
                      g_talkingShown ? L"TRANSMITTING" : L"silent", g_received);
        SetWindowTextW(g_status, text);
        // Logged last, so that a test that reads it acts once the sender is
        // about to be let go, not while a new window's first paint is slow.
        AppendLog(wParam, data);
        // Busy before a message sent meanwhile can be served, which a posted
        // message would only be once those were.
        if (g_busyMs && g_received == g_busyAfter) {
            ReplyMessage(TRUE);
            Sleep(g_busyMs);
        }
        if (g_hangFrom != 0 && g_received >= g_hangFrom) {
            Sleep(INFINITE);
        }
        Sleep(g_delayMs);
        if (g_randomDelayMs) {
            Sleep(static_cast<DWORD>(std::rand()) % g_randomDelayMs);
            if (std::rand() % 150 == 0) {
                g_busyMs = 1600;
                PostMessageW(window, WM_BE_BUSY, 0, 0);
            }
        }
        return TRUE;
    }
    case WM_BE_BUSY:
        // Sent messages wait meanwhile, as they do for a target busy elsewhere.
        Sleep(g_busyMs);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void ParseArguments() {
    const struct {
        const wchar_t* name;
        unsigned long* value;
    } numbers[] = {{L"--delay-ms", &g_delayMs},
                   {L"--hang-from", &g_hangFrom},
                   {L"--busy-ms", &g_busyMs},
                   {L"--busy-after", &g_busyAfter},
                   {L"--serve-first-ms", &g_serveFirstMs},
                   {L"--serve-at", &g_serveAt},
                   {L"--random-delay-ms", &g_randomDelayMs}};
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; args && i + 1 < count; i += 2) {
        if (std::wcscmp(args[i], L"--log") == 0) {
            g_log = _wfsopen(args[i + 1], L"ab", _SH_DENYNO);
        } else if (std::wcscmp(args[i], L"--class") == 0) {
            g_class = args[i + 1];
        } else if (std::wcscmp(args[i], L"--title") == 0) {
            g_title = args[i + 1];
        }
        for (const auto& number : numbers) {
            if (std::wcscmp(args[i], number.name) == 0) {
                *number.value = std::wcstoul(args[i + 1], nullptr, 10);
            }
        }
    }
    // The arguments stay allocated: the class and title may point into them.
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    ParseArguments();
    std::srand(GetTickCount());

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = StandInWndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = g_class;
    RegisterClassW(&windowClass);

    HWND window = CreateWindowExW(0, g_class, g_title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 40,
                                  40, 260, 120, nullptr, nullptr, instance, nullptr);
    if (!window) {
        return 1;
    }
    g_status = CreateWindowExW(0, L"STATIC", L"silent", WS_CHILD | WS_VISIBLE | SS_CENTER, 0, 0,
                               260, 120, window, nullptr, instance, nullptr);
    // Never take the focus from the window under test.
    ShowWindow(window, SW_SHOWNOACTIVATE);
    if (g_busyMs && g_busyAfter == 0) {
        PostMessageW(window, WM_BE_BUSY, 0, 0);
    }

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}
