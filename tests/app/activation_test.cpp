// Activation, deactivation, failed activations and failed reads, against the stand-in radar.
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_textlabel.h>

#include <functional>

#include "window_fixture.h"

TEST_F(WindowTest, ActivationDownloadsFirmwareAndStartsStreaming) {
    Activate();
    EXPECT_TRUE(ui().buttonActivateDevice->isChecked());
    EXPECT_EQ(status(), "Device Streaming...");
    ASSERT_TRUE(Streaming());
    EXPECT_EQ(window->timer()->interval(), 100);
    EXPECT_TRUE(ui().groupBox_3->isEnabled());
    EXPECT_TRUE(ui().DisplayProperties->isEnabled());
    EXPECT_EQ(ui().DisplayProperties->currentIndex(), 0);
    EXPECT_TRUE(radar->StreamingEnabled());
    EXPECT_GE(radar->parameterBlocksAccepted(), 1);

    Tick();
    EXPECT_TRUE(status().startsWith("Update Time: ")) << status().toStdString();
    EXPECT_TRUE(status().endsWith(" s"));
    EXPECT_TRUE(ui().buttonActivateDevice->isChecked());
}

TEST_F(WindowTest, UpdateRateChangesTheRunningTimerOrWaitsForActivation) {
    ui().spinBoxPUpdateRate->setValue(250);  // idle: only stored
    EXPECT_EQ(window->timer(), nullptr);
    Activate();
    EXPECT_EQ(window->timer()->interval(), 250);
    ui().spinBoxPUpdateRate->setValue(40);
    EXPECT_TRUE(Streaming());
    EXPECT_EQ(window->timer()->interval(), 40);
    Activate();  // deactivate, then change: the stopped timer keeps its old period
    ui().spinBoxPUpdateRate->setValue(500);
    EXPECT_EQ(window->timer()->interval(), 40);
    Activate();
    EXPECT_EQ(window->timer()->interval(), 500);
    // Each activation replaces the timer rather than adding one.
    EXPECT_EQ(window->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
}

TEST_F(WindowTest, EveryStopKeepsTheLastPictureMarkedStoppedUntilStreamingAgain) {
    const auto overlays = [this] {
        int n = 0;
        for (const QwtPlot* plot : {ui().qwtPlotScope_1, ui().qwtPlotScope_2})
            for (const QwtPlotItem* item : plot->itemList(QwtPlotItem::Rtti_PlotTextLabel))
                n += static_cast<const QwtPlotTextLabel*>(item)->text().text() == "Stopped";
        return n;
    };
    struct Case {
        const char* path;
        std::function<void()> stop;
        QString status;  // empty: the failure's own message, held elsewhere
    };
    const Case cases[] = {
        {"deactivate", [this] { Activate(); }, "Device disabled"},
        {"refresh", [this] { ui().buttonRefreshDeviceList->click(); }, "Device disabled"},
        {"failed read",
         [this] {
             radar->faults().shortStream = true;
             Tick();
             radar->faults().shortStream = false;
         },
         {}},
    };
    for (const Case& c : cases) {
        Activate();
        ui().radioOperationMode_4->click();
        ui().radioSpectrumDisplay_2->click();
        Tick();
        ASSERT_TRUE(Streaming()) << c.path;
        EXPECT_EQ(overlays(), 0) << c.path;
        c.stop();
        EXPECT_FALSE(Streaming()) << c.path;
        EXPECT_FALSE(ui().groupBox_3->isEnabled()) << c.path;
        if (!c.status.isEmpty()) {
            EXPECT_EQ(status(), c.status) << c.path;
            EXPECT_FALSE(ui().buttonActivateDevice->isChecked()) << c.path;
            EXPECT_EQ(ui().DisplayProperties->currentIndex(), 4) << c.path;
        }
        EXPECT_EQ(overlays(), 2) << c.path;
        EXPECT_FALSE(ui().fskGroupBox->isEnabled()) << c.path;
        // The picture itself is kept for inspection.
        const auto curves = ui().qwtPlotScope_2->itemList(QwtPlotItem::Rtti_PlotCurve);
        ASSERT_EQ(curves.size(), 1) << c.path;
        EXPECT_EQ(static_cast<const QwtPlotCurve*>(curves[0])->dataSize(), 1024u) << c.path;
        Activate();
        ASSERT_TRUE(Streaming()) << c.path;
        EXPECT_EQ(overlays(), 0) << c.path;
        EXPECT_TRUE(ui().fskGroupBox->isEnabled()) << c.path;
        Activate();
    }
}
