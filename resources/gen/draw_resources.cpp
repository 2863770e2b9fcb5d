// Draws Tarveil XP's two pictures and writes them in the Windows formats the resource script uses:
//   BandeauTitre.bmp    the caption strip, 240 x 16, 24-bit BMP;
//   IconeProgramme.ico  the program icon, 16/32/48 px in 8-bit palette colour with a 1-bit mask and
//                       the same sizes in 32-bit BGRA with alpha (plus the 1-bit mask, as XP expects).
//
// Standard library only; the output depends on nothing but this source, so every run writes the same
// bytes (no dates, no hash-ordered containers, no threads). Build and run it with ../regenerate.sh.
//
// Usage: draw_resources OUTPUT_DIR

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Little-endian byte output.

class Bytes {
public:
    void U8(uint32_t v) { data.push_back(static_cast<uint8_t>(v & 0xFF)); }
    void U16(uint32_t v) { U8(v); U8(v >> 8); }
    void U32(uint32_t v) { U16(v & 0xFFFF); U16(v >> 16); }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void Append(const std::vector<uint8_t>& more) { data.insert(data.end(), more.begin(), more.end()); }
    std::vector<uint8_t> data;
};

bool WriteFile(const std::string& path, const std::vector<uint8_t>& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

struct Rgb {
    uint8_t r, g, b;
};

// BITMAPINFOHEADER; height is the stored height (twice the image height for an icon image).
void InfoHeader(Bytes& out, int width, int height, int bitCount, uint32_t sizeImage, int32_t pelsPerMetre) {
    out.U32(40);
    out.I32(width);
    out.I32(height);
    out.U16(1);         // planes
    out.U16(bitCount);  // bits per pixel
    out.U32(0);         // BI_RGB
    out.U32(sizeImage);
    out.I32(pelsPerMetre);
    out.I32(pelsPerMetre);
    out.U32(0);  // colours used: 0 = all 2^bitCount (or none for 24/32-bit)
    out.U32(0);  // colours important
}

// =============================================================================================
// 1. The caption strip.

constexpr int kStripW = 240;
constexpr int kStripH = 16;

// The metallic bar: one colour per row, the same in every column. Row 0 is the top row.
const Rgb kStripGradient[kStripH] = {
    {169, 169, 172},                                   // 0  mid grey top edge
    {255, 255, 255}, {255, 255, 255}, {255, 255, 255}, // 1-3 white highlight
    {244, 244, 252},                                   // 4
    {228, 228, 237}, {212, 212, 222}, {196, 196, 206}, // 5-7 darker, slightly bluish
    {180, 180, 190}, {164, 164, 174}, {150, 150, 158}, // 8-10
    {136, 136, 143},                                   // 11 darkest
    {139, 139, 148}, {151, 151, 160}, {163, 163, 172}, // 12-14 lighter again
    {149, 149, 160},                                   // 15 bottom edge
};

// Column 0 is a darker edge: the gradient colour scaled by this factor.
constexpr int kEdgeNum = 7, kEdgeDen = 10;

const Rgb kTitleBlue = {64, 64, 255};
const Rgb kButtonFill = {238, 238, 244};    // light grey-white glyph
const Rgb kButtonOutline = {52, 52, 66};    // its dark outline

// Title font: bold, drawn upright here (8 rows = strip rows 4..11, '#' = ink) and slanted when drawn.
struct Glyph {
    char ch;
    const char* rows[8];
};

const Glyph kFont[] = {
    {'T', {"######",
           "..##..",
           "..##..",
           "..##..",
           "..##..",
           "..##..",
           "..##..",
           "..##.."}},
    {'a', {"......",
           "......",
           ".####.",
           "....##",
           ".#####",
           "##..##",
           "##..##",
           ".#####"}},
    {'r', {".....",
           ".....",
           "##.##",
           "####.",
           "##...",
           "##...",
           "##...",
           "##..."}},
    {'v', {"......",
           "......",
           "##..##",
           "##..##",
           "##..##",
           ".####.",
           ".####.",
           "..##.."}},
    {'e', {"......",
           "......",
           ".####.",
           "##..##",
           "######",
           "##....",
           "##..##",
           ".####."}},
    {'i', {"##",
           "..",
           "##",
           "##",
           "##",
           "##",
           "##",
           "##"}},
    {'l', {"##",
           "##",
           "##",
           "##",
           "##",
           "##",
           "##",
           "##"}},
    {' ', {"...",
           "...",
           "...",
           "...",
           "...",
           "...",
           "...",
           "..."}},
    {'X', {"##...##",
           "##...##",
           ".##.##.",
           "..###..",
           "..###..",
           ".##.##.",
           "##...##",
           "##...##"}},
    {'P', {"#####.",
           "##..##",
           "##..##",
           "##..##",
           "#####.",
           "##....",
           "##....",
           "##...."}},
};

constexpr int kTitleTop = 4;      // first strip row of the font
constexpr int kTitleCentre = 120; // the title is centred on this column (between 86 and 154)
constexpr int kLetterGap = 1;

// Italic slant: how far right font row g (0..7) is pushed.
int Slant(int g) { return (7 - g) / 3; }

const Glyph& FindGlyph(char c) {
    for (const Glyph& g : kFont)
        if (g.ch == c) return g;
    std::fprintf(stderr, "no glyph for '%c'\n", c);
    std::exit(2);
}

int GlyphWidth(const Glyph& g) { return static_cast<int>(std::strlen(g.rows[0])); }

// Button glyphs: fill masks in strip coordinates; the outline is every pixel touching the fill
// (8-neighbourhood) that is not fill itself.
//   minimise: a bar 7 x 2 at x 218..224, rows 9..10 (click area x 212..227)
//   close:    an X at x 230..237, rows 3..11 (click area x 228..239)
constexpr int kMinX = 218, kMinY = 9;
const char* const kMinimiseGlyph[] = {
    "#######",
    "#######",
};
constexpr int kCloseX = 230, kCloseY = 3;
const char* const kCloseGlyph[] = {
    "##....##",
    "###..###",
    ".######.",
    "..####..",
    "...##...",
    "..####..",
    ".######.",
    "###..###",
    "##....##",
};

struct Strip {
    Rgb px[kStripH][kStripW];
};

void StampMask(std::vector<std::vector<bool>>& mask, int x0, int y0, const char* const* rows, int nRows) {
    for (int r = 0; r < nRows; ++r)
        for (int c = 0; rows[r][c]; ++c)
            if (rows[r][c] == '#') mask[y0 + r][x0 + c] = true;
}

Strip DrawStrip() {
    Strip s;
    for (int y = 0; y < kStripH; ++y) {
        for (int x = 0; x < kStripW; ++x) s.px[y][x] = kStripGradient[y];
        const Rgb g = kStripGradient[y];
        s.px[y][0] = {static_cast<uint8_t>(g.r * kEdgeNum / kEdgeDen), static_cast<uint8_t>(g.g * kEdgeNum / kEdgeDen),
                      static_cast<uint8_t>(g.b * kEdgeNum / kEdgeDen)};
    }

    // Title, centred on kTitleCentre.
    const std::string title = "Tarveil XP";
    int width = 0;
    for (size_t i = 0; i < title.size(); ++i) width += GlyphWidth(FindGlyph(title[i])) + (i ? kLetterGap : 0);
    width += Slant(0);
    int x = kTitleCentre - width / 2;
    for (char c : title) {
        const Glyph& g = FindGlyph(c);
        for (int r = 0; r < 8; ++r)
            for (int k = 0; g.rows[r][k]; ++k)
                if (g.rows[r][k] == '#') s.px[kTitleTop + r][x + k + Slant(r)] = kTitleBlue;
        x += GlyphWidth(g) + kLetterGap;
    }

    // Buttons.
    std::vector<std::vector<bool>> fill(kStripH, std::vector<bool>(kStripW, false));
    StampMask(fill, kMinX, kMinY, kMinimiseGlyph, 2);
    StampMask(fill, kCloseX, kCloseY, kCloseGlyph, 9);
    for (int y = 0; y < kStripH; ++y)
        for (int xx = 0; xx < kStripW; ++xx) {
            if (fill[y][xx]) {
                s.px[y][xx] = kButtonFill;
                continue;
            }
            bool touches = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int yy = y + dy, xn = xx + dx;
                    if (yy >= 0 && yy < kStripH && xn >= 0 && xn < kStripW && fill[yy][xn]) touches = true;
                }
            if (touches) s.px[y][xx] = kButtonOutline;
        }
    return s;
}

