#include "support/ToneLevel.h"

#include <algorithm>
#include <cmath>

namespace testing_support {

double ToneLevel(const std::vector<std::int16_t>& pcm, int channels, int rate, double hz, std::size_t from,
                 std::size_t frames)
{
    const double w = 2.0 * M_PI * hz / rate;
    double s1 = 0, s2 = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double s0 = pcm[(from + i) * static_cast<std::size_t>(channels)] + 2.0 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - 2.0 * std::cos(w) * s1 * s2;
    return 2.0 * std::sqrt(std::max(0.0, power)) / static_cast<double>(frames);
}

}  // namespace testing_support
