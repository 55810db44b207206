// Long streaming from the stand-in radar in every display mode of every operating mode, with
// modes and settings changed at random every few hundred ticks: every tick must succeed and
// resident memory must stay flat. VORN_SOAK_TICKS sets the ticks per mode (default 10000),
// VORN_SOAK_SEED the random sequence.
#include <unistd.h>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "../app/window_fixture.h"
#include "modes.h"

namespace {

long EnvOr(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : fallback;
}

// Resident set size in bytes, from /proc/self/statm.
long ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

template <typename T>
T Pick(std::mt19937& rng, std::initializer_list<T> values) {
    std::uniform_int_distribution<std::size_t> index(0, values.size() - 1);
    return *(values.begin() + index(rng));
}

}  // namespace

class SoakTest : public WindowTest {
protected:
    // Settings an operator might touch; block sizes stay within what a tick handles quickly.
    void ShuffleSettings() {
        const Ui::Vorn_GUIClass& f = ui();
        std::uniform_int_distribution<int> four(0, 3);
        std::bernoulli_distribution coin(0.5);
        f.comboPBandwidth->setCurrentIndex(four(rng));
        f.comboPSweepTime->setCurrentIndex(four(rng));
        const int samplesIndex = four(rng);
        f.comboPSampleWindow->setCurrentIndex(samplesIndex);
        const int samples = 128 << samplesIndex;
        f.spinBoxDopplerQueue->setValue(std::max(8, Pick(rng, {8, 16, 32, 64}) * 128 / samples));
        f.filterOptionDCSubtract->setChecked(coin(rng));
        f.filterOptionIQAmplitude->setChecked(coin(rng));
        f.filterOptionHammingWindow->setChecked(coin(rng));
        f.isRangeWeighting->setChecked(coin(rng));
        f.DynamicRange_Maximum_EN->setChecked(coin(rng));
        f.DynamicRange_Minimum_EN->setChecked(coin(rng));
        Pick<QRadioButton*>(rng, {f.filterOptionDirectClutterDisabled, f.filterOptionDirectClutter,
                                  f.filterOptionDirectClutterAverage})
            ->click();
        f.filterOptionDirectClutterAvgCount->setValue(Pick(rng, {2, 8, 64}));
        f.SpectrogramRows->setValue(Pick(rng, {8, 64, 256}));
        std::uniform_int_distribution<int> colours(0, f.WaterfallRasterDataColor->count() - 1);
        f.WaterfallRasterDataColor->setCurrentIndex(colours(rng));
    }

    std::mt19937 rng{static_cast<unsigned>(EnvOr("VORN_SOAK_SEED", 7))};
};

TEST_F(SoakTest, EveryModeStreamsLongWithFlatMemory) {
    const long perMode = EnvOr("VORN_SOAK_TICKS", 10000);
    const std::vector<ModeCase> modes = AllowedModes(ui());
    std::vector<long> done(modes.size(), 0);
    const long total = perMode * static_cast<long>(modes.size());

    Activate();
    ASSERT_TRUE(Streaming()) << status().toStdString();

    long ticks = 0;
    long baseline = 0;  // once allocator caches and per-mode buffers have settled
    std::uniform_int_distribution<long> burstLength(200, 500);
    while (ticks < total) {
        std::vector<std::size_t> open;
        for (std::size_t i = 0; i < modes.size(); ++i)
            if (done[i] < perMode) open.push_back(i);
        const std::size_t m =
            open[std::uniform_int_distribution<std::size_t>(0, open.size() - 1)(rng)];
        const ModeCase& mode = modes[m];
        ShuffleSettings();
        mode.operating->click();
        mode.display->click();
        ASSERT_TRUE(mode.display->isChecked()) << mode.Name();

        const long burst = std::min(burstLength(rng), perMode - done[m]);
        for (long i = 0; i < burst; ++i) {
            Tick();
            ASSERT_TRUE(status().startsWith("Update Time: "))
                << mode.Name() << " after " << ticks << " ticks: " << status().toStdString();
            ++ticks;
        }
        done[m] += burst;
        ASSERT_TRUE(Streaming()) << mode.Name();
        const long rss = ResidentBytes();
        if (baseline == 0 && ticks >= total / 4) baseline = rss;
    }
    const long atEnd = ResidentBytes();

    std::printf("soak: %ld ticks, RSS after a quarter %ld KiB, at the end %ld KiB\n", ticks,
                baseline / 1024, atEnd / 1024);
    RecordProperty("ticks", std::to_string(ticks));
    // A leak of a few hundred bytes per tick would add tens of MiB over the last three quarters.
    EXPECT_LE(atEnd, baseline + baseline / 20 + 16L * 1024 * 1024)
        << "resident memory grew from " << baseline / 1024 << " KiB to " << atEnd / 1024 << " KiB";
}
