#pragma once
// Shows the stand-in's reason for refusing a parameter block in the window's status bar.
class Vorn_GUI;

namespace vorn::sim {
class SimRadar;
}

namespace vorn::tools {

// The refusal happens inside the window's own write, on the radar's worker; the message is
// shown once the window has shown its own status for the tick, so the explanation is what the
// operator reads. The radar must not outlive the window's use of it.
void ShowRefusalsInStatusBar(vorn::sim::SimRadar& radar, Vorn_GUI& window);

}  // namespace vorn::tools
