// One recording through SDL's disk audio driver at 256 kbps stereo 44100 Hz, timed in process
// CPU time. Driven by bench/record_disk.sh, which makes the input PCM, chooses the speed
// (SDL_DISKAUDIODELAY) and the length (DR_BENCH_RECORD_SECONDS) and compares with `lame`.
// Run alone it does nothing.
//
// Counters: chunks encoded, overruns (input dropped for want of a buffer), the growth of the
// resident set during the recording, and the length the MP3 decodes to.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <mpg123.h>

#include "engine/record/WaveRecorder.h"
#include "platform/MessageBox.h"

namespace {

long MaxRssKb()
{
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long CurrentRssKb()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// CPU seconds of each thread of this process so far, by thread name, to stderr.
void PrintThreadTimes()
{
    const long ticks = sysconf(_SC_CLK_TCK);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 2));
        std::string field;
        unsigned long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14)
                utime = std::stoul(field);
            if (i == 15)
                stime = std::stoul(field);
        }
        std::fprintf(stderr, "  thread %-16s %6.2f s user %6.2f s system\n",
                     line.substr(open + 1, close - open - 1).c_str(),
                     static_cast<double>(utime) / ticks, static_cast<double>(stime) / ticks);
    }
}

double DecodedSeconds(const std::string& path)
{
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    double seconds = 0;
    if (mpg123_open(mh, path.c_str()) == MPG123_OK) {
        long rate = 0;
        int channels = 0, encoding = 0;
        mpg123_getformat(mh, &rate, &channels, &encoding);
        mpg123_scan(mh);
        const off_t samples = mpg123_length(mh);
        if (rate > 0 && samples > 0)
            seconds = static_cast<double>(samples) / rate;
        mpg123_close(mh);
    }
    mpg123_delete(mh);
    return seconds;
}

class NoSync : public platform::FileSync {
public:
    bool Data(int) override { return true; }
    bool FolderOf(const std::string&) override { return true; }
};

void BM_DiskRecording(benchmark::State& state)
{
    const char* secondsText = std::getenv("DR_BENCH_RECORD_SECONDS");
    const char* out = std::getenv("DR_BENCH_RECORD_MP3");
    if (secondsText == nullptr || out == nullptr || std::getenv("SDL_DISKAUDIOFILEIN") == nullptr) {
        state.SkipWithError("run through bench/record_disk.sh");
        for (auto _ : state) {
        }
        return;
    }
    platform::SetMessageSink([](const std::string& text, platform::MessageIcon) {
        std::fprintf(stderr, "%s", text.c_str());
    });
    const double seconds = std::atof(secondsText);
    const std::uint64_t target = static_cast<std::uint64_t>(seconds * 44100 / 1152);
    std::uint64_t chunks = 0, overruns = 0;
    long rssStart = 0, rssEnd = 0;
    for (auto _ : state) {
        const int fd = open(out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        close(fd);
        // DR_BENCH_NO_SYNC=1: the writer skips its syncs to disk, to measure what they cost.
        WaveRecorderOptions options;
        if (std::getenv("DR_BENCH_NO_SYNC") != nullptr)
            options.fileSync = std::make_shared<NoSync>();
        CWaveRecorder recorder(options);
        TrackInfo track;
        track.path = out;
        track.bitrate = 256000;
        track.sampleRate = 44100;
        track.bitsPerSample = 16;
        track.channels = 2;
        if (!recorder.Prepare(track) || !recorder.Start()) {
            state.SkipWithError("cannot record");
            break;
        }
        // Polled like the panel's timer does, so the poll itself costs next to nothing.
        int tick = 0;
        while (recorder.ChunksEncoded() < target) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (++tick == 10)
                rssStart = CurrentRssKb();  // after one second: buffers, encoder and SDL set up
        }
        rssEnd = CurrentRssKb();
        // Counted before the stop: during the stop wait the buffers are not queued again, so
        // input arriving then finds none by design.
        overruns = recorder.Overruns();
        PrintThreadTimes();
        recorder.Stop();
        chunks = recorder.ChunksEncoded();
    }
    state.counters["chunks"] = static_cast<double>(chunks);
    state.counters["overruns"] = static_cast<double>(overruns);
    state.counters["rss_growth_kB"] = static_cast<double>(rssEnd - rssStart);
    state.counters["max_rss_kB"] = static_cast<double>(MaxRssKb());
    state.counters["encoded_s"] = static_cast<double>(chunks) * 1152 / 44100;
    state.counters["decoded_s"] = DecodedSeconds(out);
}

}  // namespace

BENCHMARK(BM_DiskRecording)->Iterations(1)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
