#pragma once
// The demo's side of a replay: the recording's operating parameters on the window's form, and
// a refused parameter block explained in the status bar and undone on the form.
class Vorn_GUI;

namespace vorn::sim {
class SimRadar;
struct Replay;
}  // namespace vorn::sim

namespace vorn::tools {

// Sets the mode, sweep time, samples per sweep and (where the file records it) bandwidth of
// the recording on the form. While the window streams, the change goes through the mode
// button, so the plots are rebuilt for that mode and the radar gets one matching block.
// Otherwise only the form changes, and an activation the radar refused (its button left
// pressed) is released, so that the next click on "Activate" streams the recording.
void PutRecordingParametersOnForm(const vorn::sim::Replay& replay, Vorn_GUI& window);

// The refusal happens inside the window's own write; the reason and the recording's
// parameters are posted to run after that write's caller has shown its own status, so the
// explanation is what the operator reads. The radar must not outlive the window's use of it.
void ShowRefusalsInStatusBar(vorn::sim::SimRadar& radar, Vorn_GUI& window);

}  // namespace vorn::tools
