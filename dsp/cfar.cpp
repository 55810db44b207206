#include "dsp/cfar.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vorn::dsp {

namespace {

// Measured multipliers of the textbook factor, per entry of kCfarPfaChoices, for the map and
// for the profile with the automatic cells (bench/cfar_calibrate.cpp on noise-only
// recordings). Zero padding and the Hamming window make neighbouring cells correlated, which
// the effective training count only partly accounts for.
// 600 maps (3.2e8 cells) and 60000 profiles (3.1e7 cells); the rarest one or two come from
// the CA-CFAR law with the effective training count fitted at the rarest measured one.
constexpr double kMapMultiplier[] = {1.1977, 1.2973, 1.3961, 1.6332, 1.9612, 2.1890};
constexpr double kProfileMultiplier[] = {1.2194, 1.3145, 1.4895, 1.9812, 2.2708, 2.6170};

double Multiplier(double pfa, bool twoDimensional) {
    const double* table = twoDimensional ? kMapMultiplier : kProfileMultiplier;
    // Interpolated in log Pfa, so values between the choices stay sensible.
    const double at = std::clamp(-std::log10(pfa) - 3.0, 0.0, 5.0);
    const auto low = static_cast<std::size_t>(std::min(at, 4.0));
    const double f = at - static_cast<double>(low);
    return table[low] * (1.0 - f) + table[low + 1] * f;
}

// 10^(dB/10) to about 1e-7 relative, four cells at a time; -inf and NaN give 0, so zeroed
// cells stay out of the training sums. Only the detector uses it: levels are reported from
// the input. 2^x is 2^round(x), built in the exponent bits by the 2^52 addition trick, times a
// series for 2^f, |f| <= 1/2.
typedef double V4d __attribute__((vector_size(32)));
typedef std::uint64_t V4u __attribute__((vector_size(32)));

__attribute__((always_inline)) inline V4d PowerFromDb4(V4d db) {
    constexpr double kShift = 4503599627370496.0 + 1023.0;  // 2^52 plus the exponent bias
    const V4d zero = db - db;
    V4d x = db * 0.33219280948873623;  // log2(10) / 10
    x = x < -1000.0 ? zero - 1000.0 : x;
    x = x > 1000.0 ? zero + 1000.0 : x;
    const V4d biased = x + kShift;
    const V4d f = (x - (biased - kShift)) * 0.6931471805599453;
    const V4d p =
        1.0 +
        f * (1.0 +
             f * (0.5 + f * (1.0 / 6 + f * (1.0 / 24 + f * (1.0 / 120 +
                                                            f * (1.0 / 720 + f * (1.0 / 5040)))))));
    V4u bits;
    std::memcpy(&bits, &biased, sizeof bits);
    bits <<= 52;
    V4d scale;
    std::memcpy(&scale, &bits, sizeof scale);
    return db > -3000.0 ? p * scale : V4d{0.0, 0.0, 0.0, 0.0};
}

// The two passes over every cell, built for AVX2 too and picked at run time.
__attribute__((target_clones("avx2", "default"))) void PowersFromDb(const double* db, double* power,
                                                                    std::size_t n) {
    std::size_t k = 0;
    for (; k + 4 <= n; k += 4) {
        V4d v;
        std::memcpy(&v, db + k, sizeof v);
        v = PowerFromDb4(v);
        std::memcpy(power + k, &v, sizeof v);
    }
    for (; k < n; ++k) {
        const V4d v = PowerFromDb4(V4d{db[k], db[k], db[k], db[k]});
        power[k] = v[0];
    }
}

inline double PowerFromDb(double db) {
    double power;
    PowersFromDb(&db, &power, 1);
    return power;
}

// excess[c] = p[c] - floor * (training sum of c) for c in [first, last), from the summed-area
// table's rows r0, r1 (outer box) and q0, q1 (guard box), given as pointers into the table.
__attribute__((target_clones("avx2", "default"))) void InteriorExcess(
    const double* r0, const double* r1, const double* q0, const double* q1, const double* p,
    double floor, std::size_t first, std::size_t last, std::size_t outer, std::size_t inner,
    double* excess) {
    for (std::size_t c = first; c < last; ++c) {
        const double t = (r1[c + outer + 1] - r0[c + outer + 1] - r1[c - outer] + r0[c - outer]) -
                         (q1[c + inner + 1] - q0[c + inner + 1] - q1[c - inner] + q0[c - inner]);
        excess[c] = p[c] - floor * t;
    }
}

// Threshold factor over the training sum, by the number of training cells that exist.
std::vector<double> FactorsBySum(std::size_t maxCount, double pfa, double spread,
                                 bool twoDimensional) {
    std::vector<double> factors(maxCount + 1, 0.0);
    for (std::size_t n = 1; n <= maxCount; ++n)
        factors[n] = CfarThresholdFactor(pfa, static_cast<double>(n), spread, twoDimensional) / n;
    return factors;
}

// Peak grouping: every 8-connected set of marked cells becomes one detection at its strongest
// cell. `marks` is cleared on the way.
std::vector<CfarDetection> Group(const double* db, std::vector<std::uint8_t>& marks,
                                 const std::vector<std::size_t>& hits, std::size_t rows,
                                 std::size_t columns) {
    std::vector<CfarDetection> detections;
    std::vector<std::size_t> stack;
    for (const std::size_t seed : hits) {
        if (marks[seed] == 0) continue;
        marks[seed] = 0;
        stack.assign(1, seed);
        std::size_t best = seed;
        while (!stack.empty()) {
            const std::size_t at = stack.back();
            stack.pop_back();
            if (db[at] > db[best]) best = at;
            const std::size_t r = at / columns;
            const std::size_t c = at % columns;
            for (std::size_t nr = r > 0 ? r - 1 : 0; nr <= std::min(rows - 1, r + 1); ++nr) {
                for (std::size_t nc = c > 0 ? c - 1 : 0; nc <= std::min(columns - 1, c + 1); ++nc) {
                    const std::size_t n = nr * columns + nc;
                    if (marks[n] != 0) {
                        marks[n] = 0;
                        stack.push_back(n);
                    }
                }
            }
        }
        detections.push_back({best / columns, best % columns, db[best]});
    }
    std::stable_sort(
        detections.begin(), detections.end(),
        [](const CfarDetection& a, const CfarDetection& b) { return a.level > b.level; });
    return detections;
}

}  // namespace

