// Recording while the radar misbehaves and onto media that refuse the file: the failure is
// reported and nothing that could pass for a whole recording is left behind.
#include <sys/resource.h>
#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>

#include <csignal>

#include "../app/window_fixture.h"
#include "modes.h"
#include "record/sample_file_reader.h"

namespace {

// Answers the save dialogs of one recording with the given file names in turn, then cancels
// and confirms the discard. Asked to replace an existing file, it says yes; a warning is
// acknowledged. So a test never hangs on a modal box.
class DialogAnswer {
public:
    explicit DialogAnswer(QStringList paths) {
        QObject::connect(&poll_, &QTimer::timeout, [this, paths] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                for (auto button : {QMessageBox::Yes, QMessageBox::Discard, QMessageBox::Ok})
                    if (QAbstractButton* b = box->button(button)) return b->click();
                return box->reject();
            }
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog) return;
            if (dialog != last_) {
                last_ = dialog;
                held_ = 0;
                if (shown_ >= paths.size()) return dialog->reject();
                ++shown_;
            }
            AcceptSaveDialogWith(*dialog, paths[shown_ - 1], held_);
        });
        poll_.start(5);
    }
    int shown() const { return shown_; }

private:
    QTimer poll_;
    int shown_ = 0;
    int held_ = 0;
    QPointer<QWidget> last_;
};

// Regular files may grow only this far while alive, as on a disk that fills up.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

}  // namespace

class RecordingFaultTest : public WindowTest {
protected:
    void StartStreaming(QAbstractButton* operating) {
        if (ui().comboDevices->itemText(0) != "Tarkel") ui().buttonRefreshDeviceList->click();
        Activate();
        ASSERT_TRUE(Streaming() && dir.isValid()) << status().toStdString();
        operating->click();
        ui().recordTimeSeconds->setValue(1);
    }

    // Records, answering the save dialogs with `paths`; the number of names taken.
    int Record(const QStringList& paths) {
        DialogAnswer answer(paths);
        ui().recordButtonStart->click();
        EXPECT_TRUE(vorn::WaitForRecording(*window));
        return answer.shown();
    }

    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files); }

    QTemporaryDir dir;
};

TEST_F(RecordingFaultTest, StreamFaultsDuringARecordingEndStreamingAndWriteNothing) {
    for (QAbstractButton* operating :
         {ui().radioOperationMode_1, ui().radioOperationMode_4, ui().radioOperationMode_5}) {
        for (const StreamFault& fault : kStreamFaults) {
            if (!fault.endsStream) continue;
            const std::string what = operating->text().toStdString() + ", " + fault.name;
            StartStreaming(operating);
            fault.inject(*radar);
            EXPECT_EQ(Record({dir.filePath("rec.dat")}), 0) << what;
            EXPECT_TRUE(ui().recordStatus->text().startsWith("Error, ")) << what;
            EXPECT_EQ(status(), "Error: Interface cound not be set!") << what;
            EXPECT_FALSE(Streaming()) << what;
            EXPECT_FALSE(ui().buttonActivateDevice->isChecked()) << what;
            EXPECT_FALSE(ui().DisplayProperties->isEnabled()) << what;
            EXPECT_TRUE(Files().isEmpty()) << what;
            EXPECT_EQ(QApplication::overrideCursor(), nullptr) << what;
            radar->faults() = {};
            if (!radar->plugged()) radar->Replug();
        }
    }
}

TEST_F(RecordingFaultTest, MediaThatRefuseTheFileAreReportedAndLeaveNothing) {
    StartStreaming(ui().radioOperationMode_1);
    // Root may write anywhere on a disk, but never create a file in /proc.
    const QString unwritable = geteuid() == 0 ? QString("/proc") : dir.filePath("locked");
    if (geteuid() != 0) {
        ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
        QFile::setPermissions(unwritable, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    const QString targets[] = {unwritable + "/rec.dat", "/dev/full"};
    for (const QString& path : targets) {
        const std::string what = path.toStdString();
        // The dialog comes back with the reason; discarded then, nothing is written.
        EXPECT_EQ(Record({path}), 1) << what;
        EXPECT_EQ(ui().recordStatus->text(), "Not saved") << what;
        EXPECT_FALSE(path != "/dev/full" && QFileInfo::exists(path)) << what;
        // A failed file is no reason to stop the radar.
        EXPECT_TRUE(Streaming()) << what;
        Tick();
        EXPECT_TRUE(ui().buttonActivateDevice->isChecked()) << what;
    }
    EXPECT_TRUE(Files().isEmpty());
    // The samples wait for a name that works, and only then read as good.
    const QString good = dir.filePath("rec.dat");
    EXPECT_EQ(Record({targets[0], good}), 2);
    EXPECT_EQ(ui().recordStatus->text(), "Good, 128000 samples");
    EXPECT_TRUE(ui().recordStatus->toolTip().contains(good));
    EXPECT_TRUE(vorn::record::ReadSampleFile(good.toStdString()).ok);
}

TEST_F(RecordingFaultTest, DiskFillingUpMidFileRemovesThePartialFile) {
    StartStreaming(ui().radioOperationMode_4);
    const QString path = dir.filePath("rec.dat");
    {
        const FileSizeLimit limit(64 * 1024);
        EXPECT_EQ(Record({path}), 1);
    }
    EXPECT_EQ(ui().recordStatus->text(), "Not saved");
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(Streaming());
    // With room again, the same recording goes through.
    EXPECT_EQ(Record({path}), 1);
    EXPECT_EQ(ui().recordStatus->text(), "Good, 128000 samples");
    EXPECT_TRUE(vorn::record::ReadSampleFile(path.toStdString()).ok);
}