std::vector<uint8_t> EncodeBmp24(const Strip& s) {
    const uint32_t stride = (kStripW * 3 + 3) & ~3u;
    const uint32_t imageSize = stride * kStripH;
    Bytes out;
    out.U8('B');
    out.U8('M');
    out.U32(14 + 40 + imageSize);  // file size
    out.U32(0);                    // reserved
    out.U32(14 + 40);              // offset of the pixels
    InfoHeader(out, kStripW, kStripH, 24, imageSize, 2835);
    for (int y = kStripH - 1; y >= 0; --y) {  // bottom-up
        uint32_t n = 0;
        for (int x = 0; x < kStripW; ++x, n += 3) {
            out.U8(s.px[y][x].b);
            out.U8(s.px[y][x].g);
            out.U8(s.px[y][x].r);
        }
        for (; n < stride; ++n) out.U8(0);
    }
    return out.data;
}

// =============================================================================================
// 2. The icon: a wall clock (upper right) over a desk-calendar sheet (lower left), soft shadow.
// Shapes are exact geometry, sampled kSuper x kSuper times per pixel (anti-aliasing).

constexpr int kSuper = 8;
constexpr double kPi = 3.14159265358979323846;

struct Vec {
    double x, y;
};

struct Colour {  // straight (not premultiplied), 0..255, alpha 0..1
    double r, g, b, a;
};

