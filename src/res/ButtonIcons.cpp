#include "res/ButtonIcons.h"

#include <algorithm>
#include <string>

#include "res/ResourceIds.h"

namespace res {
namespace {

// Bodies of the SVG pictures on a 32 x 32 canvas; 1-pixel strokes lie on half pixels so they
// cover whole pixels at 100 % and 200 %.
const char* Body(int iconId)
{
    switch (iconId) {
    case IDI_PLAY:
        return R"(<path d="M11 8 L23 16 L11 24 Z" fill="#000000"/>)";
    case IDI_STOP:
        return R"(<rect x="10" y="10" width="12" height="12" fill="#000000"/>)";
    case IDI_RECORD:
        return R"(<circle cx="16" cy="16" r="7" fill="#ff0000" stroke="#800000" stroke-width="1"/>)"
               R"(<circle cx="14" cy="14" r="2" fill="#ff8080"/>)";
    case IDI_OPEN:
        return R"(<path d="M16 8 L24 17 L8 17 Z" fill="#000000"/>)"
               R"(<rect x="8" y="20" width="16" height="3" fill="#000000"/>)";
    case IDI_NEW:
        return R"(<path d="M10.5 7.5 H19.5 L23.5 11.5 V24.5 H10.5 Z" fill="#ffffff" stroke="#000000" stroke-width="1"/>)"
               R"(<path d="M19.5 7.5 V11.5 H23.5" fill="#c0c0c0" stroke="#000000" stroke-width="1"/>)";
    case IDI_VOLUME:
        return R"(<path d="M8.5 13.5 H12.5 L17.5 8.5 V23.5 L12.5 18.5 H8.5 Z" fill="#808080" stroke="#000000" stroke-width="1"/>)"
               R"(<path d="M20 12.5 Q22.5 16 20 19.5" fill="none" stroke="#000000" stroke-width="1.2"/>)"
               R"(<path d="M22 10 Q26.5 16 22 22" fill="none" stroke="#000000" stroke-width="1.2"/>)";
    case IDI_RECORD_LEVEL:
        return R"(<rect x="13.5" y="7.5" width="5" height="10" rx="2.5" fill="#c0c0c0" stroke="#000000" stroke-width="1"/>)"
               R"(<path d="M11.5 14 V15 A4.5 4.5 0 0 0 20.5 15 V14" fill="none" stroke="#000000" stroke-width="1"/>)"
               R"(<path d="M16 19.5 V23.5 M12.5 23.5 H19.5" fill="none" stroke="#000000" stroke-width="1"/>)";
    default:
        return nullptr;
    }
}

}  // namespace

bool HasButtonIcon(int iconId) { return Body(iconId) != nullptr; }

wxBitmapBundle ButtonIcon(int iconId, const wxSize& visible)
{
    const char* body = Body(iconId);
    if (body == nullptr)
        return wxBitmapBundle();
    const int width = std::clamp(visible.x, 1, 32);
    const int height = std::clamp(visible.y, 1, 32);
    const int left = (32 - width) / 2;
    const int top = (32 - height) / 2;
    const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) +
                            "\" height=\"" + std::to_string(height) + "\" viewBox=\"" + std::to_string(left) + " " +
                            std::to_string(top) + " " + std::to_string(width) + " " + std::to_string(height) +
                            "\">" + body + "</svg>";
    return wxBitmapBundle::FromSVG(svg.c_str(), wxSize(width, height));
}

}  // namespace res
