#pragma once
// Shared by the tool tests: recordings made by the window on a stand-in radar, the two
// programs run as child processes, and readers for what vorn-process writes.
#include <QString>
#include <QStringList>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "app/vorn_gui.h"
#include "sim/scene.h"
#include "sim/sim_backend.h"
#include "sim/sim_radar.h"

namespace tools_test {

// Operating modes by the window's codes.
inline constexpr int kFmcw = 0;
inline constexpr int kFsk = 2;
inline constexpr int kCw = 3;

// A window on its own stand-in radar, streaming as fast as asked.
struct WindowOnRadar {
    explicit WindowOnRadar(std::shared_ptr<vorn::sim::SimRadar> radar);
    // Activates, then selects the operating and display mode as the operator would.
    void Start(int operatingMode, int displayMode);
    // One acquisition tick.
    void Tick();
    QString status() const;

    std::shared_ptr<vorn::sim::SimRadar> radar;
    std::unique_ptr<Vorn_GUI> window;
};

std::shared_ptr<vorn::sim::SimRadar> MakeRadar(const vorn::sim::Scene& scene);
vorn::sim::Scene OneTarget(double rangeM, double velocityMps);

// Records `frames` frames of both channels with the window's own file writer, from a fresh
// stand-in looking at `scene`, in the operating mode given.
void RecordWithWindow(const vorn::sim::Scene& scene, int operatingMode, int frames,
                      const QString& path);

struct ProcessRun {
    int exitCode = -1;
    QString out;
    QString err;
};
ProcessRun RunProgram(const QString& program, const QStringList& args, int timeoutMs = 60000);
ProcessRun RunVornProcess(const QStringList& args);

struct NpyArray {
    std::string header;  // the whole header, magic to '\n'
    std::vector<std::size_t> shape;
    std::vector<double> values;
};
// Empty shape when the file is not a .npy of float64 as vorn-process writes it.
NpyArray ReadNpy(const QString& path);

// Rows of comma-separated fields, the header line included.
std::vector<QStringList> ReadCsv(const QString& path);

// Entries of a directory other than "." and "..".
QStringList DirectoryEntries(const QString& path);

}  // namespace tools_test