const Colour kClear = {0, 0, 0, 0};

Colour Opaque(double r, double g, double b) { return {r, g, b, 1.0}; }

Colour Mix(const Colour& p, const Colour& q, double t) {
    return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t, p.a + (q.a - p.a) * t};
}

double Clamp01(double t) { return t < 0 ? 0 : (t > 1 ? 1 : t); }

double Dist(Vec p, Vec q) { return std::hypot(p.x - q.x, p.y - q.y); }

double DistToSegment(Vec p, Vec a, Vec b) {
    const double vx = b.x - a.x, vy = b.y - a.y;
    const double len2 = vx * vx + vy * vy;
    const double t = len2 > 0 ? Clamp01(((p.x - a.x) * vx + (p.y - a.y) * vy) / len2) : 0.0;
    return Dist(p, {a.x + t * vx, a.y + t * vy});
}

// Everything that describes one icon size, in that size's pixel units (y down).
struct IconDesign {
    int size;
    // Clock.
    Vec centre;
    double radius;      // outer radius of the rim
    double edge;        // dark line around the rim
    double rim;         // silver rim width (inside the edge)
    double innerLine;   // dark line between rim and face
    double markR0, markR1, markW;  // hour marks: radial extent and width
    double hourLen, hourW, minuteLen, minuteW, cap;
    double hourDeg, minuteDeg;     // clockwise from 12
    // Calendar sheet: corners top-left, top-right, bottom-right, bottom-left.
    Vec sheet[4];
    double border;      // grey outline width
    double band;        // orange band: v in [0, band] (sheet coordinates 0..1)
    int cols, rows;     // grid of squares
    double gridU0, gridV0, pitchU, pitchV, cellU, cellV;
    int todayCol, todayRow;
    int rings;          // binder rings across the top edge, at u = 0.2, 0.4, ...
    double ringLen, ringW;
    // Shadow.
    Vec shadowOffset;
    double shadowSigma, shadowOpacity;
};

// Projective map of the unit square onto a quad, and its inverse (Heckbert's square-to-quad).
struct Homography {
    double m[9];      // square -> quad
    double inv[9];    // quad -> square

    explicit Homography(const Vec q[4]) {
        const double x0 = q[0].x, y0 = q[0].y, x1 = q[1].x, y1 = q[1].y;
        const double x2 = q[2].x, y2 = q[2].y, x3 = q[3].x, y3 = q[3].y;
        const double dx1 = x1 - x2, dx2 = x3 - x2, dx3 = x0 - x1 + x2 - x3;
        const double dy1 = y1 - y2, dy2 = y3 - y2, dy3 = y0 - y1 + y2 - y3;
        const double det = dx1 * dy2 - dx2 * dy1;
        const double g = (dx3 * dy2 - dx2 * dy3) / det;
        const double h = (dx1 * dy3 - dx3 * dy1) / det;
        const double a = x1 - x0 + g * x1, b = x3 - x0 + h * x3, c = x0;
        const double d = y1 - y0 + g * y1, e = y3 - y0 + h * y3, f = y0;
        const double mm[9] = {a, b, c, d, e, f, g, h, 1.0};
        std::copy(mm, mm + 9, m);
        // Inverse by adjugate.
        const double A = e * 1.0 - f * h, B = -(d * 1.0 - f * g), C = d * h - e * g;
        const double D = -(b * 1.0 - c * h), E = a * 1.0 - c * g, F = -(a * h - b * g);
        const double G = b * f - c * e, H = -(a * f - c * d), I = a * e - b * d;
        const double dt = a * A + b * B + c * C;
        const double ii[9] = {A / dt, D / dt, G / dt, B / dt, E / dt, H / dt, C / dt, F / dt, I / dt};
        std::copy(ii, ii + 9, inv);
    }

