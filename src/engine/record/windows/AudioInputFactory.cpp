#include "engine/record/AudioInputFactory.h"

#include "engine/record/windows/WasapiAudioInput.h"

std::unique_ptr<IAudioInputDevice> MakeDefaultAudioInput(const std::string& source)
{
    return std::make_unique<CWasapiAudioInput>(source);
}
