// Recording a stretch of the raw stream of both channels to a ".dat" file.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QTimer>

#include <ctime>

#include "app/vorn_gui.h"
#include "device/radar_device.h"
#include "record/record_file_name.h"
#include "record/recording_plan.h"
#include "record/sample_file_writer.h"

void Vorn_GUI::UpdateRecordData(double samp_rate) {
    ui.recordLCDSampleRate->display(samp_rate);
    ui.recordTotalSamples->display(static_cast<double>(vorn::record::TotalSamplesReadout(
        ui.recordTimeSeconds->value(), samp_rate, samplesPerSweep)));
}

void Vorn_GUI::recordBegin() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool wasStreaming = streamTimer && streamTimer->isActive();
    if (streamTimer) streamTimer->stop();
    const auto resume = [&] {
        if (wasStreaming) streamTimer->start(updateIntervalMs);
        QApplication::restoreOverrideCursor();
    };

    // A duration whose sizes do not fit is refused before anything is read.
    const vorn::record::RecordingPlan plan =
        vorn::record::PlanRecording(ui.recordTimeSeconds->value(), samplesPerSweep, sweepTimeMs);
    if (!plan.fits) {
        const QString message = QString::fromStdString(plan.message);
        ui.recordStatus->setText(message);
        ShowNotice(message);
        resume();
        return;
    }

    SendParameterBlock();
    SampleBlock recording;
    const int got = usbDevice->ReadBothChannels(recording, plan.frames, plan.timeoutMs);
    if (got != 2 * plan.frames) {
        ui.recordStatus->setText(tr("Error, %1 samples").arg(got / 2));
        StopStreamingAfterFailedRead(tr("Error: Interface cound not be set!"));
        QApplication::restoreOverrideCursor();
        return;
    }

    ui.recordStatus->setText(tr("Good, %1 samples").arg(got / 2));
    const QString defaultName =
        QString::fromStdString(vorn::record::DefaultRecordFileName(std::time(nullptr)));
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Save Recorded Session"), defaultName, tr("Complex Samples (*.dat)"));
    if (!fileName.isEmpty()) WriteRecordFile(recording, fileName);
    resume();
}

bool Vorn_GUI::WriteRecordFile(const SampleBlock& samples, const QString& fileName) {
    vorn::record::RecordHeader header;
    header.operatingMode = operatingMode;
    header.centerFrequencyHz = centerFrequencyHz;
    header.sweepTimeMs = sweepTimeMs;
    header.samplesPerSweep = samplesPerSweep;
    header.bandwidthHz = bandwidthHz;
    const auto result = vorn::record::WriteSampleFile(QFile::encodeName(fileName).toStdString(),
                                                      header, samples);
    if (!result.ok) {
        // A recording that did not reach the disk must not read as saved.
        const QString message = tr("Error: Recording not saved: %1")
                                    .arg(QString::fromLocal8Bit(result.message.c_str()));
        ui.recordStatus->setText(message);
        ShowNotice(message);
        return false;
    }
    ShowNotice(tr("Recording saved to %1").arg(fileName));
    return true;
}