CfarCells ResolveCfarCells(CfarCells given, std::size_t points, std::size_t padded) {
    // One resolution cell spans padded / points bins; the Hamming window's main lobe reaches
    // two of them either side, so that is what the guard keeps out of the noise estimate.
    const int span =
        static_cast<int>(std::max<std::size_t>(1, padded / std::max<std::size_t>(1, points)));
    CfarCells cells = given;
    if (cells.guard <= 0) cells.guard = 2 * span;
    if (cells.train <= 0) cells.train = 2 * span;
    return cells;
}

double CfarThresholdFactor(double pfa, double training, double spread, bool twoDimensional) {
    // Textbook CA-CFAR factor for n independent exponential cells, n the training cells over
    // the cells each independent one spreads over.
    const double n = std::max(1.0, training / std::max(1.0, spread));
    return Multiplier(pfa, twoDimensional) * n * (std::pow(pfa, -1.0 / n) - 1.0);
}

namespace {

// Calls visit(cell, power, trainingSum, trainingCount) for every cell with power whose power
// exceeds `floor` times its training sum, over summed-area tables so that the cost does not
// depend on the window sizes. Boxes are clipped at the map's edges, and zero cells (DC
// removal, windows) count neither as power nor as cells. With floor 0 every cell is visited.
template <typename Visit>
void ScanMap(const double* mapDb, const double* mapPower, std::size_t rows, std::size_t columns,
             CfarCells rc, CfarCells dc, double floor, Visit&& visit) {
    // The summed-area table is built a row at a time just ahead of the scan, into a ring of
    // the rows the scan's boxes still reach, and each row's powers beside it: the tables stay
    // in cache instead of streaming megabytes through memory. The sums are the full table's,
    // added in the same order.
    const std::size_t w = columns + 1;
    const auto outerR = static_cast<std::size_t>(rc.guard + rc.train);
    // Rows are built four at a time where they can be (their running sums are independent
    // chains, so the four overlap), which the ring's three extra rows leave room for.
    constexpr std::size_t kAhead = 4;
    const std::size_t ring = std::min(rows + 1, 2 * outerR + 2 + kAhead - 1);
    thread_local std::vector<double> sum;
    thread_local std::vector<std::int32_t> count;
    thread_local std::vector<double> power;
    thread_local std::vector<double> excess;
    // Every entry but the leading row and column is written below.
    sum.resize(ring * w);
    count.resize(ring * w);
    power.resize(mapPower != nullptr ? 0 : ring * columns);
    excess.resize(columns);
    std::fill_n(sum.begin(), w, 0.0);
    std::fill_n(count.begin(), w, 0);
    const auto sumRow = [&](std::size_t i) { return sum.data() + (i % ring) * w; };
    const auto countRow = [&](std::size_t i) { return count.data() + (i % ring) * w; };
    // The map's own powers when it has them, else converted back from its decibels.
    const auto powerRow = [&](std::size_t r) -> const double* {
        if (mapPower != nullptr) return mapPower + r * columns;
        return power.data() + (r % ring) * columns;
    };
    std::size_t built = 0;  // table rows 0 ... built are in the ring
    // Table rows first + 1 ... first + n from power rows first ... first + n - 1.
    const auto buildRows = [&](std::size_t first, std::size_t n) {
        const double* p[kAhead];
        const double* above[kAhead];
        const std::int32_t* aboveCount[kAhead];
        double* out[kAhead];
        std::int32_t* outCount[kAhead];
        for (std::size_t k = 0; k < n; ++k) {
            if (mapPower == nullptr) {
                PowersFromDb(mapDb + (first + k) * columns,
                             power.data() + ((first + k) % ring) * columns, columns);
            }
            p[k] = powerRow(first + k);
            above[k] = sumRow(first + k);
            aboveCount[k] = countRow(first + k);
            out[k] = sumRow(first + k + 1);
            outCount[k] = countRow(first + k + 1);
            out[k][0] = 0.0;
            outCount[k][0] = 0;
        }
        if (n == kAhead) {
            // Each row's table row is the one above plus its running sums: row k's above is
            // row k - 1's output, added in the same order as one row at a time.
            const double *p0 = p[0], *p1 = p[1], *p2 = p[2], *p3 = p[3];
            const double* top = above[0];
            const std::int32_t* topCount = aboveCount[0];
            double *o0 = out[0], *o1 = out[1], *o2 = out[2], *o3 = out[3];
            std::int32_t *n0 = outCount[0], *n1 = outCount[1], *n2 = outCount[2], *n3 = outCount[3];
            double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
            std::int32_t k0 = 0, k1 = 0, k2 = 0, k3 = 0;
            for (std::size_t c = 0; c < columns; ++c) {
                s0 += p0[c];
                s1 += p1[c];
                s2 += p2[c];
                s3 += p3[c];
                k0 += p0[c] > 0.0 ? 1 : 0;
                k1 += p1[c] > 0.0 ? 1 : 0;
                k2 += p2[c] > 0.0 ? 1 : 0;
                k3 += p3[c] > 0.0 ? 1 : 0;
                const double v0 = top[c + 1] + s0;
                const double v1 = v0 + s1;
                const double v2 = v1 + s2;
                o0[c + 1] = v0;
                o1[c + 1] = v1;
                o2[c + 1] = v2;
                o3[c + 1] = v2 + s3;
                const std::int32_t m0 = topCount[c + 1] + k0;
                const std::int32_t m1 = m0 + k1;
                const std::int32_t m2 = m1 + k2;
                n0[c + 1] = m0;
                n1[c + 1] = m1;
                n2[c + 1] = m2;
                n3[c + 1] = m2 + k3;
            }
            return;
        }
        for (std::size_t k = 0; k < n; ++k) {
            double rowSum = 0.0;
            std::int32_t rowCount = 0;
            for (std::size_t c = 0; c < columns; ++c) {
                rowSum += p[k][c];
                rowCount += p[k][c] > 0.0 ? 1 : 0;
                out[k][c + 1] = above[k][c + 1] + rowSum;
                outCount[k][c + 1] = aboveCount[k][c + 1] + rowCount;
            }
        }
    };
    const auto buildThrough = [&](std::size_t last) {
        if (built >= last) return;
        const std::size_t target = std::min(rows, std::max(last, built + kAhead));
        while (built < target) {
            const std::size_t n = std::min(kAhead, target - built);
            buildRows(built, n);
            built += n;
        }
    };

    const auto clampTo = [](std::ptrdiff_t v, std::size_t limit) {
        return static_cast<std::size_t>(
            std::clamp<std::ptrdiff_t>(v, 0, static_cast<std::ptrdiff_t>(limit)));
    };
    const auto outerD = static_cast<std::size_t>(dc.guard + dc.train);
    const auto innerD = static_cast<std::size_t>(dc.guard);
    for (std::size_t r = 0; r < rows; ++r) {
        const auto ri = static_cast<std::ptrdiff_t>(r);
        const std::size_t row0 = clampTo(ri - rc.guard - rc.train, rows);
        const std::size_t row1 = clampTo(ri + rc.guard + rc.train + 1, rows);
        const std::size_t guard0 = clampTo(ri - rc.guard, rows);
        const std::size_t guard1 = clampTo(ri + rc.guard + 1, rows);
        buildThrough(row1);
        const double* s0 = sumRow(row0);
        const double* s1 = sumRow(row1);
        const double* g0s = sumRow(guard0);
        const double* g1s = sumRow(guard1);
        const std::int32_t* n0 = countRow(row0);
        const std::int32_t* n1 = countRow(row1);
        const std::int32_t* g0n = countRow(guard0);
        const std::int32_t* g1n = countRow(guard1);
        const double* p = powerRow(r);
        const auto training = [&](std::size_t c0, std::size_t c1, std::size_t g0, std::size_t g1) {
            return (s1[c1] - s0[c1] - s1[c0] + s0[c0]) - (g1s[g1] - g0s[g1] - g1s[g0] + g0s[g0]);
        };
        const auto cells = [&](std::size_t c0, std::size_t c1, std::size_t g0, std::size_t g1) {
            return (n1[c1] - n0[c1] - n1[c0] + n0[c0]) - (g1n[g1] - g0n[g1] - g1n[g0] + g0n[g0]);
        };
        const auto test = [&](std::size_t c, std::size_t c0, std::size_t c1, std::size_t g0,
                              std::size_t g1) {
            const std::int32_t n = cells(c0, c1, g0, g1);
            if (n > 0 && p[c] > 0.0) visit(r * columns + c, p[c], training(c0, c1, g0, g1), n);
        };
        // Columns whose boxes stay inside the map take fixed offsets, which vectorise: a first
        // pass marks the few cells above the lowest threshold any count could give.
        const std::size_t first = std::min(columns, outerD);
        const std::size_t last = columns > outerD ? columns - outerD : first;  // exclusive
        for (std::size_t c = 0; c < first; ++c)
            test(c, clampTo(std::ptrdiff_t(c) - std::ptrdiff_t(outerD), columns),
                 std::min(columns, c + outerD + 1),
                 clampTo(std::ptrdiff_t(c) - std::ptrdiff_t(innerD), columns),
                 std::min(columns, c + innerD + 1));
        if (last > first) {
            const std::size_t lo = outerD, hi = outerD + 1, glo = innerD, ghi = innerD + 1;
            InteriorExcess(s0, s1, g0s, g1s, p, floor, first, last, outerD, innerD, excess.data());
            const double* over = excess.data();  // local, so it is not reloaded per cell
            for (std::size_t c = first; c < last; ++c) {
                if (over[c] > 0.0) test(c, c - lo, c + hi, c - glo, c + ghi);
            }
        }
        for (std::size_t c = std::max(first, last); c < columns; ++c)
            test(c, clampTo(std::ptrdiff_t(c) - std::ptrdiff_t(outerD), columns),
                 std::min(columns, c + outerD + 1),
                 clampTo(std::ptrdiff_t(c) - std::ptrdiff_t(innerD), columns),
                 std::min(columns, c + innerD + 1));
    }
}

struct MapCells {
    CfarCells range;
    CfarCells doppler;
    double spread = 1.0;
};

MapCells ResolveMapCells(std::size_t rows, std::size_t columns, int samplesPerSweep, int sweeps,
                         const CfarSettings& settings) {
    // The range transform is twice the kept rows less one (the non-negative half).
    const std::size_t rangePadded = 2 * (rows - 1);
    MapCells cells;
    cells.range =
        ResolveCfarCells(settings.range, static_cast<std::size_t>(samplesPerSweep), rangePadded);
    cells.doppler = ResolveCfarCells(settings.doppler, static_cast<std::size_t>(sweeps), columns);
    cells.spread = (static_cast<double>(rangePadded) / samplesPerSweep) *
                   (static_cast<double>(columns) / sweeps);
    return cells;
}

}  // namespace

