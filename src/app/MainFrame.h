#pragma once
// The program's only top-level window: fixed size, caption, menu bar, minimise box. Its whole
// client area is the main panel. It reopens where it was last closed, starts minimised when the
// settings say so, passes the keyboard focus and every command to the panel first, and saves its
// position when it closes unless it is minimised. User-interface thread only.

#include <memory>

#include <wx/frame.h>

class CMainPanel;

class CMainFrame : public wxFrame {
public:
    // Constructs the panel object (which reads the settings pages' keys); no window yet.
    CMainFrame();
    ~CMainFrame() override;

    // Creates the window with the menu, accelerators and icon of resourceId, then runs the
    // creation steps: the panel, position, show (or minimise), title. False when creation failed.
    bool LoadFrame(int resourceId);

    CMainPanel* Panel() const { return m_panel; }
    // Closes the window for the system (a signal, the session's end): nobody is there to answer
    // a message, so what the close finds is kept for the next start instead.
    void CloseUnattended();

    // The frame never keeps the keyboard focus: typing always goes to the panel.
    void SetFocus() override;

    // The client size the panel's controls need.
    static constexpr int kClientWidth = 314;
    static constexpr int kClientHeight = 115;

private:
    long PreCreateWindow() const;
    int OnCreate();
    bool PanelReady() const { return m_panel != nullptr && m_pendingPanel == nullptr; }
    void OnSetFocus(wxFocusEvent& event);
    void OnActivate(wxActivateEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnExit(wxCommandEvent& event);
    // Offers menu and accelerator commands to the panel before the frame and the application.
    bool TryBefore(wxEvent& event) override;

    // The panel before its window exists; once created, the window hierarchy owns it.
    std::unique_ptr<CMainPanel> m_pendingPanel;
    CMainPanel* m_panel = nullptr;
    bool m_routing = false;
    bool m_unattended = false;

    wxDECLARE_EVENT_TABLE();
};
