#pragma once
// The one window of the application: owns the form, the radar connection, the acquisition
// timer, the plot items and every working buffer. Definitions are split by concern across
// the app/*.cpp files.
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <complex>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "display/plot_frames.h"
#include "display/plot_items.h"
#include "dsp/cfar.h"
#include "dsp/chain_settings.h"
#include "record/sample_file_format.h"
#include "ui_vorn_gui.h"

class QCamera;
class QProgressBar;
class QLabel;
class QPushButton;
class QRadioButton;
class QThread;
class QDockWidget;
class QTimer;
class QVideoWidget;
class QSlider;
class QwtPlot;
class QwtPlotCurve;
class QwtPlotGrid;
class QwtPlotMarker;
class QwtPlotZoneItem;
class RadarDevice;
class WaterfallView;

namespace vorn {
class PlotReadout;
class RadarWorker;
class UsbBackend;
}  // namespace vorn

using SampleBlock = vorn::dsp::SampleBlock;

// The one table of the operating-mode buttons: the button of a code (nullptr for none), and
// the code of the checked one (`fallback` when none is).
QRadioButton* OperatingModeButton(const Ui::Vorn_GUIClass& ui, int operatingMode);
int CheckedOperatingMode(const Ui::Vorn_GUIClass& ui, int fallback);
// The button of display mode 1 ... kDisplayModeCount.
QPushButton* DisplayModeButton(const Ui::Vorn_GUIClass& ui, int displayMode);

class Vorn_GUI : public QMainWindow {
    Q_OBJECT

public:
    explicit Vorn_GUI(std::shared_ptr<vorn::UsbBackend> backend, QWidget* parent = nullptr);
    ~Vorn_GUI() override;

    Vorn_GUI(const Vorn_GUI&) = delete;
    Vorn_GUI& operator=(const Vorn_GUI&) = delete;

    // Shows the window maximised. Without a window manager maximising does nothing, so the
    // window is first held inside the screen's available area (the form's own size is taller
    // than many screens, which would put the status bar off the bottom edge).
    void ShowMaximizedOnScreen();

    // Parses the embedded controller image and downloads it; true when every record was written.
    bool LoadFirmware();
    void EnableDisplayControls(bool enabled);

    void ProcessFmcwRange();
    void ProcessRangeVelocityMap();
    void ProcessCwVelocity();
    void ProcessFsk();

    bool WriteRecordFile(const SampleBlock& samples, const QString& fileName);

