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
constexpr Rgb kBrightAmber{255, 176, 0};
constexpr Rgb kDarkAmber{128, 88, 0};

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

// The disc without its inside: the pixels of the disc with a neighbour outside it.
bool OnRing(int x, int y)
{
    if (!InDisc(x, y))
        return false;
    auto in = [](int px, int py) { return px >= 0 && py >= 0 && px < 9 && py < 9 && InDisc(px, py); };
    return !in(x - 1, y) || !in(x + 1, y) || !in(x, y - 1) || !in(x, y + 1);
}

// A 5 x 5 disc with its corners cut.
bool InDot(int x, int y) { return !((x == 0 || x == 4) && (y == 0 || y == 4)); }

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
    case IDB_LAMP_ARMED:
        return Picture(9, 9, OnRing, 1, kBrightRed, kDarkRed);
    case IDB_LAMP_LISTEN:
        return Picture(5, 5, InDot, 0, kBrightRed, kDarkRed);
    case IDB_LAMP_WAIT:
        // Two triangles meeting at their tips in the middle row.
        return Picture(9, 9, [](int x, int y) { return x >= std::min(y, 8 - y) && x <= 8 - std::min(y, 8 - y); }, 1,
                       kBrightAmber, kDarkAmber);
    default:
        return wxImage();
    }
}

}  // namespace res
