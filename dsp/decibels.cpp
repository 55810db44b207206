#include "dsp/decibels.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace vorn::dsp {
namespace {

constexpr double kLn2 = 0.6931471805599453094;
constexpr double kDbPerNeper = 4.3429448190325182765;  // 10 / ln 10
// 2^52 + 1023: a biased exponent placed in the low mantissa bits of 2^52 reads back as this
// plus the exponent, which turns the exponent into a double without an int64 conversion
// (that SSE2 cannot vectorise).
constexpr double kExponentMagic = 4503599627371519.0;
constexpr std::uint64_t kMagicBits = 0x4330000000000000ULL;
constexpr std::uint64_t kMantissaMask = 0x000fffffffffffffULL;
constexpr std::uint64_t kOneBits = 0x3ff0000000000000ULL;
constexpr int kTableBits = 7;

// The mantissa m in [1, 2) is split by its top bits into 128 intervals with centres c_j:
// ln m = ln c_j + ln(m / c_j), and m / c_j = m * (1 / c_j) lies within 1/256 of 1, where a short
// series for ln(1 + t) is exact to double precision and needs no division.
struct LogTable {
    std::array<double, 1u << kTableBits> inverse{};   // 1 / c_j, rounded
    std::array<double, 1u << kTableBits> lnCentre{};  // -ln of that rounded inverse
    LogTable() {
        for (std::size_t j = 0; j < inverse.size(); ++j) {
            const double centre = 1.0 + (static_cast<double>(j) + 0.5) / inverse.size();
            inverse[j] = 1.0 / centre;
            lnCentre[j] = static_cast<double>(-std::log(static_cast<long double>(inverse[j])));
        }
    }
};
const LogTable kTable;

inline double Bits(std::uint64_t u) {
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

inline std::uint64_t Bits(double d) {
    std::uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

// Branch-free for normal positive p; anything else is fixed up by the caller.
inline double FastPowerToDb(double p) {
    const std::uint64_t u = Bits(p);
    const double exponent = Bits(kMagicBits | (u >> 52)) - kExponentMagic;
    const double m = Bits((u & kMantissaMask) | kOneBits);  // [1, 2)
    const std::size_t j = (u & kMantissaMask) >> (52 - kTableBits);
    const double t = m * kTable.inverse[j] - 1.0;
    // ln(1 + t), |t| <= 1/256, to t^6: the first term left out is below 2e-18.
    const double t2 = t * t;
    const double lnRatio =
        t + t2 * ((-0.5 + t * (1.0 / 3.0)) + t2 * (-0.25 + t * 0.2) + t2 * t2 * (-1.0 / 6.0));
    return (exponent * kLn2 + (kTable.lnCentre[j] + lnRatio)) * kDbPerNeper;
}

inline bool IsNormalPower(double p) {
    return p >= std::numeric_limits<double>::min() && p <= std::numeric_limits<double>::max();
}

}  // namespace

double PowerToDbNormal(double power) {
    return FastPowerToDb(power);
}

double PowerToDb(double power) {
    return IsNormalPower(power) ? FastPowerToDb(power) : 10.0 * std::log10(power);
}

#if defined(__GNUC__)
namespace {

// GCC/Clang vector extensions: the arithmetic of FastPowerToDb lane by lane, in the same order,
// so both give the same values.
// Four lanes: two SSE2 registers each in the default build, one AVX register in the AVX2 clone
// of PowerDbInto (no FMA there, so every lane rounds as the scalar code does).
typedef double V4d __attribute__((vector_size(32)));
typedef std::uint64_t V4u __attribute__((vector_size(32)));
typedef std::int64_t V4i __attribute__((vector_size(32)));

__attribute__((always_inline)) inline V4d Splat(double v) {
    return V4d{v, v, v, v};
}

__attribute__((always_inline)) inline V4d FastPowerToDb4(V4d p) {
    const V4u u = __builtin_bit_cast(V4u, p);
    const V4u magic = u >> 52 | kMagicBits;
    const V4d exponent = __builtin_bit_cast(V4d, magic) - Splat(kExponentMagic);
    const V4u mantissaBits = (u & kMantissaMask) | kOneBits;
    const V4d m = __builtin_bit_cast(V4d, mantissaBits);
    const V4u j = (u & kMantissaMask) >> (52 - kTableBits);
    const V4d inverse = {kTable.inverse[j[0]], kTable.inverse[j[1]], kTable.inverse[j[2]],
                         kTable.inverse[j[3]]};
    const V4d lnCentre = {kTable.lnCentre[j[0]], kTable.lnCentre[j[1]], kTable.lnCentre[j[2]],
                          kTable.lnCentre[j[3]]};
    const V4d t = m * inverse - Splat(1.0);
    const V4d t2 = t * t;
    const V4d lnRatio =
        t + t2 * ((Splat(-0.5) + t * Splat(1.0 / 3.0)) + t2 * (Splat(-0.25) + t * Splat(0.2)) +
                  t2 * t2 * Splat(-1.0 / 6.0));
    return (exponent * Splat(kLn2) + (lnCentre + lnRatio)) * Splat(kDbPerNeper);
}

}  // namespace
#endif

namespace {

// z * g exactly as std::complex<double> multiplies: the plain products, and the library's
// careful path where that gives NaN in both parts (infinite operands).
inline Complex Multiply(const Complex& z, const Complex& g) {
    const double re = z.real() * g.real() - z.imag() * g.imag();
    const double im = z.real() * g.imag() + z.imag() * g.real();
    if (std::isnan(re) && std::isnan(im)) return z * g;
    return {re, im};
}

}  // namespace

void PowerDbInto(const Complex* in, double* out, std::size_t count) {
    PowerDbInto(in, nullptr, out, count, nullptr, nullptr);
}

// The clone's resolver runs while the program is loaded, before the thread sanitizer's runtime
// is up, so an instrumented build keeps the one default version.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
__attribute__((target_clones("avx2", "default")))
#endif
void PowerDbInto(const Complex* in, const Complex* gains, double* out, std::size_t count,
                 double* powerSum, double* powers) {
    const double* parts = reinterpret_cast<const double*>(in);
    const double* gainParts = reinterpret_cast<const double*>(gains);
    // Zero, subnormal, infinite and NaN powers are rare; libm gives them their exact values.
    std::size_t i = 0;
#if defined(__GNUC__)
    const V4d smallest = Splat(std::numeric_limits<double>::min());
    const V4d largest = Splat(std::numeric_limits<double>::max());
    constexpr V4i kEven = {0, 2, 4, 6};
    constexpr V4i kOdd = {1, 3, 5, 7};
    for (; i + 4 <= count; i += 4) {
        V4d a;
        V4d b;
        std::memcpy(&a, parts + 2 * i, sizeof a);
        std::memcpy(&b, parts + 2 * i + 4, sizeof b);
        V4d re = __builtin_shuffle(a, b, kEven);
        V4d im = __builtin_shuffle(a, b, kOdd);
        if (gainParts != nullptr) {
            std::memcpy(&a, gainParts + 2 * i, sizeof a);
            std::memcpy(&b, gainParts + 2 * i + 4, sizeof b);
            const V4d gRe = __builtin_shuffle(a, b, kEven);
            const V4d gIm = __builtin_shuffle(a, b, kOdd);
            const V4d zRe = re * gRe - im * gIm;
            const V4d zIm = re * gIm + im * gRe;
            const V4i bothNan = (zRe != zRe) & (zIm != zIm);
            re = zRe;
            im = zIm;
            if (__builtin_expect((bothNan[0] | bothNan[1] | bothNan[2] | bothNan[3]) != 0, 0)) {
                for (int lane = 0; lane < 4; ++lane) {
                    const Complex z = Multiply(in[i + lane], gains[i + lane]);
                    re[lane] = z.real();
                    im[lane] = z.imag();
                }
            }
        }
        const V4d p = re * re + im * im;
        if (powers != nullptr) std::memcpy(powers + i, &p, sizeof p);
        if (powerSum != nullptr) {
            V4d sum;
            std::memcpy(&sum, powerSum + i, sizeof sum);
            sum += p;
            std::memcpy(powerSum + i, &sum, sizeof sum);
        }
        V4d db = FastPowerToDb4(p);
        const V4i normal = (p >= smallest) & (p <= largest);
        if (__builtin_expect((normal[0] & normal[1] & normal[2] & normal[3]) == 0, 0)) {
            for (int lane = 0; lane < 4; ++lane) {
                if (normal[lane] == 0) db[lane] = 10.0 * std::log10(p[lane]);
            }
        }
        std::memcpy(out + i, &db, sizeof db);
    }
#endif
    for (; i < count; ++i) {
        const Complex z = gains != nullptr ? Multiply(in[i], gains[i]) : in[i];
        const double p = z.real() * z.real() + z.imag() * z.imag();
        if (powers != nullptr) powers[i] = p;
        if (powerSum != nullptr) powerSum[i] += p;
        out[i] = PowerToDb(p);
    }
}

}  // namespace vorn::dsp
