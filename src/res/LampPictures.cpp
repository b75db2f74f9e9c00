#include "res/LampPictures.h"

#include <algorithm>
#include <functional>

namespace res {
namespace {

struct Rgb {
    unsigned char r, g, b;
};

constexpr Rgb kBrightRed{255, 0, 0};
constexpr Rgb kDarkRed{128, 0, 0};
constexpr Rgb kBrightGreen{0, 255, 0};
constexpr Rgb kDarkGreen{0, 128, 0};

// A width x height picture, black where inside(x, y) is false; inside it bright where
// (x + y) has brightParity, dark elsewhere.
wxImage Picture(int width, int height, const std::function<bool(int, int)>& inside, int brightParity, Rgb bright,
                Rgb dark)
{
    wxImage image(width, height, true);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (!inside(x, y))
                continue;
            const Rgb c = (x + y) % 2 == brightParity ? bright : dark;
            image.SetRGB(x, y, c.r, c.g, c.b);
        }
    }
    return image;
}

bool InDisc(int x, int y)
{
    if (y == 0 || y == 8)
        return x >= 3 && x <= 5;
    if (y >= 3 && y <= 5)
        return true;
    return x >= 1 && x <= 7;  // rows 1, 2, 6 and 7
}

}  // namespace

wxImage LampPicture(int id)
{
    switch (id) {
    case IDB_LAMP_RECORD:
        return Picture(9, 9, InDisc, 1, kBrightRed, kDarkRed);
    case IDB_LAMP_STOP:
        return Picture(9, 9, [](int, int) { return true; }, 1, kBrightGreen, kDarkGreen);
    case IDB_LAMP_PLAY:
        return Picture(7, 13, [](int x, int y) { return x <= std::min(y, 12 - y); }, 1, kBrightGreen, kDarkGreen);
    case IDB_LAMP_PAUSE:
        return Picture(9, 9, [](int x, int) { return x <= 2 || x >= 6; }, 0, kBrightGreen, kDarkGreen);
    default:
        return wxImage();
    }
}

}  // namespace res