std::vector<CfarDetection> DetectMap(const double* mapDb, const double* mapPower, std::size_t rows,
                                     std::size_t columns, int samplesPerSweep, int sweeps,
                                     const CfarSettings& settings) {
    if (rows == 0 || columns == 0) return {};
    const MapCells cells = ResolveMapCells(rows, columns, samplesPerSweep, sweeps, settings);
    const std::size_t maxCount =
        static_cast<std::size_t>(2 * (cells.range.guard + cells.range.train) + 1) *
        static_cast<std::size_t>(2 * (cells.doppler.guard + cells.doppler.train) + 1);
    // Thousands of powers: kept while the settings and geometry stay, as they do tick to tick.
    thread_local std::vector<double> factors;
    thread_local double factorsPfa = 0.0, factorsSpread = 0.0;
    if (factors.size() != maxCount + 1 || factorsPfa != settings.pfa ||
        factorsSpread != cells.spread) {
        factors = FactorsBySum(maxCount, settings.pfa, cells.spread, /*twoDimensional=*/true);
        factorsPfa = settings.pfa;
        factorsSpread = cells.spread;
    }
    // The factor per training sum falls as the count grows: the full count's is the lowest.
    const double floor = factors[maxCount];
    // Grouping clears every mark it reaches, so the marks stay zero between calls.
    thread_local std::vector<std::uint8_t> marks;
    marks.resize(rows * columns, 0);
    std::vector<std::size_t> hits;
    ScanMap(mapDb, mapPower, rows, columns, cells.range, cells.doppler, floor,
            [&](std::size_t at, double power, double training, std::int32_t n) {
                if (power > factors[static_cast<std::size_t>(n)] * training) {
                    marks[at] = 1;
                    hits.push_back(at);
                }
            });
    std::vector<CfarDetection> grouped = Group(mapDb, marks, hits, rows, columns);
    // A strong target's own sidelobes (the window's, and those of its range migration during
    // the burst) stand above the noise within its guard cells, where their training cannot
    // see the target: keep only detections that are the strongest cell of their guard box.
    const auto strongestOfGuard = [&](const CfarDetection& d) {
        const std::size_t r0 = d.row - std::min<std::size_t>(d.row, cells.range.guard);
        const std::size_t r1 = std::min(rows - 1, d.row + cells.range.guard);
        const std::size_t c0 = d.column - std::min<std::size_t>(d.column, cells.doppler.guard);
        const std::size_t c1 = std::min(columns - 1, d.column + cells.doppler.guard);
        for (std::size_t r = r0; r <= r1; ++r) {
            const double* row = mapDb + r * columns;
            for (std::size_t c = c0; c <= c1; ++c)
                if (row[c] > d.level) return false;
        }
        return true;
    };
    grouped.erase(std::remove_if(grouped.begin(), grouped.end(),
                                 [&](const CfarDetection& d) { return !strongestOfGuard(d); }),
                  grouped.end());
    return grouped;
}

