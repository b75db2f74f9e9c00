#include "settings/MySheet.h"

#include <algorithm>

#include "settings/MySheetDialog.h"

CMySheet::CMySheet(const wxString& caption, wxWindow* parent, int firstPage)
    : m_nLastPage(std::clamp(firstPage, 0, kPageCount - 1)), m_caption(caption), m_parent(parent)
{
}

CMySheet::~CMySheet() = default;

CSettingsPage& CMySheet::Page(int index)
{
    switch (index) {
    case kRecordPage:
        return m_pageRec;
    case kSourcesPage:
        return m_pageSrc;
    case kAutoPage:
        return m_pageAuto;
    default:
        return m_pageCom;
    }
}

int CMySheet::DoModal()
{
    // One opening at a time: a second request while the sheet is open is a Cancel.
    if (m_dialog != nullptr)
        return wxID_CANCEL;
    int result = wxID_CANCEL;
    {
        CMySheetDialog dialog(*this, m_parent, m_caption, m_nLastPage);
        m_dialog = &dialog;
        result = dialog.ShowModal();

        // Every way of closing counts as OK or Cancel: the page active now is where the next
        // opening starts.
        m_nLastPage = std::clamp(dialog.ActivePage(), 0, kPageCount - 1);
        dialog.EndOpening();
        if (result == wxID_OK) {
            for (int i = 0; i < kPageCount; ++i) {
                if (Page(i).HasWindow())
                    Page(i).OnOK();
            }
        }
        for (int i = 0; i < kPageCount; ++i)
            Page(i).ReleaseWindow();
        m_dialog = nullptr;
    }
    return result == wxID_OK ? wxID_OK : wxID_CANCEL;
}

wxWindow* CMySheet::FindControl(int id) const
{
    return m_dialog != nullptr ? m_dialog->FindControl(id) : nullptr;
}
