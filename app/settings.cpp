// Operating parameters from the controls, and the "+"/"-" step buttons.
#include <QTimer>
#include <qwt_dial_needle.h>
#include <QLabel>
#include <QSlider>

#include "app/vorn_gui.h"
#include "device/radar_constants.h"
#include "device/radar_device.h"
#include "device/radar_worker.h"

namespace {

// The dynamic-range steps refuse to land on the slider's ends; the window steps may.
void StepStrict(QSlider* slider, int step) {
    const int next = slider->value() + step;
    if (step > 0 ? next < slider->maximum() : next > slider->minimum()) slider->setValue(next);
}

void StepInclusive(QSlider* slider, int step) {
    const int next = slider->value() + step;
    if (step > 0 ? next <= slider->maximum() : next >= slider->minimum()) slider->setValue(next);
}

// The window steps that narrow a window stop at its minimum width, so that it never passes
// nothing and reports a detection there; the steps that widen it only stop at the ends.
void StepLowerBound(QSlider* low, const QSlider* high, int step) {
    if (step > 0 && !vorn::dsp::KeepsMinimumWindowWidth(low->value() + step, high->value())) return;
    StepInclusive(low, step);
}

void StepUpperBound(const QSlider* low, QSlider* high, int step) {
    if (step < 0 && !vorn::dsp::KeepsMinimumWindowWidth(low->value(), high->value() + step)) return;
    StepInclusive(high, step);
}

QwtDialSimpleNeedle* MakeNeedle() {
    return new QwtDialSimpleNeedle(QwtDialSimpleNeedle::Ray, true, Qt::gray, Qt::darkGray);
}

}  // namespace

// The minimum stays below the maximum: a scale of zero or negative height blanks the map and
// turns the range scope's dB axis upside down.
void Vorn_GUI::Qt_DR_Max_Plus() {
    StepStrict(ui.DynamicRange_Maximum, +2);
}
void Vorn_GUI::Qt_DR_Max_Minus() {
    if (ui.DynamicRange_Maximum->value() - 2 > ui.DynamicRange_Minimum->value())
        StepStrict(ui.DynamicRange_Maximum, -2);
}
void Vorn_GUI::Qt_DR_Min_Plus() {
    if (ui.DynamicRange_Minimum->value() + 2 < ui.DynamicRange_Maximum->value())
        StepStrict(ui.DynamicRange_Minimum, +2);
}
void Vorn_GUI::Qt_DR_Min_Minus() {
    StepStrict(ui.DynamicRange_Minimum, -2);
}

void Vorn_GUI::ConnectDynamicRangeSliders() {
    QSlider* const max = ui.DynamicRange_Maximum;
    QSlider* const min = ui.DynamicRange_Minimum;
    // A drag, page step, key or wheel turn is held short of the other slider before the value
    // is taken; the automatic rules set the values directly and are not held.
    connect(max, &QAbstractSlider::actionTriggered, this, [max, min] {
        if (max->sliderPosition() <= min->value()) max->setSliderPosition(min->value() + 1);
    });
    connect(min, &QAbstractSlider::actionTriggered, this, [max, min] {
        if (min->sliderPosition() >= max->value()) min->setSliderPosition(max->value() - 1);
    });
    // The sliders have no scale of their own: their values are shown beside their names.
    const auto show = [](QLabel* label, QSlider* slider, const QString& name) {
        const auto update = [label, slider, name] {
            const QString value = tr("%1 dB").arg(slider->value());
            label->setText(tr("%1: %2").arg(name, value));
            slider->setToolTip(value);
        };
        update();
        QObject::connect(slider, &QSlider::valueChanged, label, update);
    };
    show(ui.label_9, max, tr("Maximum"));
    show(ui.label_10, min, tr("Minimum"));
}

void Vorn_GUI::Qt_rangeFilter_High_Minus() {
    StepUpperBound(ui.rangeFilter_Low, ui.rangeFilter_High, -1);
}
void Vorn_GUI::Qt_rangeFilter_High_Plus() {
    StepUpperBound(ui.rangeFilter_Low, ui.rangeFilter_High, +1);
}
void Vorn_GUI::Qt_rangeFilter_Low_Minus() {
    StepLowerBound(ui.rangeFilter_Low, ui.rangeFilter_High, -1);
}
void Vorn_GUI::Qt_rangeFilter_Low_Plus() {
    StepLowerBound(ui.rangeFilter_Low, ui.rangeFilter_High, +1);
}
void Vorn_GUI::Qt_velocityFilter_High_Minus() {
    StepUpperBound(ui.velocityFilter_Low, ui.velocityFilter_High, -1);
}
void Vorn_GUI::Qt_velocityFilter_High_Plus() {
    StepUpperBound(ui.velocityFilter_Low, ui.velocityFilter_High, +1);
}
void Vorn_GUI::Qt_velocityFilter_Low_Minus() {
    StepLowerBound(ui.velocityFilter_Low, ui.velocityFilter_High, -1);
}
void Vorn_GUI::Qt_velocityFilter_Low_Plus() {
    StepLowerBound(ui.velocityFilter_Low, ui.velocityFilter_High, +1);
}

