#include "engine/record/AudioInputFactory.h"

#include "engine/record/windows/WaveInAudioInput.h"

std::unique_ptr<IAudioInputDevice> MakeDefaultAudioInput(const std::string&)
{
    return std::make_unique<CWaveInAudioInput>();
}
