#include "engine/play/RunStream.h"

#include <cstdio>

#include <algorithm>

namespace play {

RunStream::RunStream(int fd, std::int64_t fileBytes, const Mp3FrameMap& map) : m_file(fd, fileBytes), m_map(map) {}

long RunStream::Read(void* out, std::size_t n)
{
    if (Cancelled())
        return -1;
    const auto& runs = m_map.Runs();
    auto* dest = static_cast<unsigned char*>(out);
    std::size_t done = 0;
    while (done < n) {
        // The run holding m_pos: usually the hinted one or the next.
        if (m_run >= runs.size() || m_pos < runs[m_run].streamBegin) {
            m_run = static_cast<std::size_t>(std::upper_bound(runs.begin(), runs.end(), m_pos,
                                                              [](std::int64_t p, const Mp3FrameMap::Run& r) { return p < r.streamBegin; }) -
                                             runs.begin());
            m_run = m_run == 0 ? 0 : m_run - 1;
        }
        while (m_run < runs.size() && m_pos >= runs[m_run].streamBegin + (runs[m_run].end - runs[m_run].begin))
            ++m_run;
        if (m_run >= runs.size())
            break;
        const Mp3FrameMap::Run& r = runs[m_run];
        const std::int64_t inRun = m_pos - r.streamBegin;
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(n - done), (r.end - r.begin) - inRun));
        const std::size_t got = m_file.Copy(r.begin + inRun, dest + done, want);
        done += got;
        m_pos += static_cast<std::int64_t>(got);
        if (got < want)
            return done > 0 ? static_cast<long>(done) : (m_file.Failed() ? -1 : 0);
    }
    return static_cast<long>(done);
}

std::int64_t RunStream::Seek(std::int64_t offset, int whence)
{
    std::int64_t base = m_origin;
    if (whence == SEEK_CUR)
        base = m_pos;
    else if (whence == SEEK_END)
        base = m_map.StreamBytes();
    else if (whence != SEEK_SET)
        return -1;
    const std::int64_t to = base + offset;
    if (to < m_origin)
        return -1;
    m_pos = to;
    return m_pos - m_origin;
}

}  // namespace play
