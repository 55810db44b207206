#include "sim/scene.h"

#include <algorithm>
#include <cmath>
#include <random>

#if defined(__x86_64__) && defined(__GLIBC__)
#include <emmintrin.h>
#endif

#include "device/radar_constants.h"

namespace vorn::sim {

namespace {
constexpr double kTwoPi = 6.283185307179586;

std::uint16_t ToCounts(double value, double fullScale) {
    const double clamped = std::clamp(std::round(value), 0.0, fullScale);
    return static_cast<std::uint16_t>(clamped);
}

// quadrature: std::polar(1.0, scene.quadraturePhaseRad), worked out once per synthesis.
RawSample Digitise(const Scene& scene, std::complex<double> quadrature, std::complex<double> s,
                   std::complex<double> dc, std::complex<double> noise) {
    const double i = s.real();
    const double q = scene.quadratureGain * (s * quadrature).imag();
    return {ToCounts(scene.midScale + dc.real() + i + noise.real(), scene.fullScale),
            ToCounts(scene.midScale + dc.imag() + q + noise.imag(), scene.fullScale)};
}
}  // namespace

Scene DefaultDemoScene() {
    Scene s;
    s.targets = {{5.0, 0.9, 320.0}, {20.0, -1.2, 260.0}, {14.0, 0.4, 160.0}};
    s.clutter = {{1.2, 0.0, 480.0}, {3.1, 0.0, 140.0}};
    s.noiseRms = 4.0;
    s.dcOffset = {35.0, -22.0};
    s.quadratureGain = 1.05;
    s.quadraturePhaseRad = 0.05;
    s.channel2Gain = std::polar(0.85, 0.6);
    s.channel2DcOffset = {-18.0, 27.0};
    s.motionPeriodS = 10.0;
    return s;
}

namespace {
// ReturnPhase with the sample's sweep and place in it, its time in the sweep and the sweep's
// slope worked out by the caller (once per sample and once per burst, not once per return).
double PhaseAt(const RadarParameters& p, double rangeM, std::uint64_t sweep, std::uint64_t j,
               std::uint64_t perSweep, double tInSweep, double slope) {
    const double tau = 2.0 * rangeM / kSpeedOfLight;
    switch (p.mode) {
        case RadarMode::FmcwTriangle:
            if (sweep % 2 == 1) {
                // Down ramp: the echo comes from a higher frequency, so the beat tone is negative.
                return kTwoPi * tau *
                       (kCarrierBaseHz + p.bandwidthHz - slope * tInSweep + slope * tau / 2.0);
            }
            [[fallthrough]];
        case RadarMode::FmcwSawtooth:
            return kTwoPi * tau * (kCarrierBaseHz + slope * tInSweep - slope * tau / 2.0);
        case RadarMode::Fsk:
            // First half of each period: tone A; second half: tone B.
            return kTwoPi * tau * (j < perSweep / 2 ? kCarrierBaseHz + kFskStepHz : kCarrierBaseHz);
        case RadarMode::Cw:
            return kTwoPi * tau * kCarrierBaseHz;
    }
    return 0.0;
}

double Slope(const RadarParameters& p) {
    return p.bandwidthHz / p.sweepTimeS;
}
}  // namespace

double ReturnPhase(const RadarParameters& p, double rangeM, std::uint64_t n) {
    const auto perSweep = static_cast<std::uint64_t>(p.samplesPerSweep);
    const std::uint64_t j = n % perSweep;
    return PhaseAt(p, rangeM, n / perSweep, j, perSweep, static_cast<double>(j) / p.SampleRate(),
                   Slope(p));
}

namespace {
// The stand-in turns out about 25 000 phasors and 30 000 Gaussian draws per burst of the
// map's default size, more than the window's own work on it when each is a libm call. They are
// worked out a chunk of samples at a time through glibc's vector maths (libmvec), whose sines,
// cosines and logarithms lie within a few units in the last place of libm's: far below the
// half count at which a converter value could round the other way.
constexpr std::size_t kChunk = 256;

#if defined(__x86_64__) && defined(__GLIBC__)
// Two lanes in SSE2 registers, which every x86-64 has; glibc picks its SSE4 version at load time.
extern "C" __m128d _ZGVbN2v_sin(__m128d x);
extern "C" __m128d _ZGVbN2v_cos(__m128d x);
extern "C" __m128d _ZGVbN2v_log(__m128d x);

template <typename Lanes>
void InPairs(const double* x, double* out, std::size_t n, Lanes lanes) {
    std::size_t i = 0;
    for (; i + 2 <= n; i += 2) _mm_storeu_pd(out + i, lanes(_mm_loadu_pd(x + i)));
    if (i < n) {
        // The odd one out goes through the same lanes, so that its value does not depend on
        // where it falls in a chunk.
        const __m128d last = lanes(_mm_set_pd(x[i], x[i]));
        out[i] = _mm_cvtsd_f64(last);
    }
}

void Polars(double amplitude, const double* phase, double* re, double* im, std::size_t n) {
    InPairs(phase, re, n, [](__m128d v) { return _ZGVbN2v_cos(v); });
    InPairs(phase, im, n, [](__m128d v) { return _ZGVbN2v_sin(v); });
    for (std::size_t i = 0; i < n; ++i) {
        re[i] *= amplitude;
        im[i] *= amplitude;
    }
}

void Logs(const double* x, double* out, std::size_t n) {
    InPairs(x, out, n, [](__m128d v) { return _ZGVbN2v_log(v); });
}
// Square roots are correctly rounded either way; these skip libm's errno check per value.
void SquareRoots(double* x, std::size_t n) {
    InPairs(x, x, n, [](__m128d v) { return _mm_sqrt_pd(v); });
}
#else
void Polars(double amplitude, const double* phase, double* re, double* im, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        re[i] = amplitude * std::cos(phase[i]);
        im[i] = amplitude * std::sin(phase[i]);
    }
}

void Logs(const double* x, double* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = std::log(x[i]);
}
void SquareRoots(double* x, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) x[i] = std::sqrt(x[i]);
}
#endif

