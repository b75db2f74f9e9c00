#pragma once
// The About box: the program icon, "Dravellin Recorder. Version 1.0 beta" and OK.

#include <wx/dialog.h>

class CAboutDlg : public wxDialog {
public:
    explicit CAboutDlg(wxWindow* parent);
};
