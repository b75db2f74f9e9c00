#pragma once
// Converts a stream of 16-bit frames from one rate to another with a ratio that may change a
// little from one block to the next, as following a device's drifting clock needs: libsamplerate's
// band-limited sinc converter. The ratio holds for a whole call; the caller keeps its changes
// small (parts in a million a block), so a change is never heard as a step in pitch, and where
// the converter stands on the input is known exactly, however much input a call had.
//
// The caller asks for a number of output frames and says how far through the input they should
// reach; the converter is fed a few input frames at a time, so it never holds more than a
// little input ahead of its output, and InputPosition() tells, to within that, which input frame
// the next output frame comes from.
//
// Thread: one at a time. Allocates in the constructor only.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct SRC_STATE_tag;

class CDriftResampler {
public:
    // channels interleaved (1 or 2); ratio is output frames per input frame, nominally.
    CDriftResampler(int channels, double nominalRatio);
    ~CDriftResampler();
    CDriftResampler(const CDriftResampler&) = delete;
    CDriftResampler& operator=(const CDriftResampler&) = delete;

    bool Valid() const { return m_state != nullptr; }
    // Where the converter stands on the input: the input frame the next output frame comes
    // from (fractional), on the numbering Restart set.
    double InputPosition() const { return m_position; }
    // Input frames the converter's own filter holds back: output made from the input up to
    // frame f comes out only once f + Delay() has been given.
    double Delay() const { return m_delay; }
    // Makes frames output frames (interleaved floats, full scale 1.0) with the given ratio,
    // taking input frames from in (interleaved 16-bit) as it needs them; returns the frames
    // made, fewer when the input ran out. Adds the input frames it took to *taken.
    std::size_t Convert(const std::int16_t* in, std::size_t inFrames, std::size_t* taken, float* out,
                        std::size_t frames, double ratio);
    // Starts afresh: the next input given is frame firstInput (nothing held).
    void Restart(double firstInput);

private:
    struct StateDeleter {
        void operator()(SRC_STATE_tag* state) const;
    };
    std::unique_ptr<SRC_STATE_tag, StateDeleter> m_state;
    int m_channels;
    double m_delay = 0;
    double m_position = 0;
    std::vector<float> m_in;     // one small piece of input, as floats
};