double RangeDopplerCoupling(double velocity, double centerFrequencyHz, double sweepTimeS,
                            double bandwidthHz) {
    // The Doppler shift 2 v f / c adds to the beat tone, whose slope is 2 B / (c T).
    return velocity * centerFrequencyHz * sweepTimeS / bandwidthHz;
}

std::vector<double> CfarMapRatios(const double* mapDb, const double* mapPower, std::size_t rows,
                                  std::size_t columns, int samplesPerSweep, int sweeps,
                                  const CfarSettings& settings) {
    std::vector<double> ratios(rows * columns, 0.0);
    if (rows == 0 || columns == 0) return ratios;
    const MapCells cells = ResolveMapCells(rows, columns, samplesPerSweep, sweeps, settings);
    ScanMap(mapDb, mapPower, rows, columns, cells.range, cells.doppler, 0.0,
            [&](std::size_t at, double power, double training, std::int32_t n) {
                ratios[at] = training > 0.0 ? power * n / training : 0.0;
            });
    return ratios;
}

double CfarMapFactor(int samplesPerSweep, int sweeps, const CfarSettings& settings) {
    const MapCells cells =
        ResolveMapCells(kCfarMapRows, kCfarMapColumns, samplesPerSweep, sweeps, settings);
    const auto side = [](CfarCells c) { return 2.0 * (c.guard + c.train) + 1.0; };
    const double training = side(cells.range) * side(cells.doppler) -
                            (2.0 * cells.range.guard + 1.0) * (2.0 * cells.doppler.guard + 1.0);
    return CfarThresholdFactor(settings.pfa, training, cells.spread, /*twoDimensional=*/true);
}

