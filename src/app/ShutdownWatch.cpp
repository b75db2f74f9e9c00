#include "app/ShutdownWatch.h"

#include <algorithm>

#include <wx/app.h>
#include <wx/dialog.h>

#ifdef __WXGTK__
#include <glib-unix.h>
#include <gtk/gtk.h>
#endif

#include "app/MainFrame.h"
#include "platform/SignalPipe.h"

CShutdownWatch::CShutdownWatch() : m_timer(this)
{
    Bind(wxEVT_TIMER, &CShutdownWatch::OnTimer, this);
    Register();
#ifdef __WXGTK__
    // The watch and the timers are both dispatched by GLib's default context, which modal
    // loops and native dialogs run too, so a signal is seen while a dialog is open.
    if (const int fd = platform::SignalPipe::ReadFd(); fd >= 0) {
        m_watch = g_unix_fd_add(
            fd, G_IO_IN,
            [](gint, GIOCondition, gpointer self) -> gboolean {
                static_cast<CShutdownWatch*>(self)->Check();
                // A closed window is destroyed, and the program ends, on the toolkit's idle
                // processing, which a bare GLib watch does not start by itself: a minimised
                // window that gets no other events would otherwise never go.
                wxWakeUpIdle();
                return G_SOURCE_CONTINUE;
            },
            this);
    }
#endif
    UpdateTimer();
}

CShutdownWatch::~CShutdownWatch()
{
#ifdef __WXGTK__
    if (m_watch != 0)
        g_source_remove(m_watch);
#endif
    m_timer.Stop();
    Unregister();
}

void CShutdownWatch::RequestClose()
{
    m_requested = true;
    Proceed();
    UpdateTimer();
}

void CShutdownWatch::Check()
{
    if (platform::SignalPipe::TakePending())
        m_requested = true;
    Proceed();
    UpdateTimer();
}

void CShutdownWatch::UpdateTimer()
{
    const bool needed = m_watch == 0 || (m_requested && !m_closed);
    if (needed && !m_timer.IsRunning())
        m_timer.Start(100);
    else if (!needed && m_timer.IsRunning())
        m_timer.Stop();
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

void CShutdownWatch::OnTimer(wxTimerEvent&) { Check(); }

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
    if (auto* frame = dynamic_cast<CMainFrame*>(top))
        frame->CloseUnattended();
    else
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
