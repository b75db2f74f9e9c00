// Windows records one source only: no second source is ever resampled there, so this twin
// converts nothing and needs no resampling library.

#include "engine/record/DriftResampler.h"

void CDriftResampler::StateDeleter::operator()(SRC_STATE_tag*) const {}

CDriftResampler::CDriftResampler(int channels, double) : m_channels(channels) {}

CDriftResampler::~CDriftResampler() = default;

void CDriftResampler::Restart(double firstInput) { m_position = firstInput; }

std::size_t CDriftResampler::Convert(const std::int16_t*, std::size_t, std::size_t*, float*, std::size_t, double)
{
    return 0;
}
