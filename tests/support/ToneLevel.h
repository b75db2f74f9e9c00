#pragma once
// The level of one frequency in decoded sound, for tests that check which tone a recording or
// a speaker holds.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testing_support {

// Amplitude (in sample units) of frequency hz in channel 0 of the interleaved frames
// [from, from + frames), by the Goertzel algorithm. A pure tone of amplitude A gives about A
// when the window holds a whole number of its periods.
double ToneLevel(const std::vector<std::int16_t>& pcm, int channels, int rate, double hz, std::size_t from,
                 std::size_t frames);

}  // namespace testing_support
