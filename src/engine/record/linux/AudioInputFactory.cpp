#include "engine/record/AudioInputFactory.h"

#include "engine/record/linux/DefaultAudioInput.h"

std::unique_ptr<IAudioInputDevice> MakeDefaultAudioInput(const std::string& source)
{
    return std::make_unique<CDefaultAudioInput>(source);
}
