#pragma once
// Shows the stand-in's reason for refusing a parameter block in the window's status bar.
class QMainWindow;

namespace vorn::sim {
class SimRadar;
}

namespace vorn::tools {

// The refusal happens inside the window's own write; the message is posted to run after that
// write's caller has shown its own status, so the explanation is what the operator reads.
// The radar must not outlive the window's use of it.
void ShowRefusalsInStatusBar(vorn::sim::SimRadar& radar, QMainWindow& window);

}  // namespace vorn::tools