    // Returns false when p is behind the projection (does not happen for our convex quads).
    bool ToSquare(Vec p, double& u, double& v) const {
        const double w = inv[6] * p.x + inv[7] * p.y + inv[8];
        if (w == 0) return false;
        u = (inv[0] * p.x + inv[1] * p.y + inv[2]) / w;
        v = (inv[3] * p.x + inv[4] * p.y + inv[5]) / w;
        return true;
    }
};

const Colour kOrange = Opaque(246, 134, 24);
const Colour kOrangeLight = Opaque(255, 178, 72);
const Colour kToday = Opaque(222, 84, 16);
const Colour kSheetWhite = Opaque(255, 255, 255);
const Colour kSheetShade = Opaque(226, 230, 238);
const Colour kSheetBorder = Opaque(128, 132, 146);
const Colour kClockEdge = Opaque(72, 76, 90);
const Colour kFaceLight = Opaque(224, 238, 254);
const Colour kFace = Opaque(180, 210, 246);
const Colour kHands = Opaque(30, 34, 52);

// The sheet's colour at p, or clear outside it.
Colour SheetAt(const IconDesign& d, const Homography& h, Vec p) {
    double u, v;
    if (!h.ToSquare(p, u, v) || u < 0 || u > 1 || v < 0 || v > 1) return kClear;
    double edgeDist = 1e9;
    for (int i = 0; i < 4; ++i) edgeDist = std::min(edgeDist, DistToSegment(p, d.sheet[i], d.sheet[(i + 1) % 4]));
    if (edgeDist < d.border) return kSheetBorder;
    if (v < d.band) return Mix(kOrangeLight, kOrange, v / d.band);
    const double fu = (u - d.gridU0) / d.pitchU, fv = (v - d.gridV0) / d.pitchV;
    const int col = static_cast<int>(std::floor(fu)), row = static_cast<int>(std::floor(fv));
    if (fu >= 0 && fv >= 0 && col < d.cols && row < d.rows && (fu - col) * d.pitchU < d.cellU &&
        (fv - row) * d.pitchV < d.cellV)
        return (col == d.todayCol && row == d.todayRow) ? kToday : kOrange;
    return Mix(kSheetWhite, kSheetShade, Clamp01((v - d.band) / (1 - d.band)) * 0.8);
}

// The clock's colour at p, or clear outside it.
Colour ClockAt(const IconDesign& d, Vec p) {
    const double r = Dist(p, d.centre);
    if (r > d.radius) return kClear;
    if (r > d.radius - d.edge) return kClockEdge;
    const double rimInner = d.radius - d.edge - d.rim;
    const double dx = (p.x - d.centre.x) / std::max(r, 1e-9), dy = (p.y - d.centre.y) / std::max(r, 1e-9);
    if (r > rimInner) {
        // Brushed silver: lit from the upper left, with a bright ridge along the middle of the rim.
        const double light = -(dx * 0.6 + dy * 0.8);  // -1..1
        const double s = (r - rimInner) / d.rim;       // 0 inner .. 1 outer
        const double ridge = 1 - std::fabs(2 * s - 1);
        const double v = std::min(255.0, 176 + 50 * light + 34 * ridge);
        return Opaque(v, v, std::min(255.0, v + 8));
    }
    if (r > rimInner - d.innerLine) return kClockEdge;
    // Hands and centre cap.
    const double ha = d.hourDeg * kPi / 180, ma = d.minuteDeg * kPi / 180;
    const Vec hourTip = {d.centre.x + std::sin(ha) * d.hourLen, d.centre.y - std::cos(ha) * d.hourLen};
    const Vec minuteTip = {d.centre.x + std::sin(ma) * d.minuteLen, d.centre.y - std::cos(ma) * d.minuteLen};
    if (r < d.cap || DistToSegment(p, d.centre, hourTip) < d.hourW / 2 ||
        DistToSegment(p, d.centre, minuteTip) < d.minuteW / 2)
        return kHands;
    // Hour marks at 12, 3, 6 and 9.
    const double ax = std::fabs(p.x - d.centre.x), ay = std::fabs(p.y - d.centre.y);
    if ((ax < d.markW / 2 && ay >= d.markR0 && ay <= d.markR1) ||
        (ay < d.markW / 2 && ax >= d.markR0 && ax <= d.markR1))
        return kOrange;
    // Pale blue face, lighter towards the upper left.
    const double t = Clamp01(0.5 + 0.5 * ((dx * 0.6 + dy * 0.8) * r / rimInner));
    return Mix(kFaceLight, kFace, t);
}

