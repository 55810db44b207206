// The window's start state, settings and step buttons.
#include <qwt_plot_curve.h>
#include <QSlider>

#include "window_fixture.h"

namespace {

// A bus with radars that refuse to open, as a missing udev rule makes them.
class LockedBackend : public vorn::UsbBackend {
public:
    std::vector<vorn::UsbDeviceInfo> ListDevices() override {
        return {{vorn::kRadarVendorId, vorn::kRadarProductId, "1-1"}};
    }
    std::unique_ptr<vorn::UsbDeviceLink> Open(std::size_t, vorn::UsbStatus& status) override {
        status = vorn::UsbStatus::Access;
        return nullptr;
    }
};

}  // namespace

TEST_F(WindowTest, StartsWithTheAdjustedDefaults) {
    EXPECT_EQ(window->windowTitle(), "Vorn-GUI");
    EXPECT_TRUE(ui().filterOptionDCSubtract->isChecked());
    EXPECT_TRUE(ui().radioOperationMode_2->isHidden());
    EXPECT_TRUE(ui().fskGroupBox->isHidden());
    EXPECT_EQ(ui().spinBoxDopplerQueue->maximum(), 1024);
    EXPECT_FALSE(ui().groupBox_3->isEnabled());
    EXPECT_EQ(window->timer(), nullptr);
    EXPECT_EQ(ui().comboDevices->itemText(0), "Tarkel");
    EXPECT_TRUE(ui().labelQtVersion->text().contains(QString::fromLatin1(qVersion())));
}

TEST(WindowWithoutRadar, ListsNoDevicesAndExplainsALockedRadar) {
    Vorn_GUI window(std::make_shared<LockedBackend>());
    EXPECT_EQ(window.form().comboDevices->itemText(0), "No Devices Found");
    EXPECT_FALSE(window.form().buttonActivateDevice->isEnabled());
    EXPECT_TRUE(window.form().statusBar->currentMessage().contains("60-vorn-radar.rules"));
    EXPECT_TRUE(window.form().comboDevices->toolTip().contains("permission"));
}

using S = WindowSlots;

TEST_F(WindowTest, DynamicRangeMinimumStaysBelowTheMaximumAndBothShowTheirValues) {
    QSlider* max = ui().DynamicRange_Maximum;
    QSlider* min = ui().DynamicRange_Minimum;
    ui().DynamicRange_Maximum_EN->setChecked(false);
    ui().DynamicRange_Minimum_EN->setChecked(false);
    for (int i = 0; i < 100; ++i) {
        Invoke(S::kDrMinPlus);
        Invoke(S::kDrMaxMinus);
        ASSERT_LT(min->value(), max->value()) << i;
    }
    EXPECT_EQ(min->value(), 0);
    EXPECT_EQ(max->value(), 2);
    struct Case {
        QSlider* slider;
        QAbstractSlider::SliderAction action;
        int want;
    };
    max->setValue(20);
    min->setValue(-20);
    for (const Case& c : {Case{min, QAbstractSlider::SliderToMaximum, 19},
                          Case{min, QAbstractSlider::SliderToMinimum, -150},
                          Case{max, QAbstractSlider::SliderToMinimum, -149},
                          Case{max, QAbstractSlider::SliderPageStepAdd, -129},
                          Case{min, QAbstractSlider::SliderPageStepAdd, -130}}) {
        c.slider->triggerAction(c.action);
        EXPECT_EQ(c.slider->value(), c.want) << c.action;
    }
    EXPECT_EQ(ui().label_9->text(), "Maximum: -129 dB");
    EXPECT_EQ(ui().label_10->text(), "Minimum: -130 dB");
    EXPECT_EQ(min->toolTip(), "-130 dB");
}

