// A window of the test's own that takes the keyboard focus while random input
// is flooded, so that keys land where they cannot close or open anything.
#pragma once

#include <windows.h>

namespace test_support {

class FocusSink {
  public:
    FocusSink();
    ~FocusSink();
    FocusSink(const FocusSink&) = delete;
    FocusSink& operator=(const FocusSink&) = delete;
    // Brings it to the front and parks the cursor on it.
    bool TakeFocus() const;
    HWND Window() const {
        return window_;
    }

  private:
    HWND window_ = nullptr;
};

} // namespace test_support
