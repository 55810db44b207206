// Recording a stretch of the raw stream of both channels to a ".dat" file or as SigMF. The read and
// the writing run off the GUI thread; the window shows their progress and can call the read off.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

#include <ctime>

#include "app/vorn_gui.h"
#include "device/radar_device.h"
#include "device/radar_worker.h"
#include "record/record_file_name.h"
#include "record/recording_plan.h"
#include "record/sample_file_writer.h"
#include "record/sigmf.h"

void Vorn_GUI::UpdateRecordData(double samp_rate) {
    ui.recordLCDSampleRate->display(samp_rate);
    ui.recordTotalSamples->display(static_cast<double>(vorn::record::TotalSamplesReadout(
        ui.recordTimeSeconds->value(), samp_rate, samplesPerSweep)));
}

void Vorn_GUI::recordBegin() {
    if (recordingInFlight) return;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    recordResumeStreaming = streamTimer && streamTimer->isActive();
    if (streamTimer) streamTimer->stop();
    CancelRead();  // the tick's read gives way to the recording

    // A duration whose sizes do not fit is refused before anything is read.
    const vorn::record::RecordingPlan plan =
        vorn::record::PlanRecording(ui.recordTimeSeconds->value(), samplesPerSweep, sweepTimeMs);
    if (!plan.fits) {
        const QString message = QString::fromStdString(plan.message);
        ShowRecordStatus(message, message);
        ShowNotice(message);
        EndRecording(true);
        return;
    }

    recordingInFlight = true;
    recordCancelled = false;
    SetRecordingControls(true);
    const double seconds = static_cast<double>(plan.frames) / plan.sampleRate;
    recordProgress->setRange(0, static_cast<int>(seconds * 10.0));
    recordProgress->setValue(0);
    recordProgress->setFormat(tr("Recording %1 of %2 s").arg(0).arg(seconds, 0, 'f', 1));
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    recordProgressTimer->disconnect();
    connect(recordProgressTimer, &QTimer::timeout, this, [this, started, seconds] {
        // The radar delivers at its own pace: progress is the time elapsed against the time
        // the samples take.
        const double elapsed = std::min(seconds, started->elapsed() / 1000.0);
        recordProgress->setValue(static_cast<int>(elapsed * 10.0));
        recordProgress->setFormat(
            tr("Recording %1 of %2 s").arg(elapsed, 0, 'f', 1).arg(seconds, 0, 'f', 1));
    });
    recordProgressTimer->start(100);

    const std::uint16_t word = parameterWord;
    const int frames = plan.frames;
    const int timeoutMs = plan.timeoutMs;
    radarWorker->Post([this, word, frames, timeoutMs](RadarDevice& device) {
        device.WriteParameterBlock(word);
        auto recording = std::make_shared<SampleBlock>();
        const int got = device.ReadBothChannels(*recording, frames, timeoutMs);
        QMetaObject::invokeMethod(
            this, [this, got, frames, recording] { OnRecordingRead(got, frames, recording); },
            Qt::QueuedConnection);
    });
}

void Vorn_GUI::CancelRecording() {
    if (!recordingInFlight) return;
    recordCancelled = true;
    if (recordWriter == nullptr) radarWorker->CancelAll();
}

void Vorn_GUI::OnRecordingRead(int got, int frames, std::shared_ptr<SampleBlock> recording) {
    recordProgressTimer->stop();
    if (recordCancelled) {
        ShowRecordStatus(tr("Recording cancelled"), tr("Recording cancelled"));
        EndRecording(true);
        return;
    }
    if (got != 2 * frames) {
        ShowRecordStatus(tr("Error, %1 samples").arg(got / 2),
                         tr("Error, %1 samples").arg(got / 2));
        EndRecording(false);
        StopStreamingAfterFailedRead(tr("Error: Interface cound not be set!"));
        return;
    }
    recordTime = std::time(nullptr);
    const QString defaultName =
        QString::fromStdString(vorn::record::DefaultRecordFileName(recordTime));
    AskWhereToSave(std::move(recording), got / 2, defaultName);
}