// Gaussian pairs by the polar method on 53-bit uniforms from the 64-bit Mersenne twister: the
// very draws, acceptances and arithmetic of libstdc++'s std::normal_distribution<double>, which
// the stand-in used one value at a time. Each pair is (y m, x m) times the deviation, as two
// successive draws of that distribution give it. Candidates are drawn in batches and the
// accepted ones kept in order without a branch (a fifth are refused, at random); those left
// over wait for the next call, so the twister's output is used exactly as one by one.
class GaussianPairs {
public:
    GaussianPairs(std::mt19937_64& rng, double deviation) : rng_(rng), deviation_(deviation) {}

    // Fills first[k], second[k] for k < n <= 2 * kChunk.
    void Draw(double* first, double* second, std::size_t n) {
        while (kept_ < n) {
            for (std::size_t c = 0; c < kBatch; ++c) {
                const double x = 2.0 * Uniform() - 1.0;
                const double y = 2.0 * Uniform() - 1.0;
                const double r2 = x * x + y * y;
                x_[kept_] = x;
                y_[kept_] = y;
                r2_[kept_] = r2;
                kept_ += (r2 <= 1.0) & (r2 != 0.0);
            }
        }
        // m = sqrt(-2 ln r2 / r2), worked out in place over the logarithms.
        Logs(r2_, log_, n);
        for (std::size_t k = 0; k < n; ++k) log_[k] = -2.0 * log_[k] / r2_[k];
        SquareRoots(log_, n);
        for (std::size_t k = 0; k < n; ++k) {
            const double m = log_[k];
            first[k] = y_[k] * m * deviation_ + 0.0;
            second[k] = x_[k] * m * deviation_ + 0.0;
        }
        kept_ -= n;
        std::copy_n(x_ + n, kept_, x_);
        std::copy_n(y_ + n, kept_, y_);
        std::copy_n(r2_ + n, kept_, r2_);
    }

private:
    static constexpr std::size_t kBatch = 64;
    static constexpr std::size_t kPool = 2 * kChunk + kBatch;

    // The twister's word over 2^64, rounded as one conversion rounds it, and without the
    // unsigned conversion's branch: both halves convert exactly and their sum rounds once.
    double Uniform() {
        const std::uint64_t bits = rng_();
        const double word =
            static_cast<double>(static_cast<std::uint32_t>(bits >> 32)) * 4294967296.0 +
            static_cast<double>(static_cast<std::uint32_t>(bits));
        const double u = word * 0x1p-64;
        return u < 1.0 ? u : std::nextafter(1.0, 0.0);
    }

    std::mt19937_64& rng_;
    double deviation_;
    std::size_t kept_ = 0;
    double x_[kPool];
    double y_[kPool];
    double r2_[kPool];
    double log_[kPool];
};

// A fixed return's phase depends only on the position in the sweep, and on a triangle also
// on whether the sweep goes up or down: samples this far apart see the same phasors.
std::uint64_t FixedPeriod(const RadarParameters& p) {
    const auto perSweep = static_cast<std::uint64_t>(std::max(1, p.samplesPerSweep));
    return p.mode == RadarMode::FmcwTriangle ? 2 * perSweep : perSweep;
}
}  // namespace

