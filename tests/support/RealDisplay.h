#pragma once

#include <sys/types.h>

#include <string>

namespace harbrook::testing {

// A real X display for the tests that offscreen Qt cannot answer (focus, real dialogs,
// real mouse and key sequences): Xvfb on a display number it picks itself, a 1280 × 800
// screen, and openbox as window manager, started by the constructor and stopped (by
// their PIDs) by the destructor. DISPLAY is set for this process while it stands.
class RealDisplay {
public:
    RealDisplay();
    ~RealDisplay();
    RealDisplay(const RealDisplay&) = delete;
    RealDisplay& operator=(const RealDisplay&) = delete;

    static constexpr int kWidth = 1280;
    static constexpr int kHeight = 800;

    // Why no display could be started (Xvfb or openbox missing, say); empty when it runs.
    const std::string& unavailableReason() const { return m_reason; }
    const std::string& name() const { return m_name; }

private:
    void stop();

    std::string m_reason;
    std::string m_name;
    pid_t m_server = -1;
    pid_t m_windowManager = -1;
};

// A command run on that display (xdotool, wmctrl): its standard output, or empty when
// it failed.
std::string RunOnDisplay(const std::string& command);

}  // namespace harbrook::testing
