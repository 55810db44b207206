// Recording the raw stream, exporting plot images and the camera dock, in the window.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLCDNumber>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include "plain_sample_parser.h"
#include "record/sample_file_reader.h"
#include "window_fixture.h"

namespace {

QByteArray Head(const QString& path, int n) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(n) : QByteArray();
}

}  // namespace

class RecordingTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        Activate();
        ASSERT_TRUE(Streaming());
        ui().recordTimeSeconds->setValue(1);
    }
    void Record(const QString& path) {
        AnswerNextSaveDialog(path);
        ui().recordButtonStart->click();
        ASSERT_TRUE(vorn::WaitForRecording(*window));
    }
    QTemporaryDir dir;
};

TEST_F(RecordingTest, EachModeRecordsBothChannelsWithItsHeader) {
    struct Case {
        QAbstractButton* mode;
        double frequency;
        double bandwidth;
    };
    const Case cases[] = {{ui().radioOperationMode_1, 5650000000.0, 100000000.0},
                          {ui().radioOperationMode_5, 5800000000.0, 0.0},
                          {ui().radioOperationMode_4, 5800000000.0, 6000000.0}};
    int n = 0;
    for (const Case& c : cases) {
        c.mode->click();
        const QString path = dir.filePath(QString("rec%1.dat").arg(n++));
        Record(path);
        // 1 s at 1 ms sweeps of 128 samples.
        EXPECT_EQ(ui().recordStatus->text(), "Good, 128000 samples");
        EXPECT_TRUE(Streaming());
        const auto file = vorn::record::ReadSampleFile(path.toStdString());
        ASSERT_TRUE(file.ok) << file.message << " in dir: "
                             << QDir(dir.path()).entryList(QDir::Files).join(",").toStdString();
        ASSERT_TRUE(file.header.has_value());
        EXPECT_EQ(file.header->frequencyHz, c.frequency);
        EXPECT_EQ(file.header->sweepTimeMs, 1.0);
        EXPECT_EQ(file.header->samplesPerSweep, 128);
        EXPECT_EQ(file.header->bandwidthHz, c.bandwidth);
        ASSERT_EQ(file.samples.size(), 256000u);
        const auto channels = vorn::record::SplitChannels(file.samples);
        EXPECT_NE(channels.channel1, channels.channel2);
    }
}

TEST_F(RecordingTest, TheSigmfFileTypeSavesASigmfPairTheDatStayingTheDefault) {
    QStringList offered;
    AnswerNextSaveDialog(dir.filePath("rec.dat"), "SigMF Recording (*.sigmf-meta)", &offered);
    ui().recordButtonStart->click();
    ASSERT_TRUE(vorn::WaitForRecording(*window));
    EXPECT_EQ(offered, (QStringList{"Complex Samples (*.dat)", "SigMF Recording (*.sigmf-meta)",
                                    "Complex Samples (*.dat)"}));
    EXPECT_EQ(ui().recordStatus->text(), "Good, 128000 samples");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              (QStringList{"rec.sigmf-data", "rec.sigmf-meta"}));
    const auto file = vorn::record::ReadSampleEntries(dir.filePath("rec.sigmf-meta").toStdString());
    ASSERT_TRUE(file.ok) << file.message;
    EXPECT_EQ(file.header->frequencyHz, 5650000000.0);
    EXPECT_EQ(file.entries.size(), 256000u);
    EXPECT_TRUE(Streaming());
}

TEST_F(RecordingTest, WhileItIsReadTheWindowShowsProgressAndCancelWritesNothing) {
    radar->SetPacing(vorn::sim::Pacing::RealTime);
    ui().recordTimeSeconds->setValue(30);
    QElapsedTimer clock;
    clock.start();
    ui().recordButtonStart->click();
    EXPECT_LT(clock.elapsed(), 500);  // the read goes on off the GUI thread
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    auto* progress = window->findChild<QProgressBar*>();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisibleTo(window.get()));
    EXPECT_GT(progress->value(), 0);
    EXPECT_TRUE(progress->text().contains("of 30.0 s")) << progress->text().toStdString();
    // Nothing may send the radar other parameters meanwhile; the camera page stays live.
    EXPECT_FALSE(ui().groupBox_2->isEnabled());
    EXPECT_FALSE(ui().page->isEnabled());
    EXPECT_TRUE(ui().page_6->isEnabled());
    QPushButton* cancel = nullptr;
    for (auto* b : window->findChildren<QPushButton*>())
        if (b->text() == "Cancel" && b->isVisibleTo(window.get())) cancel = b;
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    ASSERT_TRUE(vorn::WaitForRecording(*window, 2000));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(ui().recordStatus->text(), "Recording cancelled");
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_FALSE(progress->isVisibleTo(window.get()));
    EXPECT_TRUE(ui().page->isEnabled());
    EXPECT_TRUE(Streaming());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

class ExportTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        Activate();
        Tick();
    }
    void TearDown() override { QDir::setCurrent(previous); }
    QTemporaryDir dir;
    QString previous;
};

TEST_F(ExportTest, EachFormatWritesItsFileAndOverwritesTheLastOne) {
    struct Case {
        QAbstractButton* format;
        const char* top;
        const char* bottom;
        QByteArray magic;
    };
    const Case cases[] = {
        {ui().captureFormat_1, "Vorn_GUI_TopView.pdf", "Vorn_GUI_BottomView.pdf", "%PDF"},
        {ui().captureFormat_2, "Vorn_GUI_TopView.jpg", "Vorn_GUI_BottomView.jpg", "\xFF\xD8\xFF"},
        {ui().captureFormat_3, "Vorn_GUI_TopView.png", "Vorn_GUI_BottomView.png", "\x89PNG"},
    };
    for (const Case& c : cases) {
        c.format->click();
        QFile stale(dir.filePath(c.bottom));
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write("old");
        stale.close();
        ui().captureViewTop->click();
        ui().captureViewBottom->click();
        EXPECT_TRUE(Head(dir.filePath(c.top), c.magic.size()) == c.magic) << c.top;
        EXPECT_TRUE(Head(dir.filePath(c.bottom), c.magic.size()) == c.magic) << c.bottom;
        EXPECT_TRUE(status().startsWith("Saved ")) << status().toStdString();
        EXPECT_TRUE(Streaming());
    }
}

TEST_F(ExportTest, AFailedExportSaysSoAndTheMessageStands) {
    ui().captureFormat_3->setChecked(true);
    // The current directory vanished: nothing can be written there, not even by root.
    QDir::setCurrent(previous);
    QTemporaryDir gone;
    QDir::setCurrent(gone.path());
    gone.remove();
    ui().captureViewBottom->click();
    EXPECT_TRUE(status().startsWith("Error: Could not write Vorn_GUI_BottomView.png"))
        << status().toStdString();
    EXPECT_TRUE(Streaming());
    // The next ticks leave the message standing long enough to be read.
    Tick();
    EXPECT_TRUE(status().startsWith("Error: Could not write")) << status().toStdString();
}

TEST_F(WindowTest, CameraErrorsAreShownAsANotice) {
    Activate();
    WindowSlots::ShowCameraError(*window, "Could not open device");
    EXPECT_EQ(status(), "Camera: Could not open device");
    Tick();  // the next tick leaves it standing
    EXPECT_EQ(status(), "Camera: Could not open device");
}
