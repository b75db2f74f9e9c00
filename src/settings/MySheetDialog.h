#pragma once
// The window of one opening of the settings sheet: a property-sheet dialog with one tab per page
// of its CMySheet and the buttons OK and Cancel. Each tab holds an empty page window of at least
// its template's size (the book is as large as the largest) until the page is first shown; then
// the page object builds its controls in it.
// Tab changes drive the pages' data exchange. User-interface thread only.

#include <wx/propdlg.h>

class CMySheet;
class wxBookCtrlEvent;

class CMySheetDialog : public wxPropertySheetDialog {
public:
    CMySheetDialog(CMySheet& sheet, wxWindow* parent, const wxString& caption, int startPage);
    ~CMySheetDialog() override;

    CMySheet& Sheet() const { return m_sheet; }

    // Index of the page on show.
    int ActivePage() const;
    // Turns to a page as a click on its tab does: the page left moves its controls into its
    // members, the page shown is built or refreshed. False for an index out of range.
    bool SelectPage(int index);
    // A control of a page that has been shown, or one of the sheet's buttons; nullptr if none.
    wxWindow* FindControl(int id) const;

    // The opening is over: tab changes from here on (the window going away) touch no page.
    void EndOpening() { m_ended = true; }

private:
    void OnPageChanging(wxBookCtrlEvent& event);
    void OnPageChanged(wxBookCtrlEvent& event);
    void ShowPage(int index);
    // Gives a button of the sheet a label of its own, never the toolkit's translated stock text.
    void SetPlainLabel(int id, const char* utf8Label);

    CMySheet& m_sheet;
    bool m_ended = false;
};
