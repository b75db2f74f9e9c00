#pragma once
// Converts a stream of frames (16-bit, or floats) from one rate to another with a ratio that may
// change a little from one block to the next, as following a device's drifting clock needs: a
// band-limited (Kaiser-windowed sinc) interpolator of its own. The ratio holds for a whole
// call; the caller keeps its changes small (parts in a million a block), so a change is never
// heard as a step in pitch, and where the converter stands on the input is known exactly,
// however much input a call had.
//
// Every output frame is the input filtered at the fractional input position it comes from: a
// table holds the filter at kPhases positions between two input frames, and a position between
// two of them is interpolated linearly. The filter's cutoff is set once, for the nominal ratio
// (a drift of a few tenths of a percent does not need another), a little below the lower of the
// two rates' band edges; its taps sum to exactly one at every position, so a constant comes
// through unchanged.
//
// The caller asks for a number of output frames; the converter takes input frames as it needs
// them, so it never holds more than its filter's reach ahead of its output, and InputPosition()
// tells which input frame the next output frame comes from. It also serves a fixed ratio: asked
// for more than the input makes, it takes all of it.
//
// Thread: one at a time. Allocates in the constructor only.

#include <cstddef>
#include <cstdint>
#include <vector>

class CDriftResampler {
public:
    // Taps of the filter: it reaches kTaps / 2 input frames either side of a position.
    static constexpr int kTaps = 48;
    // Filter positions tabled between two input frames.
    static constexpr int kPhases = 256;

    // channels interleaved (1 or 2); ratio is output frames per input frame, nominally.
    CDriftResampler(int channels, double nominalRatio);

    bool Valid() const { return !m_table.empty(); }
    // Where the converter stands on the input: the input frame the next output frame comes
    // from (fractional), on the numbering Restart set.
    double InputPosition() const { return m_position; }
    // Input frames the converter's own filter holds back: output made from the input up to
    // frame f comes out only once f + Delay() has been given.
    double Delay() const { return kTaps / 2; }
    // Makes frames output frames (interleaved floats, full scale 1.0) with the given ratio,
    // taking input frames from in (interleaved, 16-bit or floats at full scale 1.0) as it needs
    // them; returns the frames made, fewer when the input ran out, and then every input frame
    // was taken (the next call goes on from them). Adds the input frames it took to *taken.
    std::size_t Convert(const std::int16_t* in, std::size_t inFrames, std::size_t* taken, float* out,
                        std::size_t frames, double ratio);
    std::size_t Convert(const float* in, std::size_t inFrames, std::size_t* taken, float* out, std::size_t frames,
                        double ratio);
    // Starts afresh: the next input given is frame firstInput (nothing held).
    void Restart(double firstInput);

private:
    // Input frames the history holds; when it is full, the last kTaps move to its front.
    static constexpr std::size_t kHistory = 4096;

    template <typename Sample>
    std::size_t Run(const Sample* in, std::size_t inFrames, std::size_t* taken, float* out, std::size_t frames,
                    double ratio);
    // Appends count input frames to the history.
    template <typename Sample>
    void Take(const Sample* in, std::size_t count);

    int m_channels;
    // kPhases + 1 rows of kTaps taps: row p is the filter at p / kPhases past an input frame.
    std::vector<float> m_table;
    // The input the filter reads, one row per channel, as floats: frame m_historyStart + i at
    // index i, for the first m_historyFill frames.
    std::vector<float> m_history;
    double m_historyStart = 0;
    std::size_t m_historyFill = 0;
    double m_position = 0;
};
