#include "tools_test_support.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QMetaObject>
#include <QProcess>
#include <QStatusBar>
#include <QTextStream>

#include <cstring>

#include "device/radar_device.h"

namespace tools_test {

WindowOnRadar::WindowOnRadar(std::shared_ptr<vorn::sim::SimRadar> r) : radar(std::move(r)) {
    window = std::make_unique<Vorn_GUI>(std::make_shared<vorn::sim::SimBackend>(radar));
}

void WindowOnRadar::Start(int operatingMode, int displayMode) {
    const Ui::Vorn_GUIClass& ui = window->form();
    ui.buttonActivateDevice->click();
    QAbstractButton* operating = operatingMode == kFsk  ? ui.radioOperationMode_4
                                 : operatingMode == kCw ? ui.radioOperationMode_5
                                                        : ui.radioOperationMode_1;
    QAbstractButton* const display[] = {ui.radioSpectrumDisplay_1, ui.radioSpectrumDisplay_2,
                                        ui.radioSpectrumDisplay_3, ui.radioSpectrumDisplay_4,
                                        ui.radioSpectrumDisplay_5};
    operating->click();
    display[displayMode - 1]->click();
}

void WindowOnRadar::Tick() {
    QMetaObject::invokeMethod(window.get(), "ReadStream", Qt::DirectConnection);
}

QString WindowOnRadar::status() const {
    return window->form().statusBar->currentMessage();
}

std::shared_ptr<vorn::sim::SimRadar> MakeRadar(const vorn::sim::Scene& scene) {
    return std::make_shared<vorn::sim::SimRadar>(scene, vorn::sim::Pacing::AsFastAsPossible);
}

vorn::sim::Scene OneTarget(double rangeM, double velocityMps) {
    vorn::sim::Scene scene;
    scene.targets = {{rangeM, velocityMps, 600.0}};
    scene.noiseRms = 2.0;
    scene.dcOffset = {30.0, -20.0};
    return scene;
}

void RecordWithWindow(const vorn::sim::Scene& scene, int operatingMode, int frames,
                      const QString& path) {
    WindowOnRadar w(MakeRadar(scene));
    w.Start(operatingMode, operatingMode == kFmcw ? 1 : 2);
    SampleBlock samples;
    ASSERT_EQ(w.window->radar()->ReadBothChannels(samples, frames, 10000), 2 * frames);
    ASSERT_TRUE(w.window->WriteRecordFile(samples, path));
}

ProcessRun RunProgram(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess process;
    process.start(program, args);
    ProcessRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("did not finish");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

ProcessRun RunVornProcess(const QStringList& args) {
    return RunProgram(QStringLiteral(VORN_PROCESS_EXE), args);
}

NpyArray ReadNpy(const QString& path) {
    NpyArray array;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return array;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 10 || bytes.left(8) != QByteArray("\x93NUMPY\x01\x00", 8)) return array;
    const int length = static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9])
                                                                  << 8;
    if (bytes.size() < 10 + length) return array;
    array.header = bytes.left(10 + length).toStdString();
    const QString dict = QString::fromLatin1(bytes.mid(10, length));
    const int open = dict.indexOf('(');
    const int close = dict.indexOf(')');
    if (open < 0 || close < open) return array;
    std::size_t count = 1;
    for (const QString& part :
         dict.mid(open + 1, close - open - 1).split(',', Qt::SkipEmptyParts)) {
        array.shape.push_back(part.trimmed().toULongLong());
        count *= array.shape.back();
    }
    const QByteArray data = bytes.mid(10 + length);
    if (static_cast<std::size_t>(data.size()) != count * sizeof(double)) {
        array.shape.clear();
        return array;
    }
    array.values.resize(count);
    std::memcpy(array.values.data(), data.constData(), data.size());
    return array;
}

std::vector<QStringList> ReadCsv(const QString& path) {
    std::vector<QStringList> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return rows;
    QTextStream in(&file);
    while (!in.atEnd()) rows.push_back(in.readLine().split(','));
    return rows;
}

QStringList DirectoryEntries(const QString& path) {
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace tools_test
