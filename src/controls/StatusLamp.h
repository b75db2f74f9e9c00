#pragma once
// The status lamp: a small black box showing the transport state as a tiny picture, centred.
// A new lamp shows the green square. User-interface thread only.

#include <string>

#include "controls/BackBufferCtrl.h"

// The lamp's states.
inline constexpr int LAMP_RECORD = 1;  // red disc
inline constexpr int LAMP_OFF = 2;     // black box
inline constexpr int LAMP_STOP = 3;    // green square
inline constexpr int LAMP_PLAY = 4;    // green triangle
inline constexpr int LAMP_PAUSE = 5;   // two green bars
inline constexpr int LAMP_ARMED = 8;   // red ring: a timer will start a recording
inline constexpr int LAMP_LISTEN = 9;  // small red dot: the input is open, nothing is being written
inline constexpr int LAMP_WAIT = 10;   // amber hourglass: the recording waits for its lost input

class CStatusLamp : public CBackBufferCtrl {
public:
    CStatusLamp();
    CStatusLamp(wxWindow* parent, int id, const wxRect& rect);

    bool Create(wxWindow* parent, int id, const wxRect& rect);

    // Draws the state's picture on black. Any value other than the eight states shows the
    // black box, as LAMP_OFF does.
    void SetState(int state);
    // The state last set.
    int GetState() const { return m_state; }
    // Tooltip and accessible description (the lamp's words for what it shows).
    void SetDescription(const std::string& utf8Text);
    const std::string& Description() const { return m_description; }

private:
    int m_state = LAMP_STOP;
    std::string m_description;
};
