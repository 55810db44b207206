#pragma once
// A window on one stand-in radar that streams as fast as asked, with helpers to drive it.
#include <QMetaObject>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

#include "app/vorn_gui.h"
#include "app/window_sync.h"
#include "device/radar_device.h"
#include "sim/sim_backend.h"
#include "sim/sim_radar.h"

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
