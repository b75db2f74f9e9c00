#include "settings/MySheetDialog.h"

#include <wx/bookctrl.h>
#include <wx/panel.h>
#include <wx/sizer.h>

#include "settings/MySheet.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

CMySheetDialog::CMySheetDialog(CMySheet& sheet, wxWindow* parent, const wxString& caption,
                               int startPage)
    : m_sheet(sheet)
{
    Create(parent, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize,
           wxDEFAULT_DIALOG_STYLE);
    CreateButtons(wxOK | wxCANCEL);
    // The toolkit's stock labels follow its translation catalogue, which is not loaded: loading
    // it would also switch the numeric locale. The labels are set here instead.
    SetPlainLabel(wxID_OK, "OK");
    SetPlainLabel(wxID_CANCEL, "Отмена");

    wxBookCtrlBase* book = GetBookCtrl();
    for (int i = 0; i < CMySheet::kPageCount; ++i) {
        auto* page = new wxPanel(book, wxID_ANY);
        page->SetMinSize(page->ConvertDialogToPixels(m_sheet.Page(i).TemplateSize()));
        book->AddPage(page, m_sheet.Page(i).Caption(), false);
    }
    LayoutDialog();

    book->ChangeSelection(static_cast<std::size_t>(startPage));
    ShowPage(startPage);

    book->Bind(wxEVT_BOOKCTRL_PAGE_CHANGING, &CMySheetDialog::OnPageChanging, this);
    book->Bind(wxEVT_BOOKCTRL_PAGE_CHANGED, &CMySheetDialog::OnPageChanged, this);
}

void CMySheetDialog::SetPlainLabel(int id, const char* utf8Label)
{
    wxWindow* button = FindWindow(id);
    if (button == nullptr)
        return;
    button->SetLabel(wxString::FromUTF8(utf8Label));
#ifdef __WXGTK__
    // wxWidgets shows a label that equals the stock one ("OK") as the toolkit's stock item,
    // whose text comes from the toolkit's own catalogue; the button gets the plain text.
    GtkWidget* widget = static_cast<GtkWidget*>(button->GetHandle());
    if (GTK_IS_BUTTON(widget)) {
        g_object_set(widget, "use-stock", FALSE, nullptr);
        gtk_button_set_label(GTK_BUTTON(widget), utf8Label);
    }
#endif
}

CMySheetDialog::~CMySheetDialog()
{
    m_ended = true;
    if (wxBookCtrlBase* book = GetBookCtrl()) {
        book->Unbind(wxEVT_BOOKCTRL_PAGE_CHANGING, &CMySheetDialog::OnPageChanging, this);
        book->Unbind(wxEVT_BOOKCTRL_PAGE_CHANGED, &CMySheetDialog::OnPageChanged, this);
    }
}

int CMySheetDialog::ActivePage() const
{
    const wxBookCtrlBase* book = GetBookCtrl();
    return book != nullptr ? book->GetSelection() : 0;
}

bool CMySheetDialog::SelectPage(int index)
{
    wxBookCtrlBase* book = GetBookCtrl();
    if (book == nullptr || index < 0 || index >= static_cast<int>(book->GetPageCount()))
        return false;
    const int old = book->GetSelection();
    if (old == index)
        return true;
    // The same steps as the tab change events, without depending on whether the toolkit sends
    // them for a window that is not on screen.
    m_sheet.Page(old).OnKillActive();
    book->ChangeSelection(static_cast<std::size_t>(index));
    ShowPage(index);
    return true;
}

wxWindow* CMySheetDialog::FindControl(int id) const { return FindWindow(id); }

void CMySheetDialog::OnPageChanging(wxBookCtrlEvent& event)
{
    event.Skip();
    if (m_ended || event.GetEventObject() != GetBookCtrl())
        return;
    const int old = event.GetOldSelection();
    if (old >= 0 && old < CMySheet::kPageCount)
        m_sheet.Page(old).OnKillActive();
}

void CMySheetDialog::OnPageChanged(wxBookCtrlEvent& event)
{
    event.Skip();
    if (m_ended || event.GetEventObject() != GetBookCtrl())
        return;
    ShowPage(event.GetSelection());
}

void CMySheetDialog::ShowPage(int index)
{
    if (m_ended || index < 0 || index >= CMySheet::kPageCount)
        return;
    CSettingsPage& page = m_sheet.Page(index);
    if (page.HasWindow())
        page.OnSetActive();
    else
        page.CreatePageWindow(GetBookCtrl()->GetPage(static_cast<std::size_t>(index)));
}
