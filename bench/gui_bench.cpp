// Whole ticks of the window on the stand-in radar, drawing included, and the window's recording
// writer. The bottom plot is sized 1400 x 700 and every iteration ends with a synchronous repaint
// of both plots, so a tick's cost is what the operator waits for.
#include <benchmark/benchmark.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QMetaObject>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <execinfo.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/vorn_gui.h"
#include "app/window_sync.h"
#include "device/radar_worker.h"
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
    // The tick's replots have asked for a repaint of what changed; it is carried out now if
    // the event loop has not done so yet. Nothing more is drawn: the window paints each plot
    // once per tick, and so does this (the paint count below checks it).
    void Paint() { QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest); }
};

// Counts the paints of the plot canvases.
class CanvasPaints : public QObject {
public:
    explicit CanvasPaints(const Ui::Vorn_GUIClass& ui) {
        for (QwtPlot* plot : {ui.qwtPlotScope_1, ui.qwtPlotScope_2}) {
            plot->canvas()->installEventFilter(this);
        }
    }
    long count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

// CPU seconds of the radar's I/O thread so far. The stand-in synthesises its samples there,
// which a real radar does in hardware; the rest of the process is the window's own work.
double RadarThreadCpuS() {
    double seconds = 0.0;
    QDir tasks("/proc/self/task");
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + "/comm"));
        if (!comm.open(QIODevice::ReadOnly)) continue;
        if (comm.readAll().trimmed() != vorn::RadarWorker::kThreadName) continue;
        // The thread CPU clock of a thread id, as pthread_getcpuclockid makes it.
        const clockid_t clock = static_cast<clockid_t>((~task.toUInt() << 3) | 6);
        timespec t{};
        if (clock_gettime(clock, &t) == 0)
            seconds += static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
    }
    return seconds;
}

void RunTicks(benchmark::State& state, Bench& bench) {
    CanvasPaints paints(bench.ui());
    const double radarBefore = RadarThreadCpuS();
    for (auto _ : state) {
        bench.Tick();
        bench.Paint();
    }
    // Per tick, the stand-in's share of the process CPU time above.
    state.counters["radar_cpu_ms"] =
        (RadarThreadCpuS() - radarBefore) * 1e3 / static_cast<double>(state.iterations());
    const QSize plot = bench.ui().qwtPlotScope_2->size();
    state.counters["plot_w"] = plot.width();
    state.counters["plot_h"] = plot.height();
    // 2 when both plots show and each is painted once per tick.
    state.counters["canvas_paints"] =
        static_cast<double>(paints.count) / static_cast<double>(state.iterations());
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

// With VORN_STALL_TRACE set, a watcher thread prints the GUI thread's stack to standard error
// whenever the probe below has not fired for 35 ms: what holds the GUI thread in a stall.
// (Addresses inside this program resolve with addr2line -f -C -e vorn_bench_gui.)
std::atomic<long long> gLastProbeMs{0};
std::atomic<bool> gWatching{false};
pthread_t gGuiThread;

long long SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void PrintStack(int) {
    void* frames[64];
    const int n = backtrace(frames, 64);
    static const char kHeader[] = "---- GUI thread stalled:\n";
    if (write(STDERR_FILENO, kHeader, sizeof kHeader - 1) < 0) return;
    backtrace_symbols_fd(frames, n, STDERR_FILENO);
}

void StartStallTrace() {
    static bool started = false;
    if (started || std::getenv("VORN_STALL_TRACE") == nullptr) return;
    started = true;
    void* warm[1];
    backtrace(warm, 1);  // loads the unwinder now, not inside the signal handler
    gGuiThread = pthread_self();
    std::signal(SIGUSR2, PrintStack);
    std::thread([] {
        long long traced = 0;
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const long long last = gLastProbeMs.load();
            if (gWatching && last != traced && SteadyMs() - last > 35) {
                traced = last;
                pthread_kill(gGuiThread, SIGUSR2);
            }
        }
    }).detach();
}

// How late a 5 ms timer on the GUI thread fires while the window streams the real-time
// stand-in with its own timer: what the operator feels as the window's answer time. The
// counters are the worst and the 99th-percentile lateness over the run.
class StallProbe {
public:
    StallProbe() {
        StartStallTrace();
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
            late_.push_back(std::max(0.0, now - last_ - 5.0));
            last_ = now;
            gLastProbeMs = SteadyMs();
        });
    }
    void Start() {
        late_.clear();
        clock_.start();
        last_ = 0.0;
        timer_.start();
        gLastProbeMs = SteadyMs();
        gWatching = true;
    }
    void Report(benchmark::State& state) {
        gWatching = false;
        timer_.stop();
        std::sort(late_.begin(), late_.end());
        state.counters["stall_max_ms"] = late_.empty() ? 0.0 : late_.back();
        state.counters["stall_p99_ms"] =
            late_.empty() ? 0.0 : late_[static_cast<std::size_t>(0.99 * (late_.size() - 1))];
        state.counters["probes"] = static_cast<double>(late_.size());
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    double last_ = 0.0;
    std::vector<double> late_;
};

void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Streams the map for 10 s: range(0) sweeps per burst, range(1) the sweep-time combo index.
void BM_StallStreaming(benchmark::State& state) {
    Bench bench;
    bench.radar->SetPacing(vorn::sim::Pacing::RealTime);
    const auto& ui = bench.ui();
    ui.buttonActivateDevice->click();
    ui.radioOperationMode_1->click();
    ui.radioSpectrumDisplay_3->click();
    ui.comboPSweepTime->setCurrentIndex(static_cast<int>(state.range(1)));
    ui.spinBoxDopplerQueue->setValue(static_cast<int>(state.range(0)));
    bench.SizeBottomPlot(1400, 700);
    int ticks = 0;
    QObject::connect(bench.window.get(), &Vorn_GUI::tickFinished, [&ticks] { ++ticks; });
    StallProbe probe;
    for (auto _ : state) {
        probe.Start();
        RunEventsFor(10000);
        probe.Report(state);
    }
    state.counters["ticks"] = ticks;
    state.SetLabel(ui.statusBar->currentMessage().toStdString());
}
BENCHMARK(BM_StallStreaming)
    ->Args({64, 0})
    ->Args({256, 3})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// A 15 s recording while streaming, from the click to the written file.
void BM_StallRecording(benchmark::State& state) {
    Bench bench;
    bench.radar->SetPacing(vorn::sim::Pacing::RealTime);
    const auto& ui = bench.ui();
    ui.buttonActivateDevice->click();
    ui.radioSpectrumDisplay_3->click();
    ui.recordTimeSeconds->setValue(15);
    QTemporaryDir dir;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialog->selectFile(dir.filePath("bench.dat"));
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        }
    });
    answer.start(20);
    StallProbe probe;
    for (auto _ : state) {
        QFile::remove(dir.filePath("bench.dat"));
        probe.Start();
        ui.recordButtonStart->click();
        if (!vorn::WaitForRecording(*bench.window, 60000)) state.SkipWithError("no end");
        probe.Report(state);
    }
    state.SetLabel(ui.recordStatus->text().toStdString());
}
BENCHMARK(BM_StallRecording)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

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
