#pragma once
// A window on one stand-in radar that streams as fast as asked, with helpers to drive it.
#include <gtest/gtest.h>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QTimer>

#include <memory>

#include "app/vorn_gui.h"
#include "app/window_sync.h"
#include "device/radar_device.h"
#include "sim/sim_backend.h"
#include "sim/sim_radar.h"

// Answers the next save dialog with `path` (in the file type `filter`, when given), or cancels
// it when `path` is empty. `offered` receives the dialog's file types and the one preselected.
inline void AnswerNextSaveDialog(const QString& path, const QString& filter = {},
                                 QStringList* offered = nullptr) {
    auto* poll = new QTimer();
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, path, filter, offered, tries] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        if (offered && offered->isEmpty())
            *offered = dialog->nameFilters() << dialog->selectedNameFilter();
        if (!filter.isEmpty() && dialog->selectedNameFilter() != filter)
            dialog->selectNameFilter(filter);
        if (path.isEmpty()) {
            poll->stop();
            poll->deleteLater();
            // Closing the dialog asks whether to discard the samples: yes.
            QTimer::singleShot(50, [] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    box->button(QMessageBox::Discard)->click();
            });
            dialog->reject();
            return;
        }
        // The dialog may still put its own suggestion back while it loads the folder: the name
        // is set again on each tick, and the dialog is accepted only once it has held the name
        // for a few ticks, in the same tick that checked it.
        dialog->selectFile(path);
        if (dialog->selectedFiles() != QStringList{path}) {
            *tries = 0;
            return;
        }
        if (++*tries < 3) return;
        poll->stop();
        poll->deleteLater();
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, reached through the public base
    });
    poll->start(10);
}

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
    void Invoke(const char* slot) {
        ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), slot, Qt::DirectConnection)) << slot;
    }
    bool Streaming() const { return window->timer() && window->timer()->isActive(); }

    std::shared_ptr<vorn::sim::SimRadar> radar;
    std::shared_ptr<vorn::sim::SimBackend> backend;
    std::unique_ptr<Vorn_GUI> window;
};
