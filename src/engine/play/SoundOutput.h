#pragma once
// The seam in front of the sound output: plays a PlaybackStream, at the stream's own rate and
// channels, in the background until it is stopped. DefaultSoundOutput (a stream on the
// desktop's sound server, or SDL's playback) is the real one; tests may use fakes.
//
// Opening may go on in the background after Play returned true (a sound server answers
// later): Poll tells when the sound runs. The output reads the stream on its own thread only
// through PlaybackStream::Pull, giving each pull's place on the output's own timeline of
// frames; HeardIndex says how far along that timeline the sound has reached the listener, so
// the stream can tell the position that is heard, not the one that was decoded.
//
// Thread: every method on the owner's (user-interface) thread.

#include <cstdint>

namespace play {

class PlaybackStream;

class SoundOutput {
public:
    enum class Progress { Opening, Playing, Failed };

    virtual ~SoundOutput() = default;

    // Starts playing stream from its position now. False when no output can be opened at all.
    // The stream must stay until Stop (or the output's destruction).
    virtual bool Play(PlaybackStream& stream) = 0;
    // After Play returned true: Opening while the output opens (poll again; it never takes more
    // than a few seconds), Playing once the sound runs, Failed when it could not be opened after
    // all (the output then plays nothing; Play may try again). Never waits.
    virtual Progress Poll() = 0;
    // Stops playing, also an opening under way. When it returns the stream is no longer read and
    // has been told what was heard (PlaybackStream::OutputStopped). Never waits for the device.
    virtual void Stop() = 0;
    // True from Play until Stop or a failed opening.
    virtual bool Playing() const = 0;
    // How much of the output's timeline (the index Pull is given) has reached the listener;
    // negative while nothing is known.
    virtual std::int64_t HeardIndex() const = 0;
    // True once the device is gone while playing (unplugged, sound server ended), or has not
    // taken sound for too long.
    virtual bool Lost() const = 0;
};

}  // namespace play
