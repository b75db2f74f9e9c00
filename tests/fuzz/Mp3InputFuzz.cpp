// libFuzzer target over the MP3 input path: the frame walk, the decoder's open, a bounded
// decode from the start, and seeks (to the end, near the end, and to a point the input picks)
// each followed by a bounded decode. It checks what the player relies on: reads never exceed
// the length, and from a seek near the end exactly the rest of the length is decoded, so the
// length shown is what can be reached.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/play/Mp3Decoder.h"

namespace {

// MPEG frames decoded at most per stretch, so every input takes a few milliseconds at most.
constexpr std::size_t kStretchFrames = 2 * 1152;

int MemoryFile(const std::uint8_t* data, std::size_t size)
{
    const int fd = ::memfd_create("fuzz-input", MFD_CLOEXEC);
    if (fd < 0)
        std::abort();
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0)
            std::abort();
        done += static_cast<std::size_t>(n);
    }
    return fd;
}

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

std::size_t Stretch(play::Mp3Decoder& decoder, std::vector<std::int16_t>& buffer)
{
    return decoder.Read(buffer.data(), buffer.size() / static_cast<std::size_t>(decoder.Channels()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int fd = MemoryFile(data, size);
    {
        play::Mp3Decoder decoder;
        if (decoder.Open(fd, static_cast<std::int64_t>(size))) {
            const std::int64_t length = decoder.LengthFrames();
            Check(length > 0, "an opened file has samples");
            Check(decoder.Channels() == 1 || decoder.Channels() == 2, "one or two channels");
            std::vector<std::int16_t> buffer(kStretchFrames * 2);

            const std::size_t first = Stretch(decoder, buffer);
            Check(static_cast<std::int64_t>(first) <= length, "no more samples than the length");

            Check(decoder.SeekFrame(length), "seek to the end");
            Check(Stretch(decoder, buffer) == 0, "nothing after the end");

            // Near the end: exactly the rest is decoded.
            const std::int64_t tail = length < 1200 ? length : 1200;
            if (decoder.SeekFrame(length - tail))
                Check(static_cast<std::int64_t>(Stretch(decoder, buffer)) == tail, "the rest of the length decodes");

            // A point the input picks.
            std::uint64_t pick = 0;
            for (std::size_t i = 0; i < 8 && i < size; ++i)
                pick = pick << 8 | data[size - 1 - i];
            const std::int64_t at = static_cast<std::int64_t>(pick % static_cast<std::uint64_t>(length + 1));
            if (decoder.SeekFrame(at))
                Check(static_cast<std::int64_t>(Stretch(decoder, buffer)) <= length - at, "no samples past the end");
        }
    }
    ::close(fd);
    return 0;
}