// Binder rings: short dark capsules standing across the sheet's top edge.
Colour RingsAt(const IconDesign& d, Vec p) {
    for (int i = 1; i <= d.rings; ++i) {
        const double u = 0.2 * i;
        const Vec top = {d.sheet[0].x + (d.sheet[1].x - d.sheet[0].x) * u, d.sheet[0].y + (d.sheet[1].y - d.sheet[0].y) * u};
        const Vec a = {top.x, top.y - d.ringLen / 2 + d.ringW / 2}, b = {top.x, top.y + d.ringLen / 2 - d.ringW / 2};
        const double dist = DistToSegment(p, a, b);
        if (dist < d.ringW / 2) {
            // Rounded metal: lighter on the left.
            const double t = Clamp01(0.5 + (p.x - top.x) / d.ringW);
            return Mix(Opaque(150, 154, 170), Opaque(58, 62, 78), t);
        }
    }
    return kClear;
}

Colour SceneAt(const IconDesign& d, const Homography& h, Vec p) {
    Colour c = ClockAt(d, p);  // the clock lies on top of the sheet
    if (c.a > 0) return c;
    c = RingsAt(d, p);
    if (c.a > 0) return c;
    return SheetAt(d, h, p);
}

struct Image {  // straight RGBA, 8 bits per channel, row 0 at the top
    int size = 0;
    std::vector<std::array<uint8_t, 4>> px;
};

uint8_t ToByte(double v) { return static_cast<uint8_t>(std::lround(std::min(255.0, std::max(0.0, v)))); }

Image RenderIcon(const IconDesign& d) {
    const int n = d.size;
    const Homography h(d.sheet);
    // Premultiplied accumulation of the shapes, and the shapes' coverage shifted for the shadow.
    std::vector<double> pr(n * n), pg(n * n), pb(n * n), pa(n * n), shadow(n * n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            double sr = 0, sg = 0, sb = 0, sa = 0, sh = 0;
            for (int j = 0; j < kSuper; ++j)
                for (int i = 0; i < kSuper; ++i) {
                    const Vec p = {x + (i + 0.5) / kSuper, y + (j + 0.5) / kSuper};
                    const Colour c = SceneAt(d, h, p);
                    sr += c.r * c.a;
                    sg += c.g * c.a;
                    sb += c.b * c.a;
                    sa += c.a;
                    const Vec q = {p.x - d.shadowOffset.x, p.y - d.shadowOffset.y};
                    sh += SceneAt(d, h, q).a;
                }
            const double k = 1.0 / (kSuper * kSuper);
            pr[y * n + x] = sr * k;
            pg[y * n + x] = sg * k;
            pb[y * n + x] = sb * k;
            pa[y * n + x] = sa * k;
            shadow[y * n + x] = sh * k;
        }
    // Soften the shadow: separable Gaussian blur.
    const int rad = static_cast<int>(std::ceil(d.shadowSigma * 3));
    std::vector<double> kernel(2 * rad + 1);
    double ksum = 0;
    for (int i = -rad; i <= rad; ++i) ksum += kernel[i + rad] = std::exp(-(i * i) / (2 * d.shadowSigma * d.shadowSigma));
    for (double& w : kernel) w /= ksum;
    std::vector<double> tmp(n * n, 0.0), blurred(n * n, 0.0);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            for (int i = -rad; i <= rad; ++i)
                if (x + i >= 0 && x + i < n) tmp[y * n + x] += kernel[i + rad] * shadow[y * n + x + i];
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            for (int i = -rad; i <= rad; ++i)
                if (y + i >= 0 && y + i < n) blurred[y * n + x] += kernel[i + rad] * tmp[(y + i) * n + x];

    Image img;
    img.size = n;
    img.px.resize(n * n);
    for (int i = 0; i < n * n; ++i) {
        // Shapes over the black shadow (premultiplied "over").
        const double sa = blurred[i] * d.shadowOpacity;
        const double a = pa[i] + sa * (1 - pa[i]);
        const double r = pr[i], g = pg[i], b = pb[i];  // shadow colour is black: adds nothing
        const uint8_t a8 = ToByte(a * 255);
        if (a8 == 0) {
            img.px[i] = {0, 0, 0, 0};
            continue;
        }
        img.px[i] = {ToByte(r / a), ToByte(g / a), ToByte(b / a), a8};
    }
    return img;
}

