#pragma once
// A window on one stand-in radar that streams as fast as asked, with helpers to drive it.
#include <gtest/gtest.h>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMetaObject>
#include <QTimer>

#include <memory>

#include "app/vorn_gui.h"
#include "app/window_sync.h"
#include "device/radar_device.h"
#include "sim/sim_backend.h"
#include "sim/sim_radar.h"

// Puts `path` in an open save dialog and accepts it once the dialog has selected it for three
// calls in a row (`held` counts them); true when accepted. selectFile() leaves the name alone
// once the name field has the focus, which it gets at a time of its own, so the field is set
// directly; and the dialog may still put its own suggestion back while it loads the folder.
inline bool AcceptSaveDialogWith(QFileDialog& dialog, const QString& path, int& held) {
    const QFileInfo target(path);
    if (dialog.directory() != target.absoluteDir()) dialog.setDirectory(target.absoluteDir());
    if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->setText(target.fileName());
    else
        dialog.selectFile(path);
    held = dialog.selectedFiles() == QStringList{path} ? held + 1 : 0;
    if (held != 3) return false;
    // Queued: accepting may ask about replacing a file, in a loop of its own.
    QMetaObject::invokeMethod(&dialog, "accept", Qt::QueuedConnection);
    return true;
}

// Answers the next save dialog with `path` (in the file type `filter`, when given). `offered`
// receives the dialog's file types and the one preselected.
inline void AnswerNextSaveDialog(const QString& path, const QString& filter = {},
                                 QStringList* offered = nullptr) {
    auto* poll = new QTimer();
    auto held = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, path, filter, offered, held] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        if (offered && offered->isEmpty())
            *offered = dialog->nameFilters() << dialog->selectedNameFilter();
        if (!filter.isEmpty() && dialog->selectedNameFilter() != filter)
            dialog->selectNameFilter(filter);
        if (!AcceptSaveDialogWith(*dialog, path, *held)) return;
        poll->stop();
        poll->deleteLater();
    });
    poll->start(10);
}

// The window's private slots, named for the tests: a renamed slot breaks the build, not a test.
struct WindowSlots {
    using Slot = void (Vorn_GUI::*)();
    static constexpr Slot kDrMaxMinus = &Vorn_GUI::Qt_DR_Max_Minus;
    static constexpr Slot kDrMinPlus = &Vorn_GUI::Qt_DR_Min_Plus;
    static constexpr Slot kRangeLowPlus = &Vorn_GUI::Qt_rangeFilter_Low_Plus;
    static constexpr Slot kRangeLowMinus = &Vorn_GUI::Qt_rangeFilter_Low_Minus;
    static constexpr Slot kRangeHighPlus = &Vorn_GUI::Qt_rangeFilter_High_Plus;
    static constexpr Slot kRangeHighMinus = &Vorn_GUI::Qt_rangeFilter_High_Minus;
    static constexpr Slot kVelocityLowPlus = &Vorn_GUI::Qt_velocityFilter_Low_Plus;
    static constexpr Slot kVelocityLowMinus = &Vorn_GUI::Qt_velocityFilter_Low_Minus;
    static constexpr Slot kVelocityHighPlus = &Vorn_GUI::Qt_velocityFilter_High_Plus;
    static constexpr Slot kVelocityHighMinus = &Vorn_GUI::Qt_velocityFilter_High_Minus;
    static constexpr Slot kReadStream = &Vorn_GUI::ReadStream;
    static void ShowCameraError(Vorn_GUI& w, const QString& reason) { w.ShowCameraError(reason); }
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        radar = std::make_shared<vorn::sim::SimRadar>(vorn::sim::DefaultDemoScene(),
                                                      vorn::sim::Pacing::AsFastAsPossible);
        backend = std::make_shared<vorn::sim::SimBackend>(radar);
        window = std::make_unique<Vorn_GUI>(backend);
    }

    const Ui::Vorn_GUIClass& ui() const { return window->form(); }
    QString status() const { return ui().statusBar->currentMessage(); }

    void Activate() { ui().buttonActivateDevice->click(); }
    // One acquisition tick, as the timer would run it.
    void Tick() { ASSERT_TRUE(vorn::RunTick(*window)); }
    void Invoke(void (Vorn_GUI::*slot)()) { (window.get()->*slot)(); }
    bool Streaming() const { return window->timer() && window->timer()->isActive(); }

    std::shared_ptr<vorn::sim::SimRadar> radar;
    std::shared_ptr<vorn::sim::SimBackend> backend;
    std::unique_ptr<Vorn_GUI> window;
};