    // Read access for tests and tools; the window itself uses the members directly.
    const Ui::Vorn_GUIClass& form() const { return ui; }
    RadarDevice* radar() const { return usbDevice.get(); }
    QTimer* timer() const { return streamTimer; }
    int currentOperatingMode() const { return operatingMode; }
    int currentDisplayMode() const { return displayMode; }
    std::uint16_t currentParameterWord() const { return parameterWord; }
    // True from a tick's start until its block has been processed, dropped or called off.
    bool TickInFlight() const { return readInFlight; }
    // True from the start of a recording until its outcome is shown.
    bool RecordingInFlight() const { return recordingInFlight; }

signals:
    // A tick has ended: its block processed and drawn, its read failed, or its read called off.
    void tickFinished();
    // A recording has ended: saved, failed, refused, cancelled or discarded.
    void recordingFinished();

private slots:
    void on_buttonRefreshDeviceList_clicked();
    void on_buttonActivateDevice_clicked();
    // Takes the int so that the form connects it to valueChanged(int) alone: the bare name
    // fits the QString overload too, and Qt warns about the choice at every start.
    void on_spinBoxPUpdateRate_valueChanged(int value);
    void ReadStream();
    bool UpdateOperatingParameters();
    void UpdateDisplayParameters();
    void UpdateRecordData(double samp_rate);
    void recordBegin();
    void exportPlotImageTop();
    void exportPlotImageBottom();
    void Qt_DR_Max_Plus();
    void Qt_DR_Max_Minus();
    void Qt_DR_Min_Plus();
    void Qt_DR_Min_Minus();
    void Qt_rangeFilter_High_Minus();
    void Qt_rangeFilter_High_Plus();
    void Qt_rangeFilter_Low_Minus();
    void Qt_rangeFilter_Low_Plus();
    void Qt_velocityFilter_High_Minus();
    void Qt_velocityFilter_High_Plus();
    void Qt_velocityFilter_Low_Minus();
    void Qt_velocityFilter_Low_Plus();
    void refreshCameraDevices();
    void setCameraStatus();
    void setActiveCamera();
    // Shows why the camera failed, so that an empty dock does not go unexplained.
    void ShowCameraError(const QString& reason);

private:
    friend struct WindowSlots;  // the tests' compile-checked handles on the private slots
    void MakeConnections();
    // Holds each dynamic-range slider short of the other and shows both values in dB.
    void ConnectDynamicRangeSliders();
    // topInset: the legend's distance from the canvas's top and right edges (0: Qwt's own).
    void AddLegend(QwtPlot* plot, int topInset);
    // Shows the outcome of an export or a recording and keeps it readable for a few seconds
    // before the update-time read-out takes the status bar back.
    void ShowNotice(const QString& message);
    // Marks both plots (and the FSK panel) as stopped, keeping the last picture for inspection,
    // or takes the mark off when streaming starts again.
    void ShowStopped(bool stopped);
    // Ends streaming after a failed acquisition: the same sequence for every routine.
    void StopStreamingAfterFailedRead(const QString& message);
    // Rebuilds the radar list. Only a refresh the operator asked for may put the permission
    // hint into the status bar; a recovery step must leave the error message standing there.
    void RefreshDeviceList(bool operatorAsked);
    // Puts the cause of the radar connection's last failure into the status bar's tooltip and
    // the log, after a failure message was shown.
    void ReportUsbFailure();
    // One warning per cause: a fault that persists fails every attempt in the same words.
    void LogUsbFailure(const QString& cause);
    // Sends the parameter block of the current parameter word through the radar's worker and
    // waits for it; the number of bytes taken.
    int SendParameterBlock();
    // The rest of a processing routine, run on the GUI thread once its block has arrived.
    using BlockHandler = std::function<void(SampleBlock& block)>;
    // Writes the parameter block and reads frames of the selected channel off the GUI thread;
    // a complete block goes to process, a short one ends streaming with the failure message.
    void AcquireBlock(int frames, int timeoutMs, const QString& failure, BlockHandler process);
    void OnBlockArrived(std::uint64_t generation, bool complete, SampleBlock& block,
                        const QString& failure, const BlockHandler& process);
    // Shows the update time of the tick that just ended and announces its end.
    void FinishTick();
    // Calls off the read in flight, if any; a block that still arrives from it is dropped.
    void CancelRead();
    void ExportPlotImage(QwtPlot* plot);
    // The stages of a recording after its read: where to save, the writing, the outcome.
    void CancelRecording();
    void OnRecordingRead(int got, int frames, std::shared_ptr<SampleBlock> recording);
    // The file type follows the dialog's filter, or the name's extension: ".dat" or SigMF.
    void AskWhereToSave(std::shared_ptr<SampleBlock> recording, int frames,
                        const QString& suggestion);
    // One short text in the record status field; the whole message in its tooltip and, when it
    // says more, in the status bar.
    void ShowRecordStatus(const QString& text, const QString& details);
    void EndRecording(bool resumeStreaming);
    void SetRecordingControls(bool recording);
    vorn::record::RecordHeader CurrentRecordHeader() const;
    // The operating parameters the chains take.
    vorn::dsp::RadarParameters RadarNow() const;
    // `choices` (what a routine read before its read: sweeps, windows, threshold) with the
    // filter controls' state, read when the block has arrived.
    vorn::dsp::OperatorChoices ChoicesFromControls(vorn::dsp::OperatorChoices choices) const;
    // Shows CFAR detections (strongest first) as marks at (x, y) and lists up to 16 of them;
    // with CFAR off removes the marks and hides the list, leaving the display as without it.
    struct ListedDetection {
        double x = 0.0, y = 0.0;  // where the mark goes, on the plot's axes
        double range = 0.0, level = 0.0;
        std::optional<double> velocity;
    };
    void ShowDetections(const std::vector<ListedDetection>& detections);
    bool CfarEnabled() const;
    vorn::dsp::CfarSettings CfarSettingsFromControls() const;
    vorn::dsp::DynamicRangeControls DynamicRangeFromControls() const;
    // Puts a window's sliders to their full span after a change of configuration.
    void ResetWindowSliders(QSlider* low, QSlider* high, const vorn::dsp::WindowBounds& full);
    // Keeps a window's sliders ordered and at least the minimum width apart (the slider with
    // focus wins), shows the bounds in their labels by `format` and returns them.
    vorn::dsp::WindowBounds WindowFromSliders(QSlider* low, QSlider* high, QLabel* lowLabel,
                                              QLabel* highLabel, const QString& format);
    // Shades the window's band, or hides the zone over the full span when the window is off.
    void ShowWindowZone(const vorn::dsp::WindowBounds& window, double fullLower, double fullUpper);
    // Titles and scales of the current modes once the configuration changed; called before
    // the read, so that a failed first read leaves one display mode's plots.
    void FramePlots(double maxRange, double maxVelocity, double scopeStart, double scopeEnd);
    // The scope's y scale: -1 ... 1 for normalised samples, -100 ... 100 after clutter
    // cancellation, otherwise automatic.
    void ScaleTimeScope(bool normalised, bool clutterCancelled);
    // Writes a block's I and Q traces into the top plot's two curves; the x axis is rebuilt
    // only when the configuration changed, up to spanEnd when given.
    void UpdateTimeScope(const vorn::dsp::IqTraces& scope, double samplePeriod,
                         std::optional<double> spanEnd = std::nullopt);
    // Scales from the history before the new row (its newest maxRows and minRows fractions:
    // 1/2, 1/4 ...), then adds the row and redraws the waterfall.
    void ShowWaterfallRow(const std::vector<double>& row, int colorScheme, double xLow,
                          double xHigh, int maxFraction, int minFraction);
    // The "Auto" rules over all the values; moves the sliders whose box is checked and returns
    // the bounds to use for the plot.
    vorn::dsp::DynamicRange AutoDynamicRange(const std::vector<double>& values);
    // The same over values[0, maxCount) for the maximum and values[0, minCount) for the
    // minimum (the waterfall's matrix, newest row first).
    vorn::dsp::DynamicRange AutoDynamicRange(const double* values, std::size_t size,
                                             std::size_t maxCount, std::size_t minCount);