bool Vorn_GUI::UpdateOperatingParameters() {
    // A block read under the old parameters must not meet the new ones.
    CancelRead();
    ui.filterOptionDCSubtract->setEnabled(true);
    ui.comboPBandwidth->setEnabled(true);
    ui.groupBox_Range->setEnabled(true);
    ui.groupBox_DopplerPulse->setEnabled(true);

    operatingMode = CheckedOperatingMode(ui, operatingMode);
    const bool isFsk = operatingMode == vorn::kOperatingModeFsk;

    if (!isFsk) {
        ui.fskGroupBox->hide();
        ui.counterFSKDetectionThreshold->setEnabled(false);
        ui.dialFSKVelocity->setEnabled(false);
        ui.dialFSKVelocity->setValue(0);
        ui.dialFSKRange->setEnabled(false);
        ui.dialFSKRange->setValue(0);
        ui.comboPBandwidth->setEnabled(true);
        ui.groupBox_8->setEnabled(true);
        ui.groupBox_11->setEnabled(true);
        ui.groupBox_Range->setEnabled(true);
    } else {
        ui.fskGroupBox->show();
        ui.counterFSKDetectionThreshold->setEnabled(true);
        ui.dialFSKVelocity->setEnabled(true);
        ui.dialFSKVelocity->setReadOnly(true);
        ui.dialFSKVelocity->setNeedle(MakeNeedle());
        ui.dialFSKRange->setEnabled(true);
        ui.dialFSKRange->setReadOnly(true);
        ui.dialFSKRange->setNeedle(MakeNeedle());
        ui.comboPBandwidth->setEnabled(false);
        ui.groupBox_8->setEnabled(false);
        ui.groupBox_11->setEnabled(false);
        ui.groupBox_Range->setEnabled(false);
    }
    ui.verticalLayout_18->setStretch(0, 1);
    ui.verticalLayout_18->setStretch(1, isFsk ? 2 : 1);
    if (operatingMode == vorn::kOperatingModeCw) {
        ui.comboPBandwidth->setEnabled(false);
        ui.groupBox_11->setEnabled(false);
    }

    modeCode = operatingMode;

    // "400" MHz has code 0 and "100" MHz code 1: the radar's own encoding.
    static constexpr int kBandwidthCodes[] = {1, 2, 3, 0};
    if (const int i = ui.comboPSweepTime->currentIndex(); i >= 0 && i <= 3) {
        sweepTimeCode = i;
        sweepTimeMs = vorn::dsp::kSweepTimeChoicesMs[i];
    }
    if (const int i = ui.comboPSampleWindow->currentIndex(); i >= 0 && i <= 3) {
        samplesCode = i;
        samplesPerSweep = vorn::dsp::kSamplesPerSweepChoices[i];
    }
    if (const int i = ui.comboPBandwidth->currentIndex(); i >= 0 && i <= 3) {
        bandwidthCode = kBandwidthCodes[i];
        bandwidthHz = vorn::dsp::kBandwidthChoicesHz[i];
    }

    parameterWord =
        RadarDevice::ComposeParameterWord(sweepTimeCode, bandwidthCode, samplesCode, modeCode);

    centerFrequencyHz =
        vorn::record::CarrierHz(operatingMode, vorn::record::kBaseCarrierHz + bandwidthHz / 2.0);

    channelOneSelected = ui.device_centerFrequency->currentIndex() == 1 ? 0 : 1;

    clutter.RequestReset();
    timeAxisDirty = true;
    processingReset = true;

    if (streamTimer && streamTimer->isActive()) {
        // While streaming, the block joins the radar's queue and the window goes on; every
        // tick sends it again before its read, where a failed write shows as a short read.
        const std::uint16_t word = parameterWord;
        radarWorker->Post([word](RadarDevice& device) { device.WriteParameterBlock(word); });
        return true;
    }
    return SendParameterBlock() == vorn::kParameterBlockBytes;
}
