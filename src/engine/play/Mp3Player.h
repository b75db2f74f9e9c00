#pragma once
// CMp3Player plays the current file: it opens the file, reads its format from the first MPEG
// audio header, opens the sound output, starts and pauses playback, and reports and moves the
// position (seconds). Playback runs in the background once started; the panel polls the
// position. The panel creates one player per load of a file and deletes it before the next.
//
// The sound output is opened at the first Play and kept until the player goes; a player that
// is never played (an empty file, or one loaded only to be recorded into) opens no device and
// does not load the sound library. Destroying a player never waits for the device to close.
//
// Thread: every member is called on the user-interface thread. Decoding runs on the player's
// decoder thread and sound output on the sound server's loop thread or SDL's audio thread;
// both are ended by the destructor.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/TrackInfo.h"
#include "engine/play/MpegFrameHeader.h"
#include "platform/UniqueFd.h"

namespace play {
class PlaybackStream;
class SoundOutput;
}  // namespace play

class CMp3Player {
public:
    // Copies the record (the copy is not updated by Load).
    explicit CMp3Player(const TrackInfo& track);
    // Pauses when playing, then releases the output (closed in the background), the decoder
    // and the file.
    virtual ~CMp3Player();
    CMp3Player(const CMp3Player&) = delete;
    CMp3Player& operator=(const CMp3Player&) = delete;

    // Opens track.path, writes the file's rate, bitrate (bits per second) and channel count
    // into track when its first header can be read (otherwise they keep what the caller put
    // there) and positions playback at track.startSeconds. The output waits for the first Play.
    // An empty file loads without a decoder: position and length 0, Play does nothing.
    // On failure a message has been shown and the caller deletes the player.
    bool Load(TrackInfo& track);

    // Plays from the current position in the background, opening the output at the file's
    // format the first time. Nothing (and true) without a decoder; false, after the playback
    // message, when no output can be opened. Through a sound server the output opens in the
    // background: the sound starts on a later PollStart (or GetPosition).
    bool Play();
    enum class StartProgress { Pending, Playing, Failed };
    // After Play: Pending while the output opens (poll again; at most a few seconds), Playing
    // once the sound runs (also when there was nothing to open), Failed after the playback
    // message when the output could not be opened after all (or when Play was not called or
    // playing was stopped). Never waits.
    StartProgress PollStart();
    // True while Play's output is still opening.
    bool IsStarting() const;
    // True once a sound output has been made for this player.
    bool HasOutput() const;
    // Stops the sound (or a start under way); the position stays at what was heard.
    void Pause();
    // True from Play until Pause, also while the output opens.
    bool IsPlaying();
    // True once the sound output is gone or has stopped taking sound (see SoundOutput::Lost):
    // the panel stops playing and reloads.
    bool OutputLost() const;

    // Seconds heard so far (what has reached the output) / the file's exact length; 0 without
    // a decoder.
    float GetPosition();
    float GetLength();

    void SeekStart();
    void SeekEnd();
    // Moves the position to seconds (clamped to 0..length), playing or not.
    void Seek(float seconds);

    // Size of the file in bytes (64-bit), 0 when it cannot be opened or measured.
    static std::uint64_t GetFileBytes(const std::string& path);

protected:
    // The output Play opens; tests may give a fake.
    virtual std::unique_ptr<play::SoundOutput> MakeOutput();

private:
    bool OpenInput(const std::string& path);
    bool ReadHeader(std::int32_t& sampleRate, std::int32_t& bitrate, std::int32_t& channelValue);
    bool OpenPlayer(int device, int sampleRate, bool stereo);
    void ShowPlaybackFailed();
    void ClosePlayer();
    void CloseInput();

    float m_volume = 1.0f;  // decoder output level
    bool m_starting = false;  // Play's output opens in the background
    TrackInfo m_track;
    platform::UniqueFd m_input;
    std::optional<play::MpegFrameHeader> m_header;  // first header, while a decoder is open
    std::unique_ptr<play::PlaybackStream> m_stream;  // the file decoded ahead, while it has audio
    std::unique_ptr<play::SoundOutput> m_output;     // from the first Play
};
