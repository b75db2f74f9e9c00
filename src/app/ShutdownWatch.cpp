#include "app/ShutdownWatch.h"

#include <algorithm>

#include <wx/app.h>
#include <wx/dialog.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

#include "platform/SignalPipe.h"

CShutdownWatch::CShutdownWatch() : m_timer(this)
{
    Bind(wxEVT_TIMER, &CShutdownWatch::OnTimer, this);
    Register();
    // Timers also run inside modal loops, so a signal is seen while a dialog is open.
    m_timer.Start(100);
}

CShutdownWatch::~CShutdownWatch()
{
    m_timer.Stop();
    Unregister();
}

void CShutdownWatch::RequestClose()
{
    m_requested = true;
    Proceed();
}

int CShutdownWatch::Enter(wxDialog* dialog)
{
    m_modal.push_back(dialog);
    if (m_requested)
        CallAfter([this] { Proceed(); });  // a dialog opened while closing ends at once too
    return wxID_NONE;
}

void CShutdownWatch::Exit(wxDialog* dialog)
{
    const auto it = std::find(m_modal.rbegin(), m_modal.rend(), dialog);
    if (it != m_modal.rend())
        m_modal.erase(std::next(it).base());
}

void CShutdownWatch::OnTimer(wxTimerEvent&)
{
    if (platform::SignalPipe::TakePending())
        m_requested = true;
    Proceed();
}

void CShutdownWatch::Proceed()
{
    if (!m_requested || m_closed)
        return;
    if (!m_modal.empty()) {
        // The next tick, once every nested loop has returned, closes the window.
        EndModalDialogs();
        return;
    }
    wxWindow* top = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    if (top == nullptr)
        return;  // not yet created: the next tick closes it
    m_closed = true;
    top->Close();
}

void CShutdownWatch::EndModalDialogs()
{
    for (auto it = m_modal.rbegin(); it != m_modal.rend(); ++it) {
        wxDialog* dialog = *it;
        if (dialog->IsModal()) {
            dialog->EndModal(wxID_CANCEL);
            continue;
        }
#ifdef __WXGTK__
        // Native dialogs (message boxes) run GTK's own loop: answer them as a closed window.
        if (GtkWidget* widget = dialog->GetHandle(); widget != nullptr && GTK_IS_DIALOG(widget))
            gtk_dialog_response(GTK_DIALOG(widget), GTK_RESPONSE_DELETE_EVENT);
#endif
    }
}
