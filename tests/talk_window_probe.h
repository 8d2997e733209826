// A window that stands in for the main window and counts the talk
// notifications it is sent.
#pragma once

#include <windows.h>

#include <vector>

class TalkWindowProbe {
  public:
    TalkWindowProbe();
    ~TalkWindowProbe();
    HWND Window() const {
        return window_;
    }
    // WM_TALK_STARTED / WM_TALK_STOPPED in the order they arrived.
    std::vector<UINT> notifications;

  private:
    static LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
};
