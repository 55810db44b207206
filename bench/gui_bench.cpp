// Whole ticks of the window on the stand-in radar, drawing included, and the window's recording
// writer. The bottom plot is sized 1400 x 700 and every iteration ends with a synchronous repaint
// of both plots, so a tick's cost is what the operator waits for.
#include <benchmark/benchmark.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMetaObject>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "app/vorn_gui.h"
#include "app/window_sync.h"
#include "sim/sim_backend.h"
#include "sim/sim_radar.h"

namespace {

struct Bench {
    std::shared_ptr<vorn::sim::SimRadar> radar;
    std::shared_ptr<vorn::sim::SimBackend> backend;
    std::unique_ptr<Vorn_GUI> window;

    Bench() {
        radar = std::make_shared<vorn::sim::SimRadar>(vorn::sim::DefaultDemoScene(),
                                                      vorn::sim::Pacing::AsFastAsPossible);
        backend = std::make_shared<vorn::sim::SimBackend>(radar);
        window = std::make_unique<Vorn_GUI>(backend);
        window->resize(1900, 1000);
        window->show();
    }
    const Ui::Vorn_GUIClass& ui() const { return window->form(); }

    // Operating button, display button, history rows; then sizes the bottom plot.
    bool Start(QAbstractButton* operating, QAbstractButton* display, int rows) {
        ui().buttonActivateDevice->click();
        if (!window->timer() || !window->timer()->isActive()) return false;
        window->timer()->stop();  // the benchmark drives the ticks
        operating->click();
        display->click();
        ui().SpectrogramRows->setValue(rows);
        Tick();
        SizeBottomPlot(1400, 700);
        return true;
    }
    void SizeBottomPlot(int width, int height) {
        for (int attempt = 0; attempt < 4; ++attempt) {
            QApplication::processEvents();
            const QSize have = ui().qwtPlotScope_2->size();
            const QSize delta(width - have.width(), height - have.height());
            if (delta.isNull()) return;
            window->resize(window->size() + delta);
        }
        QApplication::processEvents();
    }
    void Tick() { vorn::RunTick(*window); }
    void Paint() {
        for (QwtPlot* plot : {ui().qwtPlotScope_1, ui().qwtPlotScope_2}) {
            if (!plot->isVisible()) continue;
            plot->replot();
            plot->canvas()->repaint();
        }
    }
};

void RunTicks(benchmark::State& state, Bench& bench) {
    for (auto _ : state) {
        bench.Tick();
        bench.Paint();
    }
    const QSize plot = bench.ui().qwtPlotScope_2->size();
    state.counters["plot_w"] = plot.width();
    state.counters["plot_h"] = plot.height();
    state.SetLabel(bench.ui().statusBar->currentMessage().toStdString());
}

void BM_TickRangeVelocityMap(benchmark::State& state) {
    Bench bench;
    if (!bench.Start(bench.ui().radioOperationMode_1, bench.ui().radioSpectrumDisplay_3, 64)) {
        state.SkipWithError("activation failed");
        return;
    }
    RunTicks(state, bench);
}
BENCHMARK(BM_TickRangeVelocityMap)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->MeasureProcessCPUTime();

void BM_TickRangeWaterfall(benchmark::State& state) {
    Bench bench;
    if (!bench.Start(bench.ui().radioOperationMode_1, bench.ui().radioSpectrumDisplay_5, 1024)) {
        state.SkipWithError("activation failed");
        return;
    }
    RunTicks(state, bench);
}
BENCHMARK(BM_TickRangeWaterfall)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->MeasureProcessCPUTime();

void BM_TickVelocityWaterfall(benchmark::State& state) {
    Bench bench;
    if (!bench.Start(bench.ui().radioOperationMode_5, bench.ui().radioSpectrumDisplay_4, 1024)) {
        state.SkipWithError("activation failed");
        return;
    }
    RunTicks(state, bench);
}
BENCHMARK(BM_TickVelocityWaterfall)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->MeasureProcessCPUTime();

// 15 s at 1 ms sweeps of 128 samples, both channels: 3.84 million lines of counts.
void BM_WriteRecordFile(benchmark::State& state) {
    Bench bench;
    SampleBlock samples(3840000);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double phase = 0.0137 * static_cast<double>(i);
        samples[i] = {std::round(2048.0 + 900.0 * std::cos(phase)),
                      std::round(2048.0 + 850.0 * std::sin(phase))};
    }
    QTemporaryDir dir;
    const QString file = dir.filePath("bench.dat");
    for (auto _ : state) {
        if (!bench.window->WriteRecordFile(samples, file)) {
            state.SkipWithError("write failed");
            return;
        }
    }
    state.counters["MB"] = static_cast<double>(QFile(file).size()) / 1e6;
}
BENCHMARK(BM_WriteRecordFile)->Unit(benchmark::kMillisecond)->Iterations(3);

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

// Ticks per display mode (VORN_BENCH_RSS_TICKS, default 10000), painting every 100th; the
// counters are the resident size at the end of each mode and its growth over the second half
// of its ticks (the first half lets the allocator settle on the tick's buffer sizes).
void BM_ResidentMemory(benchmark::State& state) {
    const int ticks = qEnvironmentVariableIsSet("VORN_BENCH_RSS_TICKS")
                          ? qEnvironmentVariableIntValue("VORN_BENCH_RSS_TICKS")
                          : 10000;
    Bench bench;
    const auto& ui = bench.ui();
    struct Mode {
        QAbstractButton* operating;
        QAbstractButton* display;
    };
    const Mode modes[] = {{ui.radioOperationMode_1, ui.radioSpectrumDisplay_1},
                          {ui.radioOperationMode_1, ui.radioSpectrumDisplay_3},
                          {ui.radioOperationMode_1, ui.radioSpectrumDisplay_4},
                          {ui.radioOperationMode_1, ui.radioSpectrumDisplay_5},
                          {ui.radioOperationMode_5, ui.radioSpectrumDisplay_2},
                          {ui.radioOperationMode_5, ui.radioSpectrumDisplay_4},
                          {ui.radioOperationMode_4, ui.radioSpectrumDisplay_2},
                          {ui.radioOperationMode_4, ui.radioSpectrumDisplay_5}};
    long early = 0;
    long peak = 0;
    double growth = 0.0;
    for (auto _ : state) {
        if (!bench.Start(modes[0].operating, modes[0].display, 64)) {
            state.SkipWithError("activation failed");
            return;
        }
        int index = 0;
        for (const Mode& mode : modes) {
            mode.operating->click();
            mode.display->click();
            for (int t = 1; t <= ticks; ++t) {
                bench.Tick();
                if (t % 100 == 0) bench.Paint();
                if (t == ticks / 2) early = ResidentKb();
            }
            const long late = ResidentKb();
            peak = std::max(peak, late);
            const double grown = static_cast<double>(late - early) / 1024.0;
            growth = std::max(growth, grown);
            const std::string name = "mode" + std::to_string(++index);
            state.counters[name + "_MB"] = static_cast<double>(late) / 1024.0;
            state.counters[name + "_growth_MB"] = grown;
        }
    }
    state.counters["rss_MB"] = static_cast<double>(peak) / 1024.0;
    state.counters["growth_MB"] = growth;
}
BENCHMARK(BM_ResidentMemory)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
