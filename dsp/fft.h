#pragma once
// Owning wrappers for FFTW buffers and plans. Both are move-only: a copied plan or buffer would
// be destroyed twice. FFTW's planner is not thread-safe, so creating and destroying plans takes
// one lock shared by every thread; executing distinct plans needs none and takes none.
#include <fftw3.h>

#include <cstddef>

#include "dsp/sample_block.h"

namespace vorn::dsp {

// A zero-filled array of complex doubles from fftw_malloc, aligned for FFTW's SIMD code.
class FftwBuffer {
public:
    FftwBuffer() = default;
    explicit FftwBuffer(std::size_t count);
    ~FftwBuffer();
    FftwBuffer(FftwBuffer&& other) noexcept;
    FftwBuffer& operator=(FftwBuffer&& other) noexcept;
    FftwBuffer(const FftwBuffer&) = delete;
    FftwBuffer& operator=(const FftwBuffer&) = delete;

    void Zero();
    std::size_t size() const { return size_; }
    fftw_complex* raw() { return data_; }
    // std::complex<double> and fftw_complex share their layout.
    Complex* data() { return reinterpret_cast<Complex*>(data_); }
    const Complex* data() const { return reinterpret_cast<const Complex*>(data_); }
    Complex& operator[](std::size_t i) { return data()[i]; }
    const Complex& operator[](std::size_t i) const { return data()[i]; }

private:
    fftw_complex* data_ = nullptr;
    std::size_t size_ = 0;
};

// A forward, unscaled, estimate-level plan. Estimate planning leaves the arrays untouched.
class FftPlan {
public:
    FftPlan() = default;
    ~FftPlan();
    FftPlan(FftPlan&& other) noexcept;
    FftPlan& operator=(FftPlan&& other) noexcept;
    FftPlan(const FftPlan&) = delete;
    FftPlan& operator=(const FftPlan&) = delete;

    static FftPlan Forward1d(int size, fftw_complex* in, fftw_complex* out);
    // Batched transforms of `size` points with the given strides and distances (rank 1).
    static FftPlan ForwardMany(int size, int howMany, fftw_complex* in, int inStride,
                               int inDistance, fftw_complex* out, int outStride, int outDistance);

    bool valid() const { return plan_ != nullptr; }
    void Execute() const;

private:
    explicit FftPlan(fftw_plan plan);
    fftw_plan plan_ = nullptr;
};

// TransformBlock with a plan kept for the fixed size: same results, no planning per call.
class BlockTransformer {
public:
    BlockTransformer();
    // Pads with zeros or cuts the block to 1024 samples and replaces it by its forward DFT.
    void Transform(SampleBlock& block);

private:
    FftwBuffer buffer_;
    FftPlan plan_;
};

// Pads or cuts the block to 1024 samples and runs the forward 1024-point DFT in place, planning
// for this call alone.
void TransformBlock(SampleBlock& block);

// In-place forward DFT of the whole vector (any length), planned for this call.
void ForwardTransform(std::vector<Complex>& values);

}  // namespace vorn::dsp