namespace {

CfarCells ResolveProfileCells(std::size_t bins, int samplesPerSweep, CfarCells given) {
    const std::size_t padded = 2 * (bins - 1);
    // One sweep holds few independent cells (N / 2): train four times as wide as on the map,
    // so that the noise estimate rests on about a quarter of them.
    const int span = static_cast<int>(padded / static_cast<std::size_t>(samplesPerSweep));
    if (given.train <= 0) given.train = 8 * std::max(1, span);
    return ResolveCfarCells(given, static_cast<std::size_t>(samplesPerSweep), padded);
}

// The profile's ScanMap: training cells on both sides beyond the guard, clipped at the ends.
template <typename Visit>
void ScanProfile(const double* profileDb, std::size_t bins, CfarCells rc, Visit&& visit) {
    std::vector<double> sum(bins + 1, 0.0);
    std::vector<std::int32_t> count(bins + 1, 0);
    std::vector<double> power(bins);
    for (std::size_t k = 0; k < bins; ++k) {
        power[k] = PowerFromDb(profileDb[k]);
        sum[k + 1] = sum[k] + power[k];
        count[k + 1] = count[k] + (power[k] > 0.0 ? 1 : 0);
    }
    const auto clampTo = [bins](std::ptrdiff_t v) {
        return static_cast<std::size_t>(
            std::clamp<std::ptrdiff_t>(v, 0, static_cast<std::ptrdiff_t>(bins)));
    };
    for (std::size_t k = 0; k < bins; ++k) {
        if (!(power[k] > 0.0)) continue;
        const auto ki = static_cast<std::ptrdiff_t>(k);
        const std::size_t a0 = clampTo(ki - rc.guard - rc.train);
        const std::size_t a1 = clampTo(ki - rc.guard);
        const std::size_t b0 = clampTo(ki + rc.guard + 1);
        const std::size_t b1 = clampTo(ki + rc.guard + rc.train + 1);
        const std::int32_t n = count[a1] - count[a0] + count[b1] - count[b0];
        if (n > 0) visit(k, power[k], sum[a1] - sum[a0] + sum[b1] - sum[b0], n);
    }
}

}  // namespace

