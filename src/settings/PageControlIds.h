#pragma once
// Ids of the controls on the settings pages. The numbers are part of the program's interface:
// the pages' data exchange and message handling use them, and tests find the controls by them.

namespace settings {

// General page ("Общие"). The start-up action radios run against their ids: value 0 is 1005.
inline constexpr int IDC_LOADER_NOTHING = 1005;    // "Ничего не делать"
inline constexpr int IDC_LOADER_NEW_FILE = 1004;   // "Создать новый файл (стандартное имя)"
inline constexpr int IDC_LOADER_LAST_FILE = 1003;  // "Загрузить последний открытый файл"
inline constexpr int IDC_AUTORUN = 1008;           // platform::AutostartLabel()
inline constexpr int IDC_MINIMIZED = 1009;         // "в свернутом состоянии"
inline constexpr int IDC_TRAY_ICON = 1010;         // "Значок в области уведомлений"
inline constexpr int IDC_TRAY_NOTE = 1011;         // why the icon cannot be shown here
inline constexpr int IDC_HOTKEY = 1012;            // "Запись/стоп клавишами:" (Windows)
inline constexpr int IDC_HOTKEY_KEYS = 1013;       // its key combination

// Record page ("Запись").
inline constexpr int IDC_BITRATE_SLIDER = 1016;
inline constexpr int IDC_SIZE_ESTIMATE = 1027;
inline constexpr int IDC_MONO = 1018;              // "Моно"
inline constexpr int IDC_STEREO = 1019;            // "Стерео"
inline constexpr int IDC_FREQ_GROUP = 1026;        // "Частота сэмплирования (kHz)"
inline constexpr int IDC_FREQ_8000 = 1021;         // "8,000"
inline constexpr int IDC_FREQ_11025 = 1022;        // "11,025"
inline constexpr int IDC_FREQ_22050 = 1023;        // "22,050"
inline constexpr int IDC_FREQ_44100 = 1024;        // "44,100"
inline constexpr int IDC_AUTO_FREQ = 1025;         // "Автоматически выбирать частоту"

// Sources page ("Источники").
inline constexpr int IDC_SOURCE = 1028;            // the sound source list
inline constexpr int IDC_SECOND_SOURCE = 1031;     // "Второй источник:" list
inline constexpr int IDC_SOURCES_APART = 1032;     // "Каждый источник в своём канале (левый и правый)"
inline constexpr int IDC_SOURCE_NOW = 1029;        // what the next recording records

// Hands-free page ("Автозапись").
inline constexpr int IDC_VOICE_ACTIVATED = 1040;   // "Писать только звук громче порога (по голосу)"
inline constexpr int IDC_VOICE_THRESHOLD = 1041;   // threshold, dBFS
inline constexpr int IDC_VOICE_HOLD = 1042;        // hold, seconds
inline constexpr int IDC_VOICE_PRE_ROLL = 1043;    // pre-roll, seconds
inline constexpr int IDC_KEEP_BEFORE = 1044;       // "Держать микрофон открытым: начинать запись с последних секунд"
inline constexpr int IDC_KEEP_BEFORE_SECONDS = 1045;  // how many seconds
inline constexpr int IDC_KEEP_AWAKE = 1030;        // "Не давать компьютеру засыпать во время записи"
// The group "Делить запись на файлы" on the same page.
inline constexpr int IDC_SPLIT_BY_MINUTES = 1046;  // "каждые ... мин"
inline constexpr int IDC_SPLIT_MINUTES = 1047;
inline constexpr int IDC_SPLIT_BY_MEGABYTES = 1048;  // "каждые ... МБ"
inline constexpr int IDC_SPLIT_MEGABYTES = 1049;
inline constexpr int IDC_SPLIT_ON_HOUR = 1050;  // "в начале каждого часа"

}  // namespace settings
