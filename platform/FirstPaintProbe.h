#pragma once
// A probe for timing a program's start: when the environment sets VX_REPORT_FIRST_PAINT=1,
// the first paint of the window named `windowName` (its object name) writes one line to
// standard error and ends the process at once, with exit status 0:
//
//   vx-first-paint monotonic_ns=<CLOCK_MONOTONIC in ns> vmrss_kb=<VmRSS in kB>
//
// The clock is the machine's monotonic clock, so a parent that read the same clock just
// before starting the process gets the time from exec to the first paint. The process ends
// without running its destructors (nothing is saved): whatever the window would ask next
// (a message box at start, say) never holds the measurement up. Without the variable nothing
// is installed and the program runs as ever.
#include <QString>

namespace vx::probe {

inline constexpr const char* kFirstPaintVariable = "VX_REPORT_FIRST_PAINT";

// Installs the probe in the application when the variable asks for it; call it after the
// application object exists and before the window is shown. Returns whether it installed.
bool reportFirstPaintIfAsked(const QString& windowName);

}  // namespace vx::probe
