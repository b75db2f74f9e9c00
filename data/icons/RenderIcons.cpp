// Build-time tool: writes the program icon into an icon-theme tree, as the scalable drawing and
// as PNG pictures rendered from that same drawing, so the desktop shows exactly the picture the
// window carries.
//
//   dr-render-icons <output folder> <icon name>
//
// writes <output folder>/scalable/apps/<icon name>.svg and
// <output folder>/<n>x<n>/apps/<icon name>.png for n = 16, 24, 32, 48, 64, 128, 256.
// Needs no display. Exit status 0 on success, 1 when a file could not be written.
#include <cstdio>
#include <fstream>
#include <string>

#include <wx/bmpbndl.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/init.h>

#include "res/ProgramIcon.h"

namespace {

bool MakeFolder(const std::string& folder)
{
    return wxFileName::Mkdir(wxString::FromUTF8(folder), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
}

bool WriteSvg(const std::string& folder, const std::string& name)
{
    if (!MakeFolder(folder))
        return false;
    std::ofstream out(folder + "/" + name + ".svg", std::ios::binary | std::ios::trunc);
    out << res::ProgramIconSvg() << '\n';
    return static_cast<bool>(out.flush());
}

bool WritePng(const std::string& folder, const std::string& name, int size)
{
    if (!MakeFolder(folder))
        return false;
    const wxBitmapBundle bundle = wxBitmapBundle::FromSVG(res::ProgramIconSvg(), wxSize(32, 32));
    const wxImage image = bundle.GetBitmap(wxSize(size, size)).ConvertToImage();
    if (!image.IsOk() || image.GetWidth() != size || image.GetHeight() != size)
        return false;
    return image.SaveFile(wxString::FromUTF8(folder + "/" + name + ".png"), wxBITMAP_TYPE_PNG);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <output folder> <icon name>\n", argv[0]);
        return 2;
    }
    wxInitializer init;
    if (!init.IsOk()) {
        std::fprintf(stderr, "%s: cannot initialise wxWidgets\n", argv[0]);
        return 1;
    }
    wxImage::AddHandler(new wxPNGHandler);

    const std::string root = argv[1];
    const std::string name = argv[2];
    if (!WriteSvg(root + "/scalable/apps", name)) {
        std::fprintf(stderr, "%s: cannot write the scalable icon\n", argv[0]);
        return 1;
    }
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string folder = root + "/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
        if (!WritePng(folder, name, size)) {
            std::fprintf(stderr, "%s: cannot write the %d px icon\n", argv[0], size);
            return 1;
        }
    }
    return 0;
}