std::vector<RawFrame> SynthesiseFrames(const Scene& scene, const RadarParameters& p,
                                       std::uint64_t first, std::size_t count, std::uint64_t seed) {
    std::vector<RawFrame> frames(count);
    std::mt19937_64 rng(seed ^ (first * 0x9E3779B97F4A7C15ULL));
    const bool noisy = scene.noiseRms > 0.0;
    GaussianPairs gauss(rng, noisy ? scene.noiseRms : 1.0);
    const std::complex<double> quadrature = std::polar(1.0, scene.quadraturePhaseRad);
    // The fixed returns' phasors over one period, added after the moving ones in scene order,
    // so each sample is the plain return-by-return sum.
    const std::uint64_t period = FixedPeriod(p);
    const std::size_t fixedCount = scene.clutter.size();
    std::vector<std::complex<double>> fixed;
    if (fixedCount > 0 && count > 0) {
        const std::uint64_t used = std::min<std::uint64_t>(period, count);
        fixed.assign(static_cast<std::size_t>(period) * fixedCount, {});
        for (std::uint64_t k = 0; k < used; ++k) {
            const std::uint64_t n = first + k;
            for (std::size_t c = 0; c < fixedCount; ++c) {
                const Target& r = scene.clutter[c];
                fixed[static_cast<std::size_t>(n % period) * fixedCount + c] =
                    std::polar(r.amplitude, ReturnPhase(p, r.rangeM, n));
            }
        }
    }

    // Per chunk: each moving return's phase at every sample (target by target), then all
    // phasors at once, then the sums in scene order.
    const std::size_t moving = scene.targets.size();
    const auto perSweep = static_cast<std::uint64_t>(p.samplesPerSweep);
    const double sampleRate = p.SampleRate();
    const double slope = Slope(p);
    std::vector<double> phase(moving * kChunk);
    std::vector<double> re(moving * kChunk);
    std::vector<double> im(moving * kChunk);
    // Two draws per channel and sample, channel 1's first, as the samples come: sample k's
    // channel c noise is pair 2k + c.
    double noiseRe[2 * kChunk];
    double noiseIm[2 * kChunk];
    // The sample's sweep, its place in the sweep and in the fixed returns' period, counted on
    // from the first sample instead of divided out of each one.
    std::uint64_t sweep = first / perSweep;
    std::uint64_t j = first % perSweep;
    std::uint64_t fixedIndex = first % period;
    for (std::size_t start = 0; start < count; start += kChunk) {
        const std::size_t chunk = std::min(kChunk, count - start);
        for (std::size_t k = 0; k < chunk; ++k) {
            const std::uint64_t n = first + start + k;
            const double timeS = static_cast<double>(n) / sampleRate;
            // fmod gives a time inside the period back as it is.
            const double motionS = scene.motionPeriodS > 0.0 && !(timeS < scene.motionPeriodS)
                                       ? std::fmod(timeS, scene.motionPeriodS)
                                       : timeS;
            const double tInSweep = static_cast<double>(j) / sampleRate;
            for (std::size_t t = 0; t < moving; ++t) {
                const Target& target = scene.targets[t];
                const double rangeM = target.rangeM + target.velocityMps * motionS;
                phase[t * kChunk + k] = PhaseAt(p, rangeM, sweep, j, perSweep, tInSweep, slope);
            }
            if (++j == perSweep) {
                j = 0;
                ++sweep;
            }
        }
        for (std::size_t t = 0; t < moving; ++t) {
            Polars(scene.targets[t].amplitude, phase.data() + t * kChunk, re.data() + t * kChunk,
                   im.data() + t * kChunk, chunk);
        }
        if (noisy) gauss.Draw(noiseRe, noiseIm, 2 * chunk);
        for (std::size_t k = 0; k < chunk; ++k) {
            std::complex<double> s;
            for (std::size_t t = 0; t < moving; ++t) {
                s += std::complex<double>(re[t * kChunk + k], im[t * kChunk + k]);
            }
            const std::complex<double>* f =
                fixedCount > 0 ? fixed.data() + static_cast<std::size_t>(fixedIndex) * fixedCount
                               : nullptr;
            if (++fixedIndex == period) fixedIndex = 0;
            for (std::size_t c = 0; c < fixedCount; ++c) s += f[c];
            std::complex<double> n1;
            std::complex<double> n2;
            if (noisy) {
                n1 = {noiseRe[2 * k], noiseIm[2 * k]};
                n2 = {noiseRe[2 * k + 1], noiseIm[2 * k + 1]};
            }
            frames[start + k].ch1 = Digitise(scene, quadrature, s, scene.dcOffset, n1);
            frames[start + k].ch2 =
                Digitise(scene, quadrature, s * scene.channel2Gain, scene.channel2DcOffset, n2);
        }
    }
    return frames;
}

}  // namespace vorn::sim
