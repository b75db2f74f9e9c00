// The anchor of the start-up figures: a wxWidgets program that shows one empty frame of the
// main window's size and nothing else.
#include <wx/app.h>
#include <wx/frame.h>

class BareApp : public wxApp {
public:
    bool OnInit() override
    {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "bare - Dravellin Recorder", wxPoint(300, 200), wxSize(320, 210),
                                  wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX);
        frame->Show();
        return true;
    }
};

wxIMPLEMENT_APP(BareApp);
