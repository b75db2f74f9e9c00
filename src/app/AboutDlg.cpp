#include "app/AboutDlg.h"

#include <wx/button.h>
#include <wx/frame.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "res/ProgramIcon.h"

// Laid out from its dialog template: 171 x 98 dialog units, icon at (7, 7), text at (36, 9),
// OK at (119, 77) 44 x 14.
CAboutDlg::CAboutDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, wxString::FromUTF8("О программе"), wxDefaultPosition,
               wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxFRAME_TOOL_WINDOW)
{
    auto du = [this](int x, int y) { return ConvertDialogToPixels(wxPoint(x, y)); };
    auto dus = [this](int w, int h) { return ConvertDialogToPixels(wxSize(w, h)); };

    SetClientSize(dus(171, 98));
    const wxSize iconSize = dus(20, 20);
    new wxStaticBitmap(this, wxID_ANY, res::ProgramIconBitmap(std::min(iconSize.x, iconSize.y)),
                       du(7, 7), iconSize);
    new wxStaticText(this, wxID_ANY, "Dravellin Recorder. Version 1.0 beta", du(36, 9),
                     dus(122, 8), wxST_NO_AUTORESIZE);
    auto* ok = new wxButton(this, wxID_OK, "OK", du(119, 77), dus(44, 14));
    ok->SetDefault();
    SetEscapeId(wxID_OK);
    CentreOnParent();
}
