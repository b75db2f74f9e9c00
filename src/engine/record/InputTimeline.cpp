#include "engine/record/InputTimeline.h"

#include <algorithm>

void CInputTimeline::Start(std::uint64_t origin)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_points.assign(1, Point{origin, 0});
    m_last = m_points.front();
    m_run = Run::None;
}

void CInputTimeline::Processed(std::uint64_t end, std::uint64_t written)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_points.empty())
        m_points.push_back(Point{end, written});
    const std::uint64_t taken = end >= m_last.at ? end - m_last.at : 0;
    const std::uint64_t added = written >= m_last.written ? written - m_last.written : 0;
    const Run run = added == taken ? Run::Writing : added == 0 ? Run::Skipping : Run::Mixed;
    if ((run != m_run || run == Run::Mixed) && (m_points.back().at != m_last.at || m_points.back().written != m_last.written))
        m_points.push_back(m_last);
    m_run = run;
    m_last = Point{end, written};
}

std::uint64_t CInputTimeline::FileFrame(std::uint64_t at) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Nothing taken yet: everything up to there will be written.
    if (m_points.empty())
        return at;
    if (at <= m_points.front().at)
        return 0;
    if (at >= m_last.at)
        return m_last.written + (m_run == Run::Writing || m_run == Run::None ? at - m_last.at : 0);
    // The run that holds at: between two points (the latest being m_last).
    auto next = std::upper_bound(m_points.begin(), m_points.end(), at,
                                 [](std::uint64_t t, const Point& p) { return t < p.at; });
    const Point from = *(next - 1);
    const Point to = next == m_points.end() ? m_last : *next;
    if (to.at <= from.at)
        return to.written;
    const double share = static_cast<double>(at - from.at) / static_cast<double>(to.at - from.at);
    const double span = static_cast<double>(to.written) - static_cast<double>(from.written);
    return from.written + static_cast<std::uint64_t>(std::max(0.0, share * span));
}
