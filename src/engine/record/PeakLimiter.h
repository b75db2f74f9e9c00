#pragma once
// Keeps a sum of sounds within full scale without clipping it: where the sum would go past full
// scale, the gain is brought down smoothly (a linear ramp over the look-ahead, so it has reached
// the needed level when the peak comes) and comes back over about kReleaseSeconds; below full
// scale the sound passes untouched. The output lags the input by the look-ahead.
//
// Thread: one at a time. Allocates in the constructor only.

#include <cstddef>
#include <cstdint>
#include <vector>

class CPeakLimiter {
public:
    static constexpr double kLookAheadSeconds = 0.005;
    static constexpr double kReleaseSeconds = 0.02;

    CPeakLimiter(int channels, std::uint32_t rate);

    // Takes one frame (channels floats, full scale 32767); once the look-ahead is full, writes
    // the frame that leaves it, limited, into out as 16-bit values and returns true.
    bool Push(const float* frame, std::int16_t* out);
    // The frames still held, oldest first: call until it returns false.
    bool Drain(std::int16_t* out);
    std::size_t LookAhead() const { return m_length; }

private:
    // Adds a frame needing gain need; emits the oldest when the look-ahead is full.
    bool Step(const float* frame, double need, std::int16_t* out);
    // Nothing held needs limiting and the gain is 1: a frame that needs none either passes
    // straight through Push, which leaves everything as Step would, with a fraction of its work
    // (the sum of two sources is below full scale nearly all the time). The only frame in the
    // queue of minimums is then the last one, with a need of 1, and every floor is 1.
    bool Quiet() const
    {
        return m_lowFloors == 0 && m_gain == 1.0 && m_minsCount == 1 && m_minNeeds[m_minsHead] == 1.0 &&
               m_in >= m_length;
    }

    int m_channels;
    std::size_t m_length;               // look-ahead, frames
    double m_release;                   // share of the way back to 1 per frame
    std::vector<float> m_frames;        // ring of m_length + 1 frames
    std::size_t m_inSlot = 0;           // where the next frame goes
    std::vector<std::uint64_t> m_mins;  // ring of frame numbers whose need is a window minimum
    std::vector<double> m_minNeeds;     // and the gain each of them needs
    std::size_t m_minsHead = 0;
    std::size_t m_minsCount = 0;
    std::vector<double> m_floors;       // ring of the last m_length window minimums
    std::size_t m_floorSlot = 0;
    double m_floorSum = 0;
    std::size_t m_lowFloors = 0;        // of them, below 1
    std::uint64_t m_in = 0;             // frames taken
    std::uint64_t m_real = 0;           // of them, not padding
    std::uint64_t m_out = 0;            // frames emitted
    double m_gain = 1.0;
};
