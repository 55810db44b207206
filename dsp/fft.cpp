#include "dsp/fft.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <stdexcept>
#include <utility>

namespace vorn::dsp {

namespace {

// vorn-process runs chains on several threads, and a chain plans whenever a window or size
// changes: every fftw_plan_* and fftw_destroy_plan goes through this one lock.
std::mutex& PlannerMutex() {
    static std::mutex mutex;
    return mutex;
}

void DestroyPlan(fftw_plan plan) {
    if (plan == nullptr) return;
    const std::lock_guard<std::mutex> lock(PlannerMutex());
    fftw_destroy_plan(plan);
}

}  // namespace

FftwBuffer::FftwBuffer(std::size_t count) : size_(count) {
    if (count == 0) return;
    data_ = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * count));
    if (data_ == nullptr) throw std::bad_alloc();
    Zero();
}

FftwBuffer::~FftwBuffer() {
    fftw_free(data_);
}

FftwBuffer::FftwBuffer(FftwBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

FftwBuffer& FftwBuffer::operator=(FftwBuffer&& other) noexcept {
    if (this != &other) {
        fftw_free(data_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void FftwBuffer::Zero() {
    std::fill(data(), data() + size_, Complex());
}

FftPlan::FftPlan(fftw_plan plan) : plan_(plan) {
    if (plan_ == nullptr) throw std::runtime_error("FFTW could not create a plan");
}

FftPlan::~FftPlan() {
    DestroyPlan(plan_);
}

FftPlan::FftPlan(FftPlan&& other) noexcept : plan_(std::exchange(other.plan_, nullptr)) {}

FftPlan& FftPlan::operator=(FftPlan&& other) noexcept {
    if (this != &other) {
        DestroyPlan(plan_);
        plan_ = std::exchange(other.plan_, nullptr);
    }
    return *this;
}

FftPlan FftPlan::Forward1d(int size, fftw_complex* in, fftw_complex* out) {
    std::unique_lock<std::mutex> lock(PlannerMutex());
    const fftw_plan plan = fftw_plan_dft_1d(size, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
    lock.unlock();
    return FftPlan(plan);
}

FftPlan FftPlan::ForwardMany(int size, int howMany, fftw_complex* in, int inStride, int inDistance,
                             fftw_complex* out, int outStride, int outDistance) {
    int n[] = {size};
    std::unique_lock<std::mutex> lock(PlannerMutex());
    const fftw_plan plan = fftw_plan_many_dft(1, n, howMany, in, n, inStride, inDistance, out, n,
                                              outStride, outDistance, FFTW_FORWARD, FFTW_ESTIMATE);
    lock.unlock();
    return FftPlan(plan);
}

void FftPlan::Execute() const {
    if (plan_ != nullptr) fftw_execute(plan_);
}

BlockTransformer::BlockTransformer()
    : buffer_(kTransformSize),
      plan_(FftPlan::Forward1d(static_cast<int>(kTransformSize), buffer_.raw(), buffer_.raw())) {}

void BlockTransformer::Transform(SampleBlock& block) {
    block.resize(kTransformSize);
    std::copy(block.begin(), block.end(), buffer_.data());
    plan_.Execute();
    std::copy(buffer_.data(), buffer_.data() + kTransformSize, block.begin());
}

void TransformBlock(SampleBlock& block) {
    block.resize(kTransformSize);
    ForwardTransform(block);
}

void ForwardTransform(std::vector<Complex>& values) {
    if (values.empty()) return;
    // Planned on an aligned buffer, as the kept plans are, so both give identical results.
    FftwBuffer buffer(values.size());
    const FftPlan plan =
        FftPlan::Forward1d(static_cast<int>(values.size()), buffer.raw(), buffer.raw());
    std::copy(values.begin(), values.end(), buffer.data());
    plan.Execute();
    std::copy(buffer.data(), buffer.data() + values.size(), values.begin());
}

}  // namespace vorn::dsp
