#pragma once
// Keeps the sound input open while nothing is recorded or played, holding its last seconds in
// memory only (a ring allocated once, never written anywhere), so that Record can begin with
// what was said just before it was pressed. A lost input is waited for and opened again, as a
// recording's is.
//
// Record takes the input over as it runs (Release): the recording's delivery thread writes what
// the ring holds and goes on with the very next buffer, so nothing is lost or doubled at the
// join.
//
// Threads: the user-interface thread opens it, polls it (from a timer; it never waits on the
// sound server), releases and destroys it. The input's delivery thread copies each filled
// buffer into the ring; the ring is read only by whoever takes over that thread's work, or once
// it has ended.

#include <cstdint>
#include <memory>

#include "engine/record/CaptureInput.h"
#include "engine/record/WaveRecorderOptions.h"

class CPreRollRing;

class CKeepBeforeInput {
public:
    // seconds (1..30) of 16-bit input at rate and channels, from the devices makeDevice makes.
    CKeepBeforeInput(CCaptureInput::MakeDevice makeDevice, int sampleRate, int channels, int seconds);
    ~CKeepBeforeInput();
    CKeepBeforeInput(const CKeepBeforeInput&) = delete;
    CKeepBeforeInput& operator=(const CKeepBeforeInput&) = delete;

    // Opens the input, or begins to; false when it cannot be opened at all.
    bool Open();
    // Starts capture once the input is open, and follows it when it is lost (it is opened again
    // about once a second). False once it could not be opened: the owner may drop this object
    // and try again later.
    bool Poll();
    // The input runs and its seconds are being kept (not while it waits for a lost input).
    bool Keeping() const { return m_input && m_input->IsCapturing() && !m_input->Waiting(); }
    int SampleRate() const { return static_cast<int>(m_format.samplesPerSec); }
    int Channels() const { return m_format.channels; }
    int Seconds() const { return m_seconds; }

    // Gives what was kept to a recording: the input itself when it runs, else (its input closed
    // first) only the seconds it kept. Nothing is left here afterwards.
    std::shared_ptr<KeptInput> Release();

private:
    WaveFormat m_format;
    int m_seconds;
    std::shared_ptr<CPreRollRing> m_ring;
    std::unique_ptr<CCaptureInput> m_input;
    bool m_failed = false;
};
