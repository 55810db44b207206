#pragma once
// Shared by the tool tests: recordings made by the window on a stand-in radar, the two
// programs run as child processes, and readers for what vorn-process writes.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStatusBar>
#include <QTextStream>

#include <cstring>

#include "app/vorn_gui.h"
#include "app/window_sync.h"
#include "device/radar_device.h"
#include "scenes.h"
#include "sim/sim_backend.h"
#include "sim/sim_radar.h"

namespace tools_test {

// Operating modes by the window's codes.
inline constexpr int kFmcw = 0;
inline constexpr int kFsk = 2;
inline constexpr int kCw = 3;

// A window on its own stand-in radar, streaming as fast as asked.
struct WindowOnRadar {
    explicit WindowOnRadar(const vorn::sim::Scene& scene)
        : radar(std::make_shared<vorn::sim::SimRadar>(scene, vorn::sim::Pacing::AsFastAsPossible)),
          window(std::make_unique<Vorn_GUI>(std::make_shared<vorn::sim::SimBackend>(radar))) {}
    // Activates, then selects the operating and display mode as the operator would.
    void Start(int operatingMode, int displayMode) {
        const Ui::Vorn_GUIClass& ui = window->form();
        ui.buttonActivateDevice->click();
        OperatingModeButton(ui, operatingMode)->click();
        DisplayModeButton(ui, displayMode)->click();
    }
    void Tick() { ASSERT_TRUE(vorn::RunTick(*window)); }
    QString status() const { return window->form().statusBar->currentMessage(); }

    std::shared_ptr<vorn::sim::SimRadar> radar;
    std::unique_ptr<Vorn_GUI> window;
};

// Combo indexes of the operating parameters: sweep time, samples per sweep, bandwidth.
struct ComboIndexes {
    int sweepTime = 0;
    int samples = 0;
    int bandwidth = 0;
};

// Records `frames` frames of both channels with the window's own file writer.
inline void RecordWithWindow(const vorn::sim::Scene& scene, int operatingMode, int frames,
                             const QString& path, ComboIndexes combos = {}) {
    WindowOnRadar w(scene);
    w.Start(operatingMode, operatingMode == kFmcw ? 1 : 2);
    const Ui::Vorn_GUIClass& ui = w.window->form();
    ui.comboPSweepTime->setCurrentIndex(combos.sweepTime);
    ui.comboPSampleWindow->setCurrentIndex(combos.samples);
    ui.comboPBandwidth->setCurrentIndex(combos.bandwidth);
    w.Tick();  // the mode's parameter block has reached the radar and its worker is idle
    SampleBlock samples;
    ASSERT_EQ(w.window->radar()->ReadBothChannels(samples, frames, 10000), 2 * frames);
    ASSERT_TRUE(w.window->WriteRecordFile(samples, path));
}

struct ProcessRun {
    int exitCode = -1;
    QString out;
    QString err;
};

inline ProcessRun RunProgram(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000)) {
        process.kill();
        return {-1, {}, QStringLiteral("did not finish")};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

inline ProcessRun RunVornProcess(const QStringList& args) {
    return RunProgram(VORN_PROCESS_EXE, args);
}

struct NpyArray {
    std::string header;  // the whole header, magic to '\n'
    std::vector<std::size_t> shape;
    std::vector<double> values;
};

// Empty shape when the file is not a .npy of float64 as vorn-process writes it.
inline NpyArray ReadNpy(const QString& path) {
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (bytes.size() < 10 || bytes.left(8) != QByteArray("\x93NUMPY\x01\x00", 8)) return {};
    const int length = static_cast<unsigned char>(bytes[8]) | bytes[9] << 8;
    NpyArray array{bytes.left(10 + length).toStdString(), {}, {}};
    const QString dict = QString::fromLatin1(bytes.mid(10, length));
    const int open = dict.indexOf('(');
    std::size_t count = 1;
    for (const QString& part : dict.mid(open + 1, dict.indexOf(')') - open - 1).split(',')) {
        if (!part.trimmed().isEmpty())
            count *= array.shape.emplace_back(part.trimmed().toULongLong());
    }
    const QByteArray data = bytes.mid(10 + length);
    if (open < 0 || static_cast<std::size_t>(data.size()) != count * sizeof(double)) return {};
    array.values.resize(count);
    std::memcpy(array.values.data(), data.constData(), data.size());
    return array;
}

// Rows of comma-separated fields, the header line included.
inline std::vector<QStringList> ReadCsv(const QString& path) {
    std::vector<QStringList> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return rows;
    QTextStream in(&file);
    while (!in.atEnd()) rows.push_back(in.readLine().split(','));
    return rows;
}

inline QStringList DirectoryEntries(const QString& path) {
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace tools_test