// The three designs. 48 px is the reference drawing; 32 px is it scaled; 16 px is redrawn on the
// pixel grid (upright sheet, one-pixel squares, whole-pixel rim) so that it stays readable.
IconDesign Design48() {
    IconDesign d{};
    d.size = 48;
    d.centre = {31.0, 16.0};
    d.radius = 15.0;
    d.edge = 1.0;
    d.rim = 3.6;
    d.innerLine = 0.8;
    d.markR0 = 6.2;
    d.markR1 = 9.0;
    d.markW = 2.2;
    d.hourLen = 5.4;
    d.hourW = 2.4;
    d.minuteLen = 8.0;
    d.minuteW = 1.8;
    d.cap = 1.7;
    d.hourDeg = 300;   // ten o'clock
    d.minuteDeg = 60;  // ten past
    d.sheet[0] = {2.0, 20.0};
    d.sheet[1] = {27.0, 17.5};
    d.sheet[2] = {30.5, 42.5};
    d.sheet[3] = {3.5, 45.5};
    d.border = 1.0;
    d.band = 0.24;
    d.cols = 4;
    d.rows = 3;
    d.gridU0 = 0.12;
    d.gridV0 = 0.36;
    d.pitchU = 0.2;
    d.pitchV = 0.2;
    d.cellU = 0.13;
    d.cellV = 0.13;
    d.todayCol = 1;
    d.todayRow = 1;
    d.rings = 2;
    d.ringLen = 4.0;
    d.ringW = 1.6;
    d.shadowOffset = {1.5, 1.8};
    d.shadowSigma = 1.4;
    d.shadowOpacity = 0.45;
    return d;
}

IconDesign Scaled(const IconDesign& ref, int size) {
    IconDesign d = ref;
    const double k = static_cast<double>(size) / ref.size;
    d.size = size;
    d.centre = {ref.centre.x * k, ref.centre.y * k};
    for (double* v : {&d.radius, &d.edge, &d.rim, &d.innerLine, &d.markR0, &d.markR1, &d.markW, &d.hourLen,
                      &d.hourW, &d.minuteLen, &d.minuteW, &d.cap, &d.border, &d.ringLen, &d.ringW, &d.shadowSigma})
        *v *= k;
    for (int i = 0; i < 4; ++i) d.sheet[i] = {ref.sheet[i].x * k, ref.sheet[i].y * k};
    d.shadowOffset = {ref.shadowOffset.x * k, ref.shadowOffset.y * k};
    return d;
}

IconDesign Design32() {
    IconDesign d = Scaled(Design48(), 32);
    d.edge = 0.9;
    d.border = 0.9;
    d.innerLine = 0.7;
    d.hourW = 1.8;
    d.minuteW = 1.4;
    return d;
}

IconDesign Design16() {
    IconDesign d{};
    d.size = 16;
    d.centre = {10.5, 5.5};  // the middle of pixel (10, 5): the face has a centre pixel
    d.radius = 5.5;
    d.edge = 0.75;
    d.rim = 1.15;
    d.innerLine = 0.0;
    d.markR0 = 2.5;  // one pixel each, three pixels from the centre: (10,2) (13,5) (10,8) (7,5)
    d.markR1 = 3.5;
    d.markW = 1.0;
    d.hourLen = 1.5;  // diagonals ending on pixel centres stay crisp
    d.hourW = 1.0;
    d.minuteLen = 2.7;
    d.minuteW = 1.0;
    d.cap = 0.6;
    d.hourDeg = 315;
    d.minuteDeg = 45;
    d.sheet[0] = {1.0, 6.0};  // upright, on pixel edges
    d.sheet[1] = {10.0, 6.0};
    d.sheet[2] = {10.0, 15.0};
    d.sheet[3] = {1.0, 15.0};
    d.border = 1.0;
    d.band = 3.0 / 9;  // rows 7 and 8
    d.cols = 3;
    d.rows = 2;
    d.gridU0 = 2.0 / 9;  // squares at x 3, 5, 7 and y 10, 12
    d.gridV0 = 4.0 / 9;
    d.pitchU = 2.0 / 9;
    d.pitchV = 2.0 / 9;
    d.cellU = 1.0 / 9;
    d.cellV = 1.0 / 9;
    d.todayCol = 1;
    d.todayRow = 0;
    d.rings = 0;
    d.shadowOffset = {0.6, 0.7};
    d.shadowSigma = 0.6;
    d.shadowOpacity = 0.4;
    return d;
}

