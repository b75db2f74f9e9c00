#pragma once
// Numeric ids of the program's resources: menu commands, accelerator commands, child controls,
// icons and bitmaps. The numbers are part of the program's interface (command routing, tests).

namespace res {

// Command numbers are 16-bit values, and several are above 0x7FFF. wxWidgets keeps window and
// menu ids within the positive range of a signed 16-bit value (on Windows they travel as one),
// so a command number N of 0x8000 or more is used as the id N - 0x8000. Every id below is
// already mapped; the comments give the 16-bit numbers.
constexpr int CommandId(int number) { return number >= 0x8000 ? number - 0x8000 : number; }

// Menu and accelerator resource of the main frame; also the program icon.
inline constexpr int IDR_MAINFRAME = 128;

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_PAGE_COMMON = 134;
inline constexpr int IDD_PAGE_RECORD = 136;
inline constexpr int IDD_PAGE_SOURCES = 137;
inline constexpr int IDD_PAGE_AUTO = 138;

// Menu commands.
inline constexpr int ID_FILE_NEW = CommandId(32773);      // "&Новый... \tCtrl - N"
inline constexpr int ID_FILE_OPEN = CommandId(32774);     // "&Открыть... \tCtrl - O"
inline constexpr int ID_APP_EXIT = CommandId(57665);      // "Вы&ход\tAlt - F4"
inline constexpr int ID_SOUND_RECORD = 300;    // "&Запись\tEnter"
inline constexpr int ID_SOUND_PLAY = 301;      // "&Воспроизведение\tSpace"
inline constexpr int ID_SOUND_START = 302;     // "Переход в &начало\tHome"
inline constexpr int ID_SOUND_BACK = 303;      // "Н&азад на 5 сек\tLeft"
inline constexpr int ID_SOUND_FORWARD = 304;   // "В&перед на 5 сек\tRight"
inline constexpr int ID_SOUND_END = 305;       // "Переход в &конец\tEnd"
inline constexpr int ID_SOUND_TIMER = 306;     // "&Таймер...\tCtrl - M"
inline constexpr int ID_SETTINGS = CommandId(32779);      // "Н&астройки программы...\tCtrl - P"
inline constexpr int ID_ALWAYS_ON_TOP = CommandId(32827); // "&Поверх всех окон\tCtrl - T"
inline constexpr int ID_VOLUME = CommandId(32834);        // "&Громкость...\tCtrl - V"
inline constexpr int ID_RECORD_LEVEL = CommandId(32835);  // "&Уровень записи...\tCtrl - R"
inline constexpr int ID_WEB_SITE = CommandId(32776);      // "&Web-site"
inline constexpr int ID_SEND_EMAIL = CommandId(32777);    // "&Послать e-mail"
inline constexpr int ID_APP_ABOUT = CommandId(57664);     // "&О программе ..."

// Accelerator commands.
inline constexpr int ID_ACCEL_NEW = CommandId(32812);          // Ctrl+N
inline constexpr int ID_ACCEL_OPEN = CommandId(32813);         // Ctrl+O
inline constexpr int ID_ACCEL_ENTER = CommandId(32815);        // Enter
inline constexpr int ID_ACCEL_SPACE = CommandId(32816);        // Space
inline constexpr int ID_ACCEL_HOME = CommandId(32817);         // Home
inline constexpr int ID_ACCEL_END = CommandId(32818);          // End
inline constexpr int ID_ACCEL_LEFT = CommandId(32819);         // Left arrow
inline constexpr int ID_ACCEL_RIGHT = CommandId(32820);        // Right arrow
inline constexpr int ID_ACCEL_SETTINGS = CommandId(32821);     // Ctrl+P
inline constexpr int ID_ACCEL_ON_TOP = CommandId(32828);       // Ctrl+T
inline constexpr int ID_ACCEL_RECORD_LEVEL = CommandId(32830); // Ctrl+R
inline constexpr int ID_ACCEL_VOLUME = CommandId(32831);       // Ctrl+V
inline constexpr int ID_ACCEL_TIMER = CommandId(32836);        // Ctrl+M

// Child controls of the main panel.
inline constexpr int IDC_RECORD_BUTTON = 101;
inline constexpr int IDC_PLAY_BUTTON = 102;
inline constexpr int IDC_SLIDER = 111;
inline constexpr int IDC_INFO_PANEL = 116;
inline constexpr int IDC_LEVEL_METER = 117;
inline constexpr int IDC_TIME_PANEL = 118;
inline constexpr int IDC_STATUS_LAMP = 119;
inline constexpr int IDC_NEW_BUTTON = 120;
inline constexpr int IDC_OPEN_BUTTON = 121;
inline constexpr int IDC_RECORD_LEVEL_BUTTON = 122;
inline constexpr int IDC_VOLUME_BUTTON = 123;

// Icons.
inline constexpr int IDI_PLAY = 133;
inline constexpr int IDI_STOP = 149;
inline constexpr int IDI_RECORD = 150;
inline constexpr int IDI_OPEN = 151;
inline constexpr int IDI_NEW = 152;
inline constexpr int IDI_VOLUME = 154;
inline constexpr int IDI_RECORD_LEVEL = 158;

// Status-lamp bitmaps.
inline constexpr int IDB_LAMP_FIRST = 140;
inline constexpr int IDB_LAMP_LAST = 143;

}  // namespace res
