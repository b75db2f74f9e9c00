#include "platform/ProgramIcons.h"

#include <windows.h>

#include <wx/icon.h>
#include <wx/log.h>

namespace platform {

bool LoadProgramIcons(wxIconBundle& icons)
{
    // The two sizes a window shows (title bar and task switcher), each taken from the
    // program's first icon by name as the shell takes it: only the entry of that size is read.
    // A copy built without its resources has none; the caller draws the picture then.
    wxLogNull quiet;
    wxIconBundle loaded;
    for (const int metric : {SM_CXSMICON, SM_CXICON}) {
        const int size = GetSystemMetrics(metric);
        wxIcon icon;
        if (!icon.LoadFile(wxS("AAA_PROGRAM"), wxBITMAP_TYPE_ICO_RESOURCE, size, size))
            return false;
        loaded.AddIcon(icon);
    }
    icons = loaded;
    return true;
}

}  // namespace platform
