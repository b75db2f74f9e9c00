#pragma once
// The settings sheet "Свойства": a modal property sheet with the General page (index 0), the
// Record page (index 1), the Sources page (index 2) and the hands-free page (index 3), OK and
// Cancel and no Apply button. The object and its pages live for the whole run (the pages read
// their settings when it is constructed); each DoModal builds the sheet's window (a
// CMySheetDialog) anew and destroys it before returning.
//
// One opening: the sheet opens on the page that was active when it was last closed (the General
// page the first time). A page's window is built the first time the page is shown; leaving a
// page moves its controls into its members (the Sources page keeps its choices for OK). OK saves
// the pages that were shown; Cancel saves nothing and undoes nothing. Either way the active page
// is remembered for the next opening (in memory: every run starts on the General page).
// User-interface thread only.

#include <wx/string.h>

#include "settings/PageAuto.h"
#include "settings/PageCom.h"
#include "settings/PageRec.h"
#include "settings/PageSrc.h"

class CMySheetDialog;
class wxWindow;

class CMySheet {
public:
    // Page indices. The two first pages keep their indices whatever pages are added after them.
    enum PageIndex { kGeneralPage = 0, kRecordPage = 1, kSourcesPage = 2, kAutoPage = 3 };
    static constexpr int kPageCount = 4;

    explicit CMySheet(const wxString& caption = wxString::FromUTF8("Свойства"), wxWindow* parent = nullptr,
                      int firstPage = 0);
    ~CMySheet();
    CMySheet(const CMySheet&) = delete;
    CMySheet& operator=(const CMySheet&) = delete;

    // Shows the sheet modally; wxID_OK or wxID_CANCEL. A wxTestingModalHook may answer it: the
    // expectation receives the CMySheetDialog with the start page built and returns the result.
    // While the sheet is open a further call returns wxID_CANCEL at once.
    int DoModal();

    CPageCom& GeneralPage() { return m_pageCom; }
    const CPageCom& GeneralPage() const { return m_pageCom; }
    CPageRec& RecordPage() { return m_pageRec; }
    const CPageRec& RecordPage() const { return m_pageRec; }
    CPageSrc& SourcesPage() { return m_pageSrc; }
    const CPageSrc& SourcesPage() const { return m_pageSrc; }
    CPageAuto& AutoPage() { return m_pageAuto; }
    const CPageAuto& AutoPage() const { return m_pageAuto; }
    // Page by index (PageIndex; anything else: General).
    CSettingsPage& Page(int index);

    // Index of the page the next opening starts on; kept in memory for the run.
    int LastPage() const { return m_nLastPage; }
    const wxString& Caption() const { return m_caption; }
    wxWindow* Parent() const { return m_parent; }
    void SetParent(wxWindow* parent) { m_parent = parent; }

    // While DoModal runs: the sheet's window; otherwise nullptr.
    CMySheetDialog* OpenDialog() const { return m_dialog; }
    // While DoModal runs: the control with this id on a page that has been shown, or a button of
    // the sheet (wxID_OK, wxID_CANCEL); otherwise nullptr.
    wxWindow* FindControl(int id) const;

private:
    CPageCom m_pageCom;
    CPageRec m_pageRec;
    CPageSrc m_pageSrc{m_pageRec};
    CPageAuto m_pageAuto;
    int m_nLastPage = 0;
    wxString m_caption;
    wxWindow* m_parent;
    CMySheetDialog* m_dialog = nullptr;
};
