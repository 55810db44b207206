// Construction, connections and the legends of the two plots.
#include "app/vorn_gui.h"

#include <qwt_dial.h>
#include <qwt_legend_data.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_legenditem.h>
#include <QCamera>
#include <QDockWidget>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QVideoWidget>

#include <utility>

#include "device/radar_device.h"
#include "device/radar_worker.h"
#include "display/canvas_background.h"
#include "display/plot_readout.h"
#include "display/waterfall_view.h"

Vorn_GUI::Vorn_GUI(std::shared_ptr<vorn::UsbBackend> backend, QWidget* parent)
    : QMainWindow(parent, Qt::WindowFlags()) {
    ui.setupUi(this);
    // The form carries the Qt version it was designed with; say which one really runs.
    ui.labelQtVersion->setText(
        tr("This program uses Qt version %1").arg(QString::fromLatin1(qVersion())));

    usbDevice = std::make_unique<RadarDevice>(std::move(backend));
    radarWorker = std::make_unique<vorn::RadarWorker>(*usbDevice);

    on_buttonRefreshDeviceList_clicked();

    updateIntervalMs = ui.spinBoxPUpdateRate->value();
    timeAxisDirty = true;
    processingReset = true;
    clutter.RequestReset();
    historyRows = ui.SpectrogramRows->value();

    // From here on a burst is 8 to 1024 sweeps: the Doppler transforms are 1024 points long.
    ui.spinBoxDopplerQueue->setMaximum(1024);

    MakeConnections();
    ConnectDynamicRangeSliders();

    // Every tick replots both plots, and a replot makes Qwt free the canvas's backing image:
    // each paint would then fault in a fresh one, fill it, draw into it and copy it to the
    // window. Drawn straight to the window instead; the spectrogram colours only the rows a
    // paint can reach, so the cursor read-out moving over the canvas stays cheap. The canvas
    // background is left out under an image that covers it.
    for (QwtPlot* plot : {ui.qwtPlotScope_1, ui.qwtPlotScope_2}) {
        if (auto* canvas = qobject_cast<QwtPlotCanvas*>(plot->canvas())) {
            canvas->setPaintAttribute(QwtPlotCanvas::BackingStore, false);
        }
        CanvasBackground::install(plot);
    }

    AddLegend(ui.qwtPlotScope_1, 0);
    // The peak markers write their labels along the top of the bottom plot's canvas; its legend
    // sits below that strip.
    AddLegend(ui.qwtPlotScope_2, fontMetrics().height() + 10);
    // Owned by the canvases; they read nothing until the first rebuild gives them a mode.
    readoutTop = new vorn::PlotReadout(ui.qwtPlotScope_1);
    readoutBottom = new vorn::PlotReadout(ui.qwtPlotScope_2);

    ui.fskGroupBox->hide();
    // The FSK panel takes the height the plots leave it instead of setting its own: showing it
    // must not make the window taller (off a small screen). The dials shrink with it, and the
    // bottom view takes the larger share of the height while the panel shows.
    QSizePolicy panelPolicy = ui.fskGroupBox->sizePolicy();
    panelPolicy.setVerticalPolicy(QSizePolicy::Ignored);
    ui.fskGroupBox->setSizePolicy(panelPolicy);
    for (QwtDial* dial : {ui.dialFSKRange, ui.dialFSKVelocity}) dial->setMinimumSize(100, 100);
    ui.filterOptionDCSubtract->setChecked(true);
    ui.radioOperationMode_2->hide();
    ui.groupBox_3->setEnabled(false);
    ui.DisplayProperties->setEnabled(false);

    recordProgress = new QProgressBar(this);
    recordProgress->setTextVisible(true);
    recordProgress->setMinimumWidth(220);
    recordCancelButton = new QPushButton(tr("Cancel"), this);
    recordCancelButton->setToolTip(tr("Cancel the recording; nothing is written"));
    ui.statusBar->addPermanentWidget(recordProgress);
    ui.statusBar->addPermanentWidget(recordCancelButton);
    recordProgress->hide();
    recordCancelButton->hide();
    recordProgressTimer = new QTimer(recordProgress);
    connect(recordCancelButton, &QPushButton::clicked, this, &Vorn_GUI::CancelRecording);

    camera = nullptr;
    videoWidget = new QVideoWidget();
    cameraDock = new QDockWidget(tr("Camera"), this);
    addDockWidget(Qt::LeftDockWidgetArea, cameraDock);

    refreshCameraDevices();
    connect(ui.vornCamera_RefreshDevices, &QPushButton::clicked, this,
            &Vorn_GUI::refreshCameraDevices);
    connect(ui.vornCamera_DevicesList, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &Vorn_GUI::setActiveCamera);
    connect(ui.vornCamera_Status, &QPushButton::clicked, this, &Vorn_GUI::setCameraStatus);
}

Vorn_GUI::~Vorn_GUI() {
    if (streamTimer) streamTimer->stop();
    // Calls off a read or recording in flight; nothing of it reaches the window any more.
    radarWorker.reset();
    if (recordWriter) {
        recordWriter->wait();
        delete recordWriter;
    }
    vorn::DeleteAll(plotItems);
    delete camera;
    // The video widget has no parent unless the dock took it.
    if (cameraDock->widget() != videoWidget) delete videoWidget;
}

