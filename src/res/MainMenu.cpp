#include "res/MainMenu.h"

#include <wx/menu.h>

#include "res/ResourceIds.h"
#include "res/TextMenuItem.h"

namespace res {
namespace {

void AppendItem(wxMenu* menu, int id, const char* utf8Label, wxItemKind kind = wxITEM_NORMAL)
{
    menu->Append(new TextMenuItem(menu, id, utf8Label, kind));
}

}  // namespace

wxMenuBar* CreateMainMenuBar()
{
    auto* file = new wxMenu;
    AppendItem(file, ID_FILE_NEW, "&Новый... \tCtrl - N");
    AppendItem(file, ID_FILE_OPEN, "&Открыть... \tCtrl - O");
    file->AppendSeparator();
    AppendItem(file, ID_APP_EXIT, "Вы&ход\tAlt - F4");

    auto* sound = new wxMenu;
    AppendItem(sound, ID_SOUND_RECORD, "&Запись\tEnter");
    AppendItem(sound, ID_SOUND_PLAY, "&Воспроизведение\tSpace");
    sound->AppendSeparator();
    AppendItem(sound, ID_SOUND_START, "Переход в &начало\tHome");
    AppendItem(sound, ID_SOUND_BACK, "Н&азад на 5 сек\tLeft");
    AppendItem(sound, ID_SOUND_FORWARD, "В&перед на 5 сек\tRight");
    AppendItem(sound, ID_SOUND_END, "Переход в &конец\tEnd");
    sound->AppendSeparator();
    AppendItem(sound, ID_SOUND_TIMER, "&Таймер...\tCtrl - M");

    auto* settings = new wxMenu;
    AppendItem(settings, ID_SETTINGS, "Н&астройки программы...\tCtrl - P");
    AppendItem(settings, ID_ALWAYS_ON_TOP, "&Поверх всех окон\tCtrl - T", wxITEM_CHECK);
    settings->AppendSeparator();
    AppendItem(settings, ID_VOLUME, "&Громкость...\tCtrl - V");
    AppendItem(settings, ID_RECORD_LEVEL, "&Уровень записи...\tCtrl - R");

    auto* help = new wxMenu;
    AppendItem(help, ID_WEB_SITE, "&Web-site");
    AppendItem(help, ID_SEND_EMAIL, "&Послать e-mail");
    help->AppendSeparator();
    AppendItem(help, ID_APP_ABOUT, "&О программе ...");

    auto* bar = new wxMenuBar;
    bar->Append(file, wxString::FromUTF8("&Файл"));
    bar->Append(sound, wxString::FromUTF8("&Звук"));
    bar->Append(settings, wxString::FromUTF8("&Настройка"));
    bar->Append(help, wxString::FromUTF8("&Помощь"));
    return bar;
}

wxAcceleratorTable CreateMainAccelerators()
{
    const wxAcceleratorEntry entries[] = {
        {wxACCEL_CTRL, 'N', ID_ACCEL_NEW},
        {wxACCEL_CTRL, 'O', ID_ACCEL_OPEN},
        {wxACCEL_CTRL, 'P', ID_ACCEL_SETTINGS},
        {wxACCEL_CTRL, 'R', ID_ACCEL_RECORD_LEVEL},
        {wxACCEL_CTRL, 'T', ID_ACCEL_ON_TOP},
        {wxACCEL_CTRL, 'V', ID_ACCEL_VOLUME},
        {wxACCEL_CTRL, 'M', ID_ACCEL_TIMER},
        {wxACCEL_NORMAL, WXK_END, ID_ACCEL_END},
        {wxACCEL_NORMAL, WXK_HOME, ID_ACCEL_HOME},
        {wxACCEL_NORMAL, WXK_LEFT, ID_ACCEL_LEFT},
        {wxACCEL_NORMAL, WXK_RETURN, ID_ACCEL_ENTER},
        {wxACCEL_NORMAL, WXK_RIGHT, ID_ACCEL_RIGHT},
        {wxACCEL_NORMAL, WXK_SPACE, ID_ACCEL_SPACE},
        // The keypad's keys do what the main keys do. With Num Lock on, the toolkit reports the
        // digit keys instead of the navigation keys; both are bound, so the state does not matter.
        {wxACCEL_NORMAL, WXK_NUMPAD_ENTER, ID_ACCEL_ENTER},
        {wxACCEL_NORMAL, WXK_NUMPAD_HOME, ID_ACCEL_HOME},
        {wxACCEL_NORMAL, WXK_NUMPAD7, ID_ACCEL_HOME},
        {wxACCEL_NORMAL, WXK_NUMPAD_END, ID_ACCEL_END},
        {wxACCEL_NORMAL, WXK_NUMPAD1, ID_ACCEL_END},
        {wxACCEL_NORMAL, WXK_NUMPAD_LEFT, ID_ACCEL_LEFT},
        {wxACCEL_NORMAL, WXK_NUMPAD4, ID_ACCEL_LEFT},
        {wxACCEL_NORMAL, WXK_NUMPAD_RIGHT, ID_ACCEL_RIGHT},
        {wxACCEL_NORMAL, WXK_NUMPAD6, ID_ACCEL_RIGHT},
    };
    return wxAcceleratorTable(static_cast<int>(std::size(entries)), entries);
}

}  // namespace res
