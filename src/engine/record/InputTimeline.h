#pragma once
// Where the moments of a recording's input fall in its file. The input's timeline counts every
// frame its inputs handed over, in order (see CCaptureQueue); the file holds only what was encoded:
// not what was dropped for want of a buffer, nor what voice activation left out, and it may
// begin with sound kept from before Record. The delivery thread notes, after each encoder chunk,
// how far the input has been taken and how many frames the file holds; the rest is drawn as
// straight runs between the points where that relation changed, so memory grows only with the
// number of bursts and gaps.
//
// Threads: Start and Processed on the delivery thread (Start also before it runs); FileFrame on
// any thread.

#include <cstdint>
#include <mutex>
#include <vector>

class CInputTimeline {
public:
    // The file's first frame lies at timeline position origin.
    void Start(std::uint64_t origin);
    // The input up to timeline position end has been taken, and the file holds written frames.
    void Processed(std::uint64_t end, std::uint64_t written);
    // Where the input's moment at timeline position at lies in the file, in frames: the place
    // of its sound when it was written, else the place where the file goes on after it.
    std::uint64_t FileFrame(std::uint64_t at) const;

private:
    enum class Run { None, Writing, Skipping, Mixed };
    struct Point {
        std::uint64_t at = 0;
        std::uint64_t written = 0;
    };

    mutable std::mutex m_mutex;
    std::vector<Point> m_points;  // where the runs change, in order
    Point m_last;                 // the latest Processed
    Run m_run = Run::None;        // of the run that ends at m_last
};