void Vorn_GUI::ShowMaximizedOnScreen() {
    QScreen* screen = QGuiApplication::screenAt(geometry().center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        resize(size().boundedTo(area.size()));
        move(area.topLeft());
    }
    showMaximized();
}

void Vorn_GUI::MakeConnections() {
    // The first 35 connections; the three camera controls are connected after the camera
    // list is filled, so the first fill selects the camera through the explicit call alone.
    connect(ui.captureViewTop, &QPushButton::clicked, this, &Vorn_GUI::exportPlotImageTop);
    connect(ui.captureViewBottom, &QPushButton::clicked, this, &Vorn_GUI::exportPlotImageBottom);
    for (QRadioButton* b : {ui.radioOperationMode_1, ui.radioOperationMode_2,
                            ui.radioOperationMode_4, ui.radioOperationMode_5})
        connect(b, &QRadioButton::clicked, this, &Vorn_GUI::UpdateDisplayParameters);
    for (QPushButton* b :
         {ui.radioSpectrumDisplay_1, ui.radioSpectrumDisplay_2, ui.radioSpectrumDisplay_3,
          ui.radioSpectrumDisplay_4, ui.radioSpectrumDisplay_5})
        connect(b, &QPushButton::clicked, this, &Vorn_GUI::UpdateDisplayParameters);
    const auto indexChanged = qOverload<int>(&QComboBox::currentIndexChanged);
    connect(ui.comboPBandwidth, indexChanged, this, &Vorn_GUI::UpdateOperatingParameters);
    connect(ui.comboPSampleWindow, indexChanged, this, &Vorn_GUI::UpdateOperatingParameters);
    connect(ui.comboPSweepTime, indexChanged, this, &Vorn_GUI::UpdateOperatingParameters);
    connect(ui.filterOptionDirectClutter, &QRadioButton::clicked, this,
            &Vorn_GUI::UpdateOperatingParameters);
    connect(ui.filterOptionDirectClutterAverage, &QRadioButton::clicked, this,
            &Vorn_GUI::UpdateOperatingParameters);
    connect(ui.filterOptionIQAmplitude, &QCheckBox::clicked, this,
            &Vorn_GUI::UpdateOperatingParameters);
    const auto valueChanged = qOverload<int>(&QSpinBox::valueChanged);
    connect(ui.SpectrogramRows, valueChanged, this, &Vorn_GUI::UpdateDisplayParameters);
    connect(ui.spinBoxDopplerQueue, valueChanged, this, &Vorn_GUI::UpdateDisplayParameters);
    connect(ui.spinBoxPUpdateRate, valueChanged, this, &Vorn_GUI::UpdateDisplayParameters);
    connect(ui.WaterfallRasterDataMethod, indexChanged, this, &Vorn_GUI::UpdateDisplayParameters);
    connect(ui.recordButtonStart, &QPushButton::clicked, this, &Vorn_GUI::recordBegin);
    connect(ui.device_centerFrequency, indexChanged, this, &Vorn_GUI::UpdateDisplayParameters);
    // The "+"/"-" step buttons.
    const std::pair<QPushButton*, void (Vorn_GUI::*)()> steps[] = {
        {ui.DR_Max_Plus, &Vorn_GUI::Qt_DR_Max_Plus},
        {ui.DR_Max_Minus, &Vorn_GUI::Qt_DR_Max_Minus},
        {ui.DR_Min_Plus, &Vorn_GUI::Qt_DR_Min_Plus},
        {ui.DR_Min_Minus, &Vorn_GUI::Qt_DR_Min_Minus},
        {ui.rangeFilter_High_Minus, &Vorn_GUI::Qt_rangeFilter_High_Minus},
        {ui.rangeFilter_High_Plus, &Vorn_GUI::Qt_rangeFilter_High_Plus},
        {ui.rangeFilter_Low_Minus, &Vorn_GUI::Qt_rangeFilter_Low_Minus},
        {ui.rangeFilter_Low_Plus, &Vorn_GUI::Qt_rangeFilter_Low_Plus},
        {ui.velocityFilter_High_Minus, &Vorn_GUI::Qt_velocityFilter_High_Minus},
        {ui.velocityFilter_High_Plus, &Vorn_GUI::Qt_velocityFilter_High_Plus},
        {ui.velocityFilter_Low_Minus, &Vorn_GUI::Qt_velocityFilter_Low_Minus},
        {ui.velocityFilter_Low_Plus, &Vorn_GUI::Qt_velocityFilter_Low_Plus},
    };
    for (const auto& [button, slot] : steps) connect(button, &QPushButton::clicked, this, slot);
}

void Vorn_GUI::AddLegend(QwtPlot* plot, int topInset) {
    auto* legend = new QwtPlotLegendItem();
    if (topInset > 0) legend->setBorderDistance(topInset);
    legend->setMaxColumns(1);
    legend->setAlignment(Qt::AlignRight | Qt::AlignTop);
    legend->setTextPen(QPen(Qt::black));
    QColor background = palette().color(QPalette::Button);
    background.setAlphaF(0.8);
    legend->setBackgroundBrush(QBrush(background, Qt::SolidPattern));
    legend->setBorderRadius(3);
    legend->setBorderPen(QPen(palette().color(QPalette::Dark), 1, Qt::SolidLine));
    legend->attach(plot);
}
