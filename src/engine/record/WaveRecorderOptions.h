#pragma once
// What a recorder (CWaveRecorder) is built from: its options, the second source's, and the input
// kept open before Record (CKeepBeforeInput) that a recording may take over.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/record/CaptureInput.h"
#include "engine/record/VoiceGate.h"
#include "engine/record/WaveFormat.h"

class CPreRollRing;

namespace platform {
class FileSync;
}

// An input kept open before Record, with what it kept: taken over by the recording when it
// runs in the recording's format (input set), else only its seconds are written first.
struct KeptInput {
    WaveFormat format;
    // Whole buffers of the kept input, oldest first; read only once its input has handed them
    // on (the recording's delivery thread, or nobody delivers any more).
    std::shared_ptr<CPreRollRing> ring;
    // Declared after the ring, so it is closed before the ring goes.
    std::unique_ptr<CCaptureInput> input;
};

// A second source recorded at once with the first (see CSecondSource, CSourceMixer).
struct SecondSourceOptions {
    CCaptureInput::MakeDevice makeDevice;
    // Its own format: taken as the source delivers it, and resampled by the recording.
    WaveFormat format;
    // Each source in a channel of its own (left, right) rather than mixed; stereo only.
    bool apart = false;
};

// What a recorder is built from; the defaults are the program's own (tests replace them).
struct WaveRecorderOptions {
    // Makes the sound input; by default the program's own (MakeDefaultAudioInput) on `source`.
    CCaptureInput::MakeDevice makeDevice;
    // The sound server's source to record by name; empty: the desktop's default input.
    std::string source;
    // Folders to load the encoder library from; empty: the program's default folders.
    std::vector<std::string> libraryDirs;
    // How long Stop lets the queued buffers come back before it ends the input.
    std::chrono::milliseconds stopWait{700};
    // Makes the written file durable; empty: the real syncs.
    std::shared_ptr<platform::FileSync> fileSync;
    // Voice activation: only what the gate lets through is encoded. None: everything is.
    std::optional<VoiceGateSettings> voiceGate;
    // The input kept open before Record; its seconds are left out with voice activation (whose
    // pre-roll begins each burst instead).
    std::shared_ptr<KeptInput> kept;
    // A second source, recorded with the first.
    std::optional<SecondSourceOptions> second;
};
