#pragma once
// The status lamp's four pictures (bitmaps 140 to 143), pixel by pixel: a red disc
// (recording), a green square (stopped), a green triangle pointing right (playing) and two
// green bars (pause). Each is two shades in a checkerboard on black.

#include <wx/image.h>

namespace res {

inline constexpr int IDB_LAMP_RECORD = 140;
inline constexpr int IDB_LAMP_STOP = 141;
inline constexpr int IDB_LAMP_PLAY = 142;
inline constexpr int IDB_LAMP_PAUSE = 143;
// A red ring, the disc's outline (a timer is armed), and a small red dot (the input listens).
inline constexpr int IDB_LAMP_ARMED = 146;
inline constexpr int IDB_LAMP_LISTEN = 147;
// An amber hourglass: the recording waits for its input to come back.
inline constexpr int IDB_LAMP_WAIT = 148;

// The picture of bitmap id (140..143, 146..148); an invalid image for any other id.
wxImage LampPicture(int id);

}  // namespace res
