#include "PixelTestSupport.h"

#include <string>

#include <wx/app.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

namespace controls_test {

TestFrame::TestFrame()
    : m_frame(new wxFrame(nullptr, wxID_ANY, "controls test", wxPoint(50, 50), wxSize(400, 240)))
{
    m_panel = new wxWindow(m_frame, wxID_ANY, wxPoint(0, 0), wxSize(320, 160), wxWANTS_CHARS);
    m_frame->Show();
    RunEventsUntil([] { return false; }, 50);
}

TestFrame::~TestFrame() { m_frame->Destroy(); }

bool IsBlack(const wxImage& image, int x, int y) { return IsRgb(image, x, y, 0, 0, 0); }

bool IsRgb(const wxImage& image, int x, int y, unsigned char r, unsigned char g, unsigned char b)
{
    return image.GetRed(x, y) == r && image.GetGreen(x, y) == g && image.GetBlue(x, y) == b;
}

std::string LitPixels(const wxImage& image)
{
    std::string text;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (!IsBlack(image, x, y))
                text += std::to_string(x) + "," + std::to_string(y) + "\n";
    return text;
}

wxRect LitBounds(const wxImage& image)
{
    int left = image.GetWidth(), top = image.GetHeight(), right = -1, bottom = -1;
    for (int y = 0; y < image.GetHeight(); ++y) {
        for (int x = 0; x < image.GetWidth(); ++x) {
            if (IsBlack(image, x, y))
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0)
        return wxRect();
    return wxRect(wxPoint(left, top), wxPoint(right, bottom));
}

bool SamePixels(const wxImage& image, const wxImage& other, const wxRect& rect)
{
    for (int y = rect.GetTop(); y <= rect.GetBottom(); ++y)
        for (int x = rect.GetLeft(); x <= rect.GetRight(); ++x)
            if (image.GetRed(x, y) != other.GetRed(x, y) || image.GetGreen(x, y) != other.GetGreen(x, y) ||
                image.GetBlue(x, y) != other.GetBlue(x, y))
                return false;
    return true;
}

void RunEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    wxStopWatch watch;
    while (!done() && watch.Time() < timeoutMs) {
        wxTheApp->Yield(true);
        wxMilliSleep(5);
    }
}

}  // namespace controls_test
