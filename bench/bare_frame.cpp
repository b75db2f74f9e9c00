// An anchor for the figures: a wxWidgets program that shows one empty frame of the main window's
// size and nothing else (the start-up figures). With --tick it also redraws a picture of the
// level meter's size ten times a second, the toolkit's plain way (a refresh, then a paint
// handler that puts a ready bitmap): what a window showing a live level costs done that way.
// With --wake its timer runs ten times a second as well but draws nothing: what waking the
// window's thread that often costs on its own, before anything is drawn.
#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/timer.h>

namespace {

class TickingPicture : public wxWindow {
public:
    TickingPicture(wxWindow* parent, bool draws)
        : wxWindow(parent, wxID_ANY, wxPoint(8, 8), wxSize(113, 51)), m_timer(this)
    {
        // Two pictures in turn, so each tick puts pixels that differ from the last.
        for (int i = 0; i < 2; ++i) {
            m_pictures[i] = wxBitmap(113, 51, 24);
            wxMemoryDC dc(m_pictures[i]);
            dc.SetBackground(*wxBLACK_BRUSH);
            dc.Clear();
            dc.SetPen(*wxGREEN_PEN);
            for (int x = 0; x < 113; x += 2)
                dc.DrawLine(x, 25 - (x * (i + 1)) % 25, x, 26 + (x * (i + 1)) % 25);
        }
        Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
            wxPaintDC dc(this);
            dc.DrawBitmap(m_pictures[m_shown], 0, 0);
        });
        Bind(wxEVT_TIMER, [this, draws](wxTimerEvent&) {
            if (!draws)
                return;
            m_shown ^= 1;
            Refresh(false);
        });
        m_timer.Start(100);
    }

private:
    wxBitmap m_pictures[2];
    int m_shown = 0;
    wxTimer m_timer;
};

}  // namespace

class BareApp : public wxApp {
public:
    bool OnInit() override
    {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "bare - Dravellin Recorder", wxPoint(300, 200), wxSize(320, 210),
                                  wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX);
        const wxString mode = argc > 1 ? argv[1] : wxString();
        if (mode == "--tick" || mode == "--wake")
            new TickingPicture(frame, mode == "--tick");
        frame->Show();
        return true;
    }
};

wxIMPLEMENT_APP(BareApp);