    Ui::Vorn_GUIClass ui;
    std::unique_ptr<RadarDevice> usbDevice;
    // Declared after the device, so that it stops before the device goes.
    std::unique_ptr<vorn::RadarWorker> radarWorker;
    bool readInFlight = false;
    bool recordingInFlight = false;
    std::uint64_t readGeneration = 0;  // a block read under an older one is dropped
    std::int64_t tickStart = 0;        // performance-counter value
    bool recordCancelled = false;
    std::time_t recordTime = 0;  // when the read ended, as the default file name gives it
    bool recordResumeStreaming = false;
    QProgressBar* recordProgress = nullptr;
    QPushButton* recordCancelButton = nullptr;
    QTimer* recordProgressTimer = nullptr;
    QThread* recordWriter = nullptr;
    QList<QPointer<QWidget>> recordDisabledWidgets;
    bool timeAxisDirty = true;
    bool processingReset = true;
    std::vector<double> timeAxis;
    std::vector<double> spectrumAxis;
    // Every plot item of the current display mode; a null pointer means the mode has none.
    // The routines use the items by their own names, bound below.
    vorn::PlotItems plotItems;
    WaterfallView*& waterfall = plotItems.waterfall;
    QwtPlotCurve*& curveI = plotItems.curveI;
    QwtPlotCurve*& curveQ = plotItems.curveQ;
    QwtPlotCurve*& curveSpectrum = plotItems.curveSpectrum;
    QwtPlotMarker*& markerFskThreshold = plotItems.markerFskThreshold;
    QwtPlotMarker*& markerFskPeak = plotItems.markerFskPeak;
    QwtPlotMarker*& markerCwPeak = plotItems.markerCwPeak;
    QwtPlotMarker*& markerRangePeak = plotItems.markerRangePeak;
    QwtPlotGrid*& grid = plotItems.grid;
    QwtPlotZoneItem*& windowZone = plotItems.windowZone;
    // The values under the mouse on each plot, told what the plot shows at every rebuild.
    vorn::PlotReadout* readoutTop = nullptr;
    vorn::PlotReadout* readoutBottom = nullptr;
    // Top and bottom plot; present only while stopped after streaming. The plots own them.
    vorn::StoppedOverlay* stoppedOverlays[2] = {nullptr, nullptr};
    // Per-configuration state of the chains (window responses, weighting, transform plans)
    // and the clutter reference and history; a reset makes each start afresh.
    vorn::dsp::FmcwRangeProcessor fmcwRange;
    vorn::dsp::RangeVelocityMapProcessor rangeVelocityMap;
    vorn::dsp::CwVelocityProcessor cwVelocity;
    vorn::dsp::FskProcessor fsk;
    vorn::dsp::ClutterCanceller clutter;
    QCamera* camera = nullptr;
    QVideoWidget* videoWidget = nullptr;
    QDockWidget* cameraDock = nullptr;
    QTimer* streamTimer = nullptr;
    std::int32_t updateIntervalMs = 100;
    std::int64_t noticeUntil = 0;  // performance-counter value
    QString lastLoggedUsbFailure;  // until the radar streams again
    std::int32_t operatingMode = 0;
    double centerFrequencyHz = 5.65e9;
    std::int32_t modeCode = 0;
    std::int32_t sweepTimeCode = 0;
    std::int32_t samplesCode = 0;
    std::int32_t bandwidthCode = 1;
    std::int32_t samplesPerSweep = 128;
    double sweepTimeMs = 1.0;
    double bandwidthHz = 100e6;
    std::uint16_t parameterWord = 0;
    double updatePeriodS = 0.1;
    std::int32_t historyRows = 64;
    std::int32_t displayMode = 1;
    std::int32_t channelOneSelected = 1;
};
