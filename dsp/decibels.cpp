#include "dsp/decibels.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace vorn::dsp {
namespace {

constexpr double kLn2 = 0.6931471805599453094;
constexpr double kDbPerNeper = 4.3429448190325182765;  // 10 / ln 10
constexpr double kSqrt2 = 1.4142135623730950488;
// 2^52 + 1023: a biased exponent placed in the low mantissa bits of 2^52 reads back as this
// plus the exponent, which turns the exponent into a double without an int64 conversion
// (that SSE2 cannot vectorise).
constexpr double kExponentMagic = 4503599627371519.0;
constexpr std::uint64_t kMagicBits = 0x4330000000000000ULL;
constexpr std::uint64_t kMantissaMask = 0x000fffffffffffffULL;
constexpr std::uint64_t kOneBits = 0x3ff0000000000000ULL;

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
    double exponent = Bits(kMagicBits | (u >> 52)) - kExponentMagic;
    double m = Bits((u & kMantissaMask) | kOneBits);  // [1, 2)
    const bool high = m > kSqrt2;
    m = high ? m * 0.5 : m;
    exponent = high ? exponent + 1.0 : exponent;
    // ln m = 2 atanh(s), s = (m - 1) / (m + 1), |s| <= 0.1716: the series to s^19 is below
    // 1e-15 absolute, evaluated in Estrin's order to keep the dependency chain short.
    const double s = (m - 1.0) / (m + 1.0);
    const double x = s * s;
    const double x2 = x * x;
    const double x4 = x2 * x2;
    const double series =
        (1.0 + x * (1.0 / 3.0)) + x2 * (1.0 / 5.0 + x * (1.0 / 7.0)) +
        x4 * ((1.0 / 9.0 + x * (1.0 / 11.0)) + x2 * (1.0 / 13.0 + x * (1.0 / 15.0))) +
        x4 * x4 * (1.0 / 17.0 + x * (1.0 / 19.0));
    const double lnM = 2.0 * s * series;
    return (exponent * kLn2 + lnM) * kDbPerNeper;
}

inline bool IsNormalPower(double p) {
    return p >= std::numeric_limits<double>::min() && p <= std::numeric_limits<double>::max();
}

}  // namespace

double PowerToDbNormal(double power) {
    return FastPowerToDb(power);
}

#if defined(__GNUC__)
namespace {

// Two lanes with GCC/Clang vector extensions: SSE2 on x86-64, NEON on ARM, the same arithmetic
// as the scalar FastPowerToDb lane by lane (IEEE operations, no reassociation).
typedef double V2d __attribute__((vector_size(16)));
typedef std::int64_t V2i __attribute__((vector_size(16)));
typedef std::uint64_t V2u __attribute__((vector_size(16)));

inline V2d Splat(double v) {
    return V2d{v, v};
}

inline V2d FastPowerToDb2(V2d p) {
    const V2u u = __builtin_bit_cast(V2u, p);
    const V2u magic = u >> 52 | kMagicBits;
    V2d exponent = __builtin_bit_cast(V2d, magic) - Splat(kExponentMagic);
    const V2u mantissaBits = (u & kMantissaMask) | kOneBits;
    V2d m = __builtin_bit_cast(V2d, mantissaBits);
    const V2i high = m > Splat(kSqrt2);
    m = high ? m * Splat(0.5) : m;
    exponent = high ? exponent + Splat(1.0) : exponent;
    const V2d s = (m - Splat(1.0)) / (m + Splat(1.0));
    const V2d x = s * s;
    const V2d x2 = x * x;
    const V2d x4 = x2 * x2;
    const V2d series = (Splat(1.0) + x * Splat(1.0 / 3.0)) +
                       x2 * (Splat(1.0 / 5.0) + x * Splat(1.0 / 7.0)) +
                       x4 * ((Splat(1.0 / 9.0) + x * Splat(1.0 / 11.0)) +
                             x2 * (Splat(1.0 / 13.0) + x * Splat(1.0 / 15.0))) +
                       x4 * x4 * (Splat(1.0 / 17.0) + x * Splat(1.0 / 19.0));
    const V2d lnM = Splat(2.0) * s * series;
    return (exponent * Splat(kLn2) + lnM) * Splat(kDbPerNeper);
}

}  // namespace
#endif

void PowerDbInto(const Complex* in, double* out, std::size_t count) {
    const double* parts = reinterpret_cast<const double*>(in);
    std::size_t i = 0;
#if defined(__GNUC__)
    for (; i + 2 <= count; i += 2) {
        V2d a;
        V2d b;
        std::memcpy(&a, parts + 2 * i, sizeof a);
        std::memcpy(&b, parts + 2 * i + 2, sizeof b);
        a = a * a;
        b = b * b;
        const V2d re2 = __builtin_shuffle(a, b, V2i{0, 2});
        const V2d im2 = __builtin_shuffle(a, b, V2i{1, 3});
        const V2d db = FastPowerToDb2(re2 + im2);
        std::memcpy(out + i, &db, sizeof db);
    }
#endif
    for (; i < count; ++i) {
        const double re = parts[2 * i];
        const double im = parts[2 * i + 1];
        out[i] = FastPowerToDb(re * re + im * im);
    }
    // Zero, subnormal, infinite and NaN powers are rare; libm gives them their exact values.
    for (i = 0; i < count; ++i) {
        const double re = parts[2 * i];
        const double im = parts[2 * i + 1];
        const double p = re * re + im * im;
        if (!IsNormalPower(p)) out[i] = 10.0 * std::log10(p);
    }
}

}  // namespace vorn::dsp