TEST_F(WindowTest, WindowStepsMayLandOnTheEndsButKeepTheWindowOneUnitWide) {
    struct Case {
        QSlider* low;
        QSlider* high;
        S::Slot lowPlus, lowMinus, highPlus, highMinus;
    };
    for (const Case& c :
         {Case{ui().rangeFilter_Low, ui().rangeFilter_High, S::kRangeLowPlus, S::kRangeLowMinus,
               S::kRangeHighPlus, S::kRangeHighMinus},
          Case{ui().velocityFilter_Low, ui().velocityFilter_High, S::kVelocityLowPlus,
               S::kVelocityLowMinus, S::kVelocityHighPlus, S::kVelocityHighMinus}}) {
        SCOPED_TRACE(c.low->objectName().toStdString());
        // The ends of the sliders (0 ... 99).
        c.high->setValue(98);
        Invoke(c.highPlus);
        Invoke(c.highPlus);
        EXPECT_EQ(c.high->value(), 99);
        c.low->setValue(0);
        Invoke(c.lowMinus);
        EXPECT_EQ(c.low->value(), 0);
        // "+" on the lower bound stops one below the upper one, "-" on the upper one above it.
        c.high->setValue(45);
        c.low->setValue(43);
        for (int i = 0; i < 5; ++i) Invoke(c.lowPlus);
        EXPECT_EQ(c.low->value(), 44);
        for (int i = 0; i < 5; ++i) Invoke(c.highMinus);
        EXPECT_EQ(c.high->value(), 45);
        Invoke(c.lowMinus);
        Invoke(c.highMinus);
        EXPECT_EQ(c.high->value(), 44);
    }
}

TEST_F(WindowTest, OperatingParametersFollowTheControls) {
    Activate();
    ASSERT_TRUE(Streaming());
    // 2 ms, 150 MHz, 256 samples, FMCW sawtooth.
    ui().comboPSweepTime->setCurrentIndex(1);
    ui().comboPBandwidth->setCurrentIndex(1);
    ui().comboPSampleWindow->setCurrentIndex(1);
    EXPECT_EQ(window->currentParameterWord(), 0xA064);
    Tick();  // the block reaches the radar through its worker
    EXPECT_EQ(radar->parameters().samplesPerSweep, 256);
    // 400 MHz carries code 0.
    ui().comboPBandwidth->setCurrentIndex(3);
    EXPECT_EQ(window->currentParameterWord() & 0x30, 0x00);
    // CW: bandwidth combo and clutter group disabled.
    ui().radioOperationMode_5->click();
    EXPECT_EQ(window->currentOperatingMode(), 3);
    EXPECT_EQ(window->currentParameterWord() & 0x3, 3);
    EXPECT_FALSE(ui().comboPBandwidth->isEnabled());
    EXPECT_FALSE(ui().groupBox_11->isEnabled());
    // FSK: panel shown, read-only dials, range window group disabled.
    ui().radioOperationMode_4->click();
    EXPECT_EQ(window->currentOperatingMode(), 2);
    EXPECT_FALSE(ui().fskGroupBox->isHidden());
    EXPECT_TRUE(ui().dialFSKRange->isReadOnly());
    EXPECT_TRUE(ui().dialFSKVelocity->isReadOnly());
    EXPECT_FALSE(ui().comboPBandwidth->isEnabled());
    EXPECT_FALSE(ui().groupBox_Range->isEnabled());
    // Back to FMCW: the panel hides and the dials return to zero.
    ui().dialFSKRange->setValue(12);
    ui().radioOperationMode_1->click();
    EXPECT_TRUE(ui().fskGroupBox->isHidden());
    EXPECT_EQ(ui().dialFSKRange->value(), 0);
    EXPECT_TRUE(ui().comboPBandwidth->isEnabled());
}

// A reference for clutter subtraction belongs to one set of operating parameters: after a
// change the first block is taken afresh, so the time scope shows nothing left of it.
TEST_F(WindowTest, NewOperatingParametersTakeAFreshClutterReference) {
    Activate();
    ASSERT_TRUE(Streaming());
    ui().filterOptionDirectClutter->click();
    Tick();
    Tick();
    ui().comboPBandwidth->setCurrentIndex(1);  // the same block length, another scene
    Tick();
    const auto curves = ui().qwtPlotScope_1->itemList(QwtPlotItem::Rtti_PlotCurve);
    ASSERT_EQ(curves.size(), 2);
    for (const QwtPlotItem* item : curves) {
        const auto* curve = static_cast<const QwtPlotCurve*>(item);
        ASSERT_GT(curve->dataSize(), 0u);
        for (std::size_t k = 0; k < curve->dataSize(); ++k)
            ASSERT_EQ(curve->sample(k).y(), 0.0) << k;
    }
}
