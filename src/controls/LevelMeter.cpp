#include "controls/LevelMeter.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// The traces start this many pixels from the left edge and stop this many before the right.
constexpr int kMargin = 5;

// The trace's pixels, drawn into directly: either the back buffer's own rows of 32-bit
// 0x00RRGGBB values, or rows of RGB bytes of an image (where the platform keeps bitmaps
// otherwise). Per-pixel setters of the toolkit check and lock their data on every call, which
// cost more than the lines themselves.
struct Canvas {
    unsigned char* data;
    int width;
    int height;
    std::size_t rowBytes;
    bool wide;  // 4 bytes a pixel (0x00RRGGBB) rather than 3 (R, G, B)
    // Only the columns from left to right (inclusive) are drawn on.
    int left;
    int right;

    // Blackens the columns drawn on, the whole height.
    void Blacken() const
    {
        const std::size_t pixel = wide ? 4 : 3;
        for (int y = 0; y < height; ++y)
            std::memset(data + static_cast<std::size_t>(y) * rowBytes + static_cast<std::size_t>(left) * pixel, 0,
                        static_cast<std::size_t>(right - left + 1) * pixel);
    }

    // One pixel of the trace colour, when it lies inside the columns drawn on.
    void Plot(int x, int y) const
    {
        if (x < left || y < 0 || x > right || y >= height)
            return;
        unsigned char* row = data + static_cast<std::size_t>(y) * rowBytes;
        if (wide) {
            reinterpret_cast<std::uint32_t*>(row)[x] = 0x00C800u;
            return;
        }
        unsigned char* p = row + static_cast<std::size_t>(x) * 3;
        p[0] = 0;
        p[1] = 200;
        p[2] = 0;
    }

    // A line from (x0, y0) towards (x1, y1), one pixel wide; the end point itself is not drawn,
    // so a polyline of such lines draws every joint once.
    void LineTo(int& x0, int& y0, int x1, int y1) const
    {
        const int dx = std::abs(x1 - x0);
        const int dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1;
        const int sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        int x = x0;
        int y = y0;
        while (x != x1 || y != y1) {
            Plot(x, y);
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
        }
        x0 = x1;
        y0 = y1;
    }
};

}  // namespace

CLevelMeter::CLevelMeter() = default;

CLevelMeter::CLevelMeter(wxWindow* parent, int id, const wxRect& rect) { Create(parent, id, rect); }

bool CLevelMeter::Create(wxWindow* parent, int id, const wxRect& rect) { return CBackBufferCtrl::Create(parent, id, rect); }

void CLevelMeter::SetupTrace(int count, int /*bits*/, int stereo)
{
    m_nCount = count > 0 ? count : 0;
    // A meter without width reads only the first value of each channel.
    m_nStep = m_width > 0 && m_nCount > 0 ? (m_nCount - 1) / m_width : 0;
    const float perUnit = 1.0f / 65535.0f;
    m_fScale = static_cast<float>(m_height) * perUnit;
    m_bStereo = stereo;
    if (m_bStereo != 0)
        m_fScale = m_fScale / 2.0f;
    // The next picture is drawn whole.
    m_shown.clear();
}

void CLevelMeter::TracePoints(const std::int16_t* samples)
{
    m_next.clear();
    auto trace = [&](int base, int offset) {
        for (int x = kMargin; x < m_width - kMargin; ++x) {
            long index = static_cast<long>(x) * m_nStep + offset;
            // Never past the buffer, whatever the setup was; without a setup only the first
            // value is read.
            const long available = std::max(m_nCount, 1);
            if (index >= available)
                index = available - 1;
            const double value = static_cast<double>(static_cast<float>(base)) +
                                 static_cast<double>(samples[index]) * static_cast<double>(m_fScale);
            m_next.push_back(static_cast<int>(value));
        }
    };
    if (m_bStereo == 0) {
        trace(m_height / 2, 0);
    } else {
        trace(m_height / 4, 0);
        trace(3 * m_height / 4, 1);
    }
}

bool CLevelMeter::ChangedColumns(int& first, int& last) const
{
    const int width = std::max(1, m_width);
    if (m_shown.size() != m_next.size()) {
        first = 0;
        last = width - 1;
        return true;
    }
    const std::size_t columns = static_cast<std::size_t>(std::max(0, m_width - 2 * kMargin));
    first = width;
    last = -1;
    for (std::size_t i = 0; i < m_next.size(); ++i) {
        if (m_next[i] == m_shown[i])
            continue;
        const int x = kMargin + static_cast<int>(i % columns);
        first = std::min(first, x);
        last = std::max(last, x);
    }
    if (last < 0)
        return false;
    // A column shows the lines from the point before it to the point after it.
    first = std::max(0, first - 1);
    last = std::min(width - 1, last + 1);
    return true;
}

void CLevelMeter::DrawSamples(const std::int16_t* samples)
{
    if (samples == nullptr) {
        Clear();
        return;
    }
    TracePoints(samples);
    int first = 0;
    int last = 0;
    if (!ChangedColumns(first, last))
        return;  // the same picture
    auto draw = [&](const Canvas& canvas) {
        canvas.Blacken();
        const std::size_t columns = static_cast<std::size_t>(std::max(0, m_width - 2 * kMargin));
        auto trace = [&](int base, std::size_t from) {
            int x0 = kMargin;
            int y0 = base;
            for (std::size_t i = 0; i < columns; ++i)
                canvas.LineTo(x0, y0, kMargin + static_cast<int>(i), m_next[from + i]);
        };
        if (m_bStereo == 0) {
            trace(m_height / 2, 0);
        } else {
            trace(m_height / 4, 0);
            trace(3 * m_height / 4, columns);
        }
    };
    const wxRect changed(first, 0, last - first + 1, std::max(1, m_height));
    // Straight into the back buffer where the platform allows it: nothing is converted or
    // copied on the way to the window, ten times a second.
    const bool edited = EditBackBuffer(
        [&](std::uint32_t* pixels, int stride, int width, int height) {
            draw(Canvas{reinterpret_cast<unsigned char*>(pixels), width, height, static_cast<std::size_t>(stride) * 4,
                        true, first, std::min(last, width - 1)});
        },
        changed);
    if (!edited) {
        const int width = std::max(1, m_width);
        const int height = std::max(1, m_height);
        if (!m_trace.IsOk() || m_trace.GetWidth() != width || m_trace.GetHeight() != height) {
            m_trace.Create(width, height, true);
            first = 0;
            last = width - 1;
        }
        draw(Canvas{m_trace.GetData(), width, height, static_cast<std::size_t>(width) * 3, false, first, last});
        ReplaceBackBuffer(m_trace);
    }
    m_shown.swap(m_next);
}

void CLevelMeter::Clear()
{
    m_shown.clear();
    if (m_trace.IsOk())
        std::memset(m_trace.GetData(), 0, static_cast<std::size_t>(m_trace.GetWidth()) * m_trace.GetHeight() * 3);
    ReplaceBackBuffer(wxImage(std::max(1, m_width), std::max(1, m_height), true));
}
