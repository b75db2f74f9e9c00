#include "engine/play/Mp3Player.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "engine/play/Mp3Decoder.h"
#include "engine/play/PlaybackStream.h"
#include "engine/play/SoundOutputFactory.h"
#include "platform/MessageBox.h"
#include "platform/SafeOpen.h"

namespace {

constexpr const char* kCannotOpenFile = "Не могу открыть файл.\n";
constexpr const char* kCannotInitDecoder = "Невозможно инициализировать декодер.\n";
constexpr const char* kCannotInitPlayback = "Невозможно инициализировать воспроизведение.\n";

// Opens an existing regular file for reading; an invalid descriptor when that fails.
platform::UniqueFd OpenForReading(const std::string& path, std::int64_t& bytes)
{
    // Non-blocking, so a named pipe cannot hang the open; only a regular file is kept.
    platform::UniqueFd fd = platform::OpenRegularFile(path, O_RDONLY);
    struct stat st {};
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0)
        return platform::UniqueFd();
    bytes = static_cast<std::int64_t>(st.st_size);
    return fd;
}

}  // namespace

CMp3Player::CMp3Player(const TrackInfo& track) : m_track(track) {}

CMp3Player::~CMp3Player()
{
    if (IsPlaying())
        Pause();
    // The output stops reading the stream before the stream (and its thread) goes; the device
    // itself is closed in the background.
    m_output.reset();
    m_stream.reset();
    m_input.Reset();
}

bool CMp3Player::Load(TrackInfo& track)
{
    if (!OpenInput(track.path))
        return false;
    if (ReadHeader(track.sampleRate, track.bitrate, track.channels))
        track.channels += 1;
    Seek(static_cast<float>(track.startSeconds));
    return true;
}

bool CMp3Player::OpenInput(const std::string& path)
{
    CloseInput();
    std::int64_t bytes = 0;
    m_input = OpenForReading(path, bytes);
    if (!m_input.Valid()) {
        platform::ShowMessage(platform::FormatFileMessage(path, kCannotOpenFile), platform::MessageIcon::Exclamation);
        return false;
    }
    auto decoder = std::make_unique<play::Mp3Decoder>();
    if (!decoder->Open(m_input.Get(), bytes)) {
        // An empty file (a new recording) loads without a decoder; anything else is no MPEG audio.
        if (GetFileBytes(path) > 0) {
            platform::ShowMessage(platform::FormatFileMessage(path, kCannotInitDecoder), platform::MessageIcon::Stop);
            return false;
        }
        return true;
    }
    decoder->SetVolume(m_volume);
    m_header = decoder->Header();
    m_stream = std::make_unique<play::PlaybackStream>(std::move(decoder));
    return true;
}

bool CMp3Player::ReadHeader(std::int32_t& sampleRate, std::int32_t& bitrate, std::int32_t& channelValue)
{
    if (!m_stream || !m_header)
        return false;
    sampleRate = m_header->sampleRate;
    bitrate = m_header->bitrateKbps * 1000;
    channelValue = m_header->Channels() == 1 ? 0 : 1;
    m_stream->SeekFrame(0);
    return true;
}

std::unique_ptr<play::SoundOutput> CMp3Player::MakeOutput() { return play::MakeDefaultSoundOutput(); }

bool CMp3Player::OpenPlayer(int /*device: always the default output*/, int /*sampleRate*/, bool /*stereo*/)
{
    // The output takes the decoder's own format, which is the file's first header's, when it
    // begins to play it.
    if (!m_output)
        m_output = MakeOutput();
    if (!m_output->Play(*m_stream)) {
        ShowPlaybackFailed();
        return false;
    }
    return true;
}

void CMp3Player::ShowPlaybackFailed()
{
    // The next Play tries a fresh output.
    m_output.reset();
    platform::ShowMessage(kCannotInitPlayback, platform::MessageIcon::Stop);
}

void CMp3Player::ClosePlayer() { m_output.reset(); }

void CMp3Player::CloseInput()
{
    if (m_stream) {
        if (m_output)
            m_output->Stop();
        m_stream.reset();
        m_header.reset();
    }
    m_input.Reset();
}

bool CMp3Player::Play()
{
    if (!m_stream)
        return true;
    if (m_output && m_output->Playing())
        return true;
    if (!OpenPlayer(-1, m_stream->SampleRate(), m_stream->Channels() != 1))
        return false;
    m_starting = true;
    return PollStart() != StartProgress::Failed;
}

CMp3Player::StartProgress CMp3Player::PollStart()
{
    if (!m_stream)
        return StartProgress::Playing;
    if (!m_output || !m_output->Playing()) {
        m_starting = false;
        return StartProgress::Failed;
    }
    switch (m_output->Poll()) {
    case play::SoundOutput::Progress::Opening:
        return StartProgress::Pending;
    case play::SoundOutput::Progress::Playing:
        m_starting = false;
        return StartProgress::Playing;
    case play::SoundOutput::Progress::Failed:
        break;
    }
    m_starting = false;
    ShowPlaybackFailed();
    return StartProgress::Failed;
}

bool CMp3Player::IsStarting() const { return m_starting; }

bool CMp3Player::HasOutput() const { return m_output != nullptr; }

void CMp3Player::Pause()
{
    if (m_output && m_stream)
        m_output->Stop();
    m_starting = false;
}

bool CMp3Player::OutputLost() const { return m_output && m_output->Lost(); }

bool CMp3Player::IsPlaying() { return m_stream && m_output && m_output->Playing(); }

float CMp3Player::GetPosition()
{
    if (!m_stream)
        return 0.0f;
    // A start under way goes on here too, so a caller that only follows the position plays.
    if (IsStarting())
        PollStart();
    const std::int64_t heard = m_output && m_output->Playing() ? m_output->HeardIndex() : -1;
    return static_cast<float>(m_stream->PositionSeconds(heard));
}

float CMp3Player::GetLength() { return m_stream ? static_cast<float>(m_stream->LengthSeconds()) : 0.0f; }

void CMp3Player::SeekStart()
{
    if (m_stream)
        m_stream->SeekFrame(0);
}

void CMp3Player::SeekEnd()
{
    if (m_stream)
        m_stream->SeekFrame(m_stream->LengthFrames());
}

void CMp3Player::Seek(float seconds)
{
    if (m_stream)
        m_stream->SeekSeconds(seconds);
}

std::uint64_t CMp3Player::GetFileBytes(const std::string& path)
{
    std::int64_t bytes = 0;
    platform::UniqueFd fd = OpenForReading(path, bytes);
    return fd.Valid() ? static_cast<std::uint64_t>(bytes) : 0;
}