std::vector<CfarDetection> DetectProfile(const double* profileDb, std::size_t bins,
                                         int samplesPerSweep, const CfarSettings& settings) {
    if (bins < 2) return {};
    const CfarCells rc = ResolveProfileCells(bins, samplesPerSweep, settings.range);
    const double spread = static_cast<double>(2 * (bins - 1)) / samplesPerSweep;
    const std::vector<double> factors = FactorsBySum(
        static_cast<std::size_t>(2 * rc.train), settings.pfa, spread, /*twoDimensional=*/false);
    std::vector<std::uint8_t> marks(bins, 0);
    std::vector<std::size_t> hits;
    ScanProfile(profileDb, bins, rc, [&](std::size_t k, double power, double training, int n) {
        if (power > factors[static_cast<std::size_t>(n)] * training) {
            marks[k] = 1;
            hits.push_back(k);
        }
    });
    return Group(profileDb, marks, hits, bins, 1);
}

std::vector<double> CfarProfileRatios(const double* profileDb, std::size_t bins,
                                      int samplesPerSweep, const CfarSettings& settings) {
    std::vector<double> ratios(bins, 0.0);
    if (bins < 2) return ratios;
    ScanProfile(profileDb, bins, ResolveProfileCells(bins, samplesPerSweep, settings.range),
                [&](std::size_t k, double power, double training, int n) {
                    ratios[k] = training > 0.0 ? power * n / training : 0.0;
                });
    return ratios;
}

double CfarProfileFactor(int samplesPerSweep, const CfarSettings& settings) {
    const std::size_t bins = kCfarMapRows;
    const CfarCells rc = ResolveProfileCells(bins, samplesPerSweep, settings.range);
    return CfarThresholdFactor(settings.pfa, 2.0 * rc.train,
                               static_cast<double>(2 * (bins - 1)) / samplesPerSweep,
                               /*twoDimensional=*/false);
}

}  // namespace vorn::dsp
