#pragma once
// A page of the settings sheet. The page object lives for the whole run and owns the page's
// values; its window exists only during one opening of the sheet, and only from the moment the
// page is first shown in that opening. The sheet's dialog drives the life cycle:
//
//   CreatePageWindow  first showing in an opening: builds the controls, then OnInitDialog, which
//                     moves the members into the controls;
//   OnKillActive      the page is left for another one: controls -> members;
//   OnSetActive       the page is shown again: members -> controls;
//   OnOK              the sheet was closed with OK and this page has a window: save;
//   ReleaseWindow     the opening is over; the dialog destroys the controls.
//
// User-interface thread only.

#include <initializer_list>

#include <wx/gdicmn.h>
#include <wx/string.h>

class wxWindow;

class CSettingsPage {
public:
    virtual ~CSettingsPage();
    CSettingsPage(const CSettingsPage&) = delete;
    CSettingsPage& operator=(const CSettingsPage&) = delete;

    // The dialog template the page is built on, its tab caption and its size in dialog units.
    // The sheet is as large as its largest page, so every page gets at least its own size.
    int TemplateId() const { return m_templateId; }
    const wxString& Caption() const { return m_caption; }
    wxSize TemplateSize() const { return m_templateSize; }

    bool HasWindow() const { return m_window != nullptr; }
    // The page window during an opening of the sheet once the page was shown; else nullptr.
    wxWindow* Window() const { return m_window; }

    void CreatePageWindow(wxWindow* page);
    void OnSetActive();
    void OnKillActive();
    virtual void OnOK() = 0;
    void ReleaseWindow();

protected:
    CSettingsPage(int templateId, const char* captionUtf8, wxSize templateSize);

    // Builds the page's controls inside page (m_window is set already), in template order.
    virtual void CreateControls() = 0;
    // Moves the controls into the members (save) or the members into the controls.
    virtual void DoDataExchange(bool save) = 0;
    // After the controls are built: by default moves the members into the controls.
    virtual bool OnInitDialog();

    // A template rectangle in dialog units as pixels of the page. With a control given, the
    // rectangle grows to at least the control's natural size (the height centred on the
    // template's), so the toolkit's larger fonts and indicators never clip a text.
    wxRect DialogRect(int x, int y, int width, int height, wxWindow* control = nullptr) const;
    void Place(wxWindow* control, int x, int y, int width, int height) const;

    // The control with the id on this page's window, or nullptr.
    template <class T>
    T* Control(int id) const;
    wxWindow* FindControl(int id) const;

    // Radio group given by its ids in template order: the index of the checked one. Loading a
    // value outside the group checks none (where the toolkit allows it); saving with none
    // checked leaves the value as it was.
    void ExchangeRadio(bool save, std::initializer_list<int> ids, int& value) const;
    // Check box: 1 checked, 0 clear; loading takes any non-zero value as checked.
    void ExchangeCheck(bool save, int id, int& value) const;

    wxWindow* m_window = nullptr;

private:
    int m_templateId;
    wxString m_caption;
    wxSize m_templateSize;
};

template <class T>
T* CSettingsPage::Control(int id) const
{
    return dynamic_cast<T*>(FindControl(id));
}