// ---------------------------------------------------------------------------------------------
// Palette reduction for the 8-bit images: median cut on the opaque pixels' colours, weighted by
// how often each occurs; index 0 stays black (the colour under the transparent pixels).

struct Counted {
    uint32_t rgb;  // 0xRRGGBB
    uint32_t count;
};

int Channel(uint32_t rgb, int c) { return (rgb >> (16 - 8 * c)) & 0xFF; }

std::vector<uint32_t> MedianCut(std::vector<Counted> colours, size_t maxColours) {
    std::sort(colours.begin(), colours.end(), [](const Counted& a, const Counted& b) { return a.rgb < b.rgb; });
    if (colours.size() <= maxColours) {
        std::vector<uint32_t> out;
        for (const Counted& c : colours) out.push_back(c.rgb);
        return out;
    }
    struct Box {
        size_t begin, end;
    };
    auto error = [&](const Box& b) {  // weighted sum of squared distances from the box mean
        double n = 0, s[3] = {0, 0, 0}, q[3] = {0, 0, 0};
        for (size_t i = b.begin; i < b.end; ++i)
            for (int c = 0; c < 3; ++c) {
                const double v = Channel(colours[i].rgb, c);
                s[c] += v * colours[i].count;
                q[c] += v * v * colours[i].count;
            }
        for (size_t i = b.begin; i < b.end; ++i) n += colours[i].count;
        double e = 0;
        for (int c = 0; c < 3; ++c) e += q[c] - s[c] * s[c] / n;
        return e;
    };
    std::vector<Box> boxes = {{0, colours.size()}};
    while (boxes.size() < maxColours) {
        int best = -1;
        double bestErr = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].end - boxes[i].begin < 2) continue;
            const double e = error(boxes[i]);
            if (e > bestErr) {
                bestErr = e;
                best = static_cast<int>(i);
            }
        }
        if (best < 0) break;
        Box b = boxes[best];
        // Split along the widest channel at the weighted median.
        int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
        for (size_t i = b.begin; i < b.end; ++i)
            for (int c = 0; c < 3; ++c) {
                lo[c] = std::min(lo[c], Channel(colours[i].rgb, c));
                hi[c] = std::max(hi[c], Channel(colours[i].rgb, c));
            }
        int ch = 0;
        for (int c = 1; c < 3; ++c)
            if (hi[c] - lo[c] > hi[ch] - lo[ch]) ch = c;
        std::sort(colours.begin() + b.begin, colours.begin() + b.end, [ch](const Counted& p, const Counted& q) {
            const int a = Channel(p.rgb, ch), c = Channel(q.rgb, ch);
            return a != c ? a < c : p.rgb < q.rgb;
        });
        uint64_t total = 0, run = 0;
        for (size_t i = b.begin; i < b.end; ++i) total += colours[i].count;
        size_t cut = b.begin + 1;
        for (size_t i = b.begin; i < b.end - 1; ++i) {
            run += colours[i].count;
            cut = i + 1;
            if (2 * run >= total) break;
        }
        boxes[best] = {b.begin, cut};
        boxes.push_back({cut, b.end});
    }
    std::vector<uint32_t> out;
    for (const Box& b : boxes) {
        double n = 0, s[3] = {0, 0, 0};
        for (size_t i = b.begin; i < b.end; ++i) {
            n += colours[i].count;
            for (int c = 0; c < 3; ++c) s[c] += static_cast<double>(Channel(colours[i].rgb, c)) * colours[i].count;
        }
        out.push_back((uint32_t{ToByte(s[0] / n)} << 16) | (uint32_t{ToByte(s[1] / n)} << 8) | ToByte(s[2] / n));
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

constexpr uint8_t kOpaqueFrom = 128;  // alpha at or above this is opaque in the 1-bit mask

std::vector<uint8_t> AndMask(const Image& img) {
    const int n = img.size;
    const int stride = ((n + 31) / 32) * 4;
    std::vector<uint8_t> mask(stride * n, 0);
    for (int y = 0; y < n; ++y) {
        const int row = n - 1 - y;  // bottom-up
        for (int x = 0; x < n; ++x)
            if (img.px[y * n + x][3] < kOpaqueFrom) mask[row * stride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    return mask;
}

std::vector<uint8_t> EncodeIcon8(const Image& img) {
    const int n = img.size;
    std::map<uint32_t, uint32_t> counts;
    for (const auto& p : img.px)
        if (p[3] >= kOpaqueFrom) ++counts[(uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2]];
    std::vector<Counted> colours;
    for (const auto& kv : counts) colours.push_back({kv.first, kv.second});
    std::vector<uint32_t> palette = {0x000000};
    for (uint32_t c : MedianCut(colours, 255))
        if (c != 0) palette.push_back(c);
    auto nearest = [&](uint32_t rgb) {
        int best = 0;
        long bestD = -1;
        for (size_t i = 0; i < palette.size(); ++i) {
            long dd = 0;
            for (int c = 0; c < 3; ++c) {
                const long e = Channel(rgb, c) - Channel(palette[i], c);
                dd += e * e;
            }
            if (bestD < 0 || dd < bestD) {
                bestD = dd;
                best = static_cast<int>(i);
            }
        }
        return static_cast<uint8_t>(best);
    };
    const int stride = (n + 3) & ~3;
    const std::vector<uint8_t> mask = AndMask(img);
    Bytes out;
    InfoHeader(out, n, 2 * n, 8, static_cast<uint32_t>(stride * n + mask.size()), 0);
    for (int i = 0; i < 256; ++i) {
        const uint32_t c = i < static_cast<int>(palette.size()) ? palette[i] : 0;
        out.U8(c & 0xFF);
        out.U8((c >> 8) & 0xFF);
        out.U8((c >> 16) & 0xFF);
        out.U8(0);
    }
    for (int y = n - 1; y >= 0; --y) {
        int x = 0;
        for (; x < n; ++x) {
            const auto& p = img.px[y * n + x];
            out.U8(p[3] >= kOpaqueFrom ? nearest((uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2]) : 0);
        }
        for (; x < stride; ++x) out.U8(0);
    }
    out.Append(mask);
    return out.data;
}

std::vector<uint8_t> EncodeIcon32(const Image& img) {
    const int n = img.size;
    const std::vector<uint8_t> mask = AndMask(img);
    Bytes out;
    InfoHeader(out, n, 2 * n, 32, static_cast<uint32_t>(4 * n * n + mask.size()), 0);
    for (int y = n - 1; y >= 0; --y)
        for (int x = 0; x < n; ++x) {
            const auto& p = img.px[y * n + x];
            out.U8(p[2]);
            out.U8(p[1]);
            out.U8(p[0]);
            out.U8(p[3]);
        }
    out.Append(mask);
    return out.data;
}

struct IconEntry {
    int size;
    int bitCount;
    std::vector<uint8_t> data;
};

std::vector<uint8_t> EncodeIco(const std::vector<IconEntry>& entries) {
    Bytes out;
    out.U16(0);  // reserved
    out.U16(1);  // type: icon
    out.U16(static_cast<uint32_t>(entries.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(entries.size());
    for (const IconEntry& e : entries) {
        out.U8(e.size);  // width (0 would mean 256)
        out.U8(e.size);  // height
        out.U8(0);       // colour count: 0 for 256 colours or more
        out.U8(0);       // reserved
        out.U16(1);      // planes
        out.U16(e.bitCount);
        out.U32(static_cast<uint32_t>(e.data.size()));
        out.U32(offset);
        offset += static_cast<uint32_t>(e.data.size());
    }
    for (const IconEntry& e : entries) out.Append(e.data);
    return out.data;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];

    if (!WriteFile(dir + "/BandeauTitre.bmp", EncodeBmp24(DrawStrip()))) {
        std::fprintf(stderr, "cannot write %s/BandeauTitre.bmp\n", dir.c_str());
        return 1;
    }

    const Image i16 = RenderIcon(Design16());
    const Image i32 = RenderIcon(Design32());
    const Image i48 = RenderIcon(Design48());
    const std::vector<IconEntry> entries = {
        {16, 8, EncodeIcon8(i16)},   {32, 8, EncodeIcon8(i32)},   {48, 8, EncodeIcon8(i48)},
        {16, 32, EncodeIcon32(i16)}, {32, 32, EncodeIcon32(i32)}, {48, 32, EncodeIcon32(i48)},
    };
    if (!WriteFile(dir + "/IconeProgramme.ico", EncodeIco(entries))) {
        std::fprintf(stderr, "cannot write %s/IconeProgramme.ico\n", dir.c_str());
        return 1;
    }
    return 0;
}