void Vorn_GUI::AskWhereToSave(std::shared_ptr<SampleBlock> recording, int frames,
                              const QString& suggestion) {
    const QString datFilter = tr("Complex Samples (*.dat)");
    const QString sigmfFilter = tr("SigMF Recording (*.sigmf-meta)");
    // A retry offers again the type the failed attempt was saved as.
    QString filter = suggestion.endsWith(vorn::record::kSigmfMetaSuffix) ? sigmfFilter : datFilter;
    QString fileName =
        QFileDialog::getSaveFileName(this, tr("Save Recorded Session"), suggestion,
                                     datFilter + QStringLiteral(";;") + sigmfFilter, &filter);
    if (fileName.isEmpty()) {
        // Closing the dialog throws the samples away, so it asks first.
        const auto answer = QMessageBox::question(
            this, tr("Discard recording?"),
            tr("The recording of %1 samples has not been saved. Discard it?").arg(frames),
            QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel);
        if (answer == QMessageBox::Discard) {
            ShowRecordStatus(tr("Not saved"), tr("Recording of %1 samples discarded").arg(frames));
            EndRecording(true);
        } else {
            AskWhereToSave(std::move(recording), frames, suggestion);
        }
        return;
    }
    const bool sigmf = filter == sigmfFilter || fileName.endsWith(vorn::record::kSigmfMetaSuffix);
    if (sigmf)
        fileName = QFile::decodeName(
            vorn::record::SigmfMetaPathFor(QFile::encodeName(fileName).toStdString()).c_str());

    recordProgress->setRange(0, 0);  // busy: the writer reports no steps
    recordProgress->setFormat(tr("Writing %1").arg(fileName));
    recordCancelButton->setEnabled(false);
    const vorn::record::RecordHeader header = CurrentRecordHeader();
    auto result = std::make_shared<vorn::record::WriteResult>();
    const std::time_t recordedAt = recordTime;
    recordWriter = QThread::create([recording, header, fileName, result, sigmf, recordedAt] {
        const std::string path = QFile::encodeName(fileName).toStdString();
        if (!sigmf) {
            *result = vorn::record::WriteSampleFile(path, header, *recording);
            return;
        }
        vorn::record::SigmfRecording meta;
        if (const auto lines = vorn::record::HeaderLinesFor(header)) {
            meta.header = *lines;
        } else {
            result->message =
                "Cannot write \"" + path + "\": this operating mode has no parameters to record";
            return;
        }
        meta.startTime = recordedAt;
        meta.recorder = vorn::record::RecorderName("vorn-gui");
        *result = vorn::record::WriteSigmf(path, meta, *recording);
    });
    connect(recordWriter, &QThread::finished, this, [this, recording, frames, fileName, result] {
        recordWriter->deleteLater();
        recordWriter = nullptr;
        recordCancelButton->setEnabled(true);
        if (!result->ok) {
            // Nothing is lost: the samples stay until they are saved or discarded.
            const QString reason = QString::fromLocal8Bit(result->message.c_str());
            ShowRecordStatus(tr("Error, %1 samples").arg(frames),
                             tr("Error: Recording not saved: %1").arg(reason));
            QMessageBox::warning(this, tr("Recording not saved"),
                                 tr("The recording could not be saved:\n%1\n\nChoose another "
                                    "file.")
                                     .arg(reason));
            AskWhereToSave(recording, frames, fileName);
            return;
        }
        ShowRecordStatus(tr("Good, %1 samples").arg(frames),
                         tr("Recording saved to %1").arg(fileName));
        EndRecording(true);
        ShowNotice(tr("Recording saved to %1").arg(fileName));
    });
    recordWriter->start();
}

void Vorn_GUI::ShowRecordStatus(const QString& text, const QString& details) {
    ui.recordStatus->setText(text);
    ui.recordStatus->setToolTip(details);
    ui.recordStatus->setCursorPosition(0);
    if (details != text) ui.statusBar->showMessage(details);
}

void Vorn_GUI::EndRecording(bool resumeStreaming) {
    recordProgressTimer->stop();
    if (recordingInFlight) SetRecordingControls(false);
    recordingInFlight = false;
    if (resumeStreaming && recordResumeStreaming && streamTimer)
        streamTimer->start(updateIntervalMs);
    QApplication::restoreOverrideCursor();
    emit recordingFinished();
}

void Vorn_GUI::SetRecordingControls(bool recording) {
    // While the radar records, nothing may send it other parameters: only the camera page,
    // Cancel and the window itself stay live.
    if (recording) {
        recordDisabledWidgets.clear();
        QList<QWidget*> widgets{ui.groupBox_2};
        for (int i = 0; i < ui.DisplayProperties->count(); ++i)
            if (ui.DisplayProperties->widget(i) != ui.page_6)
                widgets.append(ui.DisplayProperties->widget(i));
        for (QWidget* w : widgets) {
            if (!w->isEnabled()) continue;
            w->setEnabled(false);
            recordDisabledWidgets.append(w);
        }
    } else {
        for (const QPointer<QWidget>& w : recordDisabledWidgets)
            if (w) w->setEnabled(true);
        recordDisabledWidgets.clear();
    }
    recordProgress->setVisible(recording);
    recordCancelButton->setVisible(recording);
}

vorn::record::RecordHeader Vorn_GUI::CurrentRecordHeader() const {
    vorn::record::RecordHeader header;
    header.operatingMode = operatingMode;
    header.centerFrequencyHz = centerFrequencyHz;
    header.sweepTimeMs = sweepTimeMs;
    header.samplesPerSweep = samplesPerSweep;
    header.bandwidthHz = bandwidthHz;
    return header;
}

bool Vorn_GUI::WriteRecordFile(const SampleBlock& samples, const QString& fileName) {
    const auto result = vorn::record::WriteSampleFile(QFile::encodeName(fileName).toStdString(),
                                                      CurrentRecordHeader(), samples);
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
