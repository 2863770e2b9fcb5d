// Checks the committed pictures in resources/ (drawn by resources/gen/draw_resources.cpp): what the
// window and the build rely on, so that a regenerated or hand-edited file that breaks it is caught.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#ifndef TARVEIL_SOURCE_DIR
#error "TARVEIL_SOURCE_DIR must name the source root"
#endif

namespace {

std::vector<uint8_t> ReadResource(const char* name) {
    const std::string path = std::string(TARVEIL_SOURCE_DIR) + "/resources/" + name;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot open " << path;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t U16(const std::vector<uint8_t>& d, size_t at) { return d.at(at) | (d.at(at + 1) << 8); }
uint32_t U32(const std::vector<uint8_t>& d, size_t at) { return U16(d, at) | (U16(d, at + 2) << 16); }
int32_t I32(const std::vector<uint8_t>& d, size_t at) { return static_cast<int32_t>(U32(d, at)); }

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb& o) const { return !(*this == o); }
};

std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// ---------------------------------------------------------------------------------------------
// BandeauTitre.bmp

constexpr int kW = 240, kH = 16;

class StripTest : public ::testing::Test {
protected:
    void SetUp() override {
        bmp = ReadResource("BandeauTitre.bmp");
        ASSERT_GE(bmp.size(), 54u);
        ASSERT_EQ(bmp[0], 'B');
        ASSERT_EQ(bmp[1], 'M');
        ASSERT_EQ(U32(bmp, 14), 40u) << "BITMAPINFOHEADER";
        ASSERT_EQ(I32(bmp, 18), kW);
        ASSERT_EQ(I32(bmp, 22), kH) << "bottom-up, 16 rows";
        ASSERT_EQ(U16(bmp, 26), 1u) << "planes";
        ASSERT_EQ(U16(bmp, 28), 24u) << "24-bit";
        ASSERT_EQ(U32(bmp, 30), 0u) << "BI_RGB";
        offset = U32(bmp, 10);
        ASSERT_GE(bmp.size(), offset + kStride * kH);
    }

    // Row 0 is the top row; the file stores rows bottom-up as B, G, R.
    Rgb At(int x, int y) const {
        const size_t p = offset + static_cast<size_t>(kH - 1 - y) * kStride + 3 * x;
        return {bmp[p + 2], bmp[p + 1], bmp[p]};
    }

    static constexpr size_t kStride = kW * 3;  // 720, already a multiple of 4
    std::vector<uint8_t> bmp;
    size_t offset = 0;
};

const Rgb kTitleBlue = {64, 64, 255};

// The bar's colour per row, as column 40 (clear of title and buttons) has it.
TEST_F(StripTest, GradientRows) {
    const int x = 40;
    EXPECT_EQ(At(x, 0), (Rgb{169, 169, 172}));
    for (int y = 1; y <= 3; ++y) EXPECT_EQ(At(x, y), (Rgb{255, 255, 255})) << "row " << y;
    EXPECT_EQ(At(x, 4), (Rgb{244, 244, 252}));
    EXPECT_EQ(At(x, 11), (Rgb{136, 136, 143}));
    EXPECT_EQ(At(x, 15), (Rgb{149, 149, 160}));
    // Rows 4..11 get darker, 11..14 lighter again (139 to 163).
    for (int y = 5; y <= 11; ++y) EXPECT_LT(At(x, y).r, At(x, y - 1).r) << "row " << y;
    EXPECT_EQ(At(x, 12).r, 139);
    EXPECT_EQ(At(x, 14).r, 163);
    for (int y = 12; y <= 14; ++y) EXPECT_GT(At(x, y).r, At(x, y - 1).r) << "row " << y;
    for (int y = 4; y <= 15; ++y) EXPECT_GT(At(x, y).b, At(x, y).r) << "bluish, row " << y;
}

TEST_F(StripTest, SameGradientInEveryPlainColumnAndDarkerLeftEdge) {
    for (int x = 1; x < kW; ++x) {
        const bool title = x >= 86 && x <= 154;
        const bool buttons = x >= 212;
        if (title || buttons) continue;
        for (int y = 0; y < kH; ++y) ASSERT_EQ(At(x, y), At(40, y)) << "x " << x << " y " << y;
    }
    for (int y = 0; y < kH; ++y) {
        const Rgb edge = At(0, y), bar = At(40, y);
        EXPECT_LT(edge.r + edge.g + edge.b, bar.r + bar.g + bar.b) << "row " << y;
    }
}

TEST_F(StripTest, TitleIsBlueAndInsideItsBox) {
    int count = 0, minX = kW, maxX = -1, minY = kH, maxY = -1;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (At(x, y) == kTitleBlue) {
                ++count;
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    EXPECT_GT(count, 150) << "\"Tarveil XP\" in bold";
    EXPECT_GE(minX, 86);
    EXPECT_LE(maxX, 154);
    EXPECT_GE(minY, 4);
    EXPECT_LE(maxY, 11);
    EXPECT_GE(maxX - minX, 50) << "ten letters wide";
    EXPECT_LE(std::abs((minX + maxX) - 240), 4) << "centred near x = 120";
    // Inside the box, a pixel is either the bar or the title.
    for (int y = 0; y < kH; ++y)
        for (int x = 86; x <= 154; ++x)
            EXPECT_TRUE(At(x, y) == At(40, y) || At(x, y) == kTitleBlue) << "x " << x << " y " << y;
}

bool Light(const Rgb& c) { return c.r >= 200 && c.g >= 200 && c.b >= 200; }

TEST_F(StripTest, ButtonGlyphsOnlyInsideTheirClickAreas) {
    // Right of the title, anything that is not the bar belongs to a glyph, and lies in a click area:
    // minimise x 212..227, close x 228..239, y 0..15.
    for (int y = 0; y < kH; ++y)
        for (int x = 155; x < kW; ++x)
            if (At(x, y) != At(40, y)) {
                EXPECT_GE(x, 212) << "stray pixel at x " << x << " y " << y;
            }

    int minimise = 0, close = 0, dark = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 212; x < kW; ++x) {
            const Rgb c = At(x, y);
            if (c == At(40, y)) continue;
            if (Light(c)) {
                if (x < 228) {
                    ++minimise;
                    EXPECT_TRUE(x >= 218 && x <= 224 && y >= 9 && y <= 10) << "minimise at x " << x << " y " << y;
                } else {
                    ++close;
                    EXPECT_TRUE(x >= 230 && x <= 237 && y >= 3 && y <= 11) << "close at x " << x << " y " << y;
                }
            } else {
                EXPECT_LT(c.r + c.g + c.b, 300) << "outline is dark, x " << x << " y " << y;
                ++dark;
            }
        }
    EXPECT_EQ(minimise, 14) << "a bar 7 x 2";
    EXPECT_GT(close, 20);
    EXPECT_GT(dark, 20) << "dark outline";
    // The bar, and the X's four ends and middle.
    for (int x = 218; x <= 224; ++x) {
        EXPECT_TRUE(Light(At(x, 9))) << x;
        EXPECT_TRUE(Light(At(x, 10))) << x;
    }
    for (auto xy : {std::make_pair(230, 3), std::make_pair(237, 3), std::make_pair(230, 11),
                    std::make_pair(237, 11), std::make_pair(233, 7), std::make_pair(234, 7)})
        EXPECT_TRUE(Light(At(xy.first, xy.second))) << xy.first << "," << xy.second;
    EXPECT_FALSE(Light(At(233, 3))) << "an X, not a block";
}

// ---------------------------------------------------------------------------------------------
// IconeProgramme.ico

TEST(IconTest, SixImagesAtTheStatedSizesAndDepths) {
    const std::vector<uint8_t> ico = ReadResource("IconeProgramme.ico");
    ASSERT_GE(ico.size(), 6u);
    EXPECT_EQ(U16(ico, 0), 0u);
    EXPECT_EQ(U16(ico, 2), 1u) << "icon";
    ASSERT_EQ(U16(ico, 4), 6u);
    ASSERT_GE(ico.size(), 6u + 6 * 16);

    std::set<std::tuple<int, int, int>> seen;
    for (int i = 0; i < 6; ++i) {
        const size_t e = 6 + 16 * i;
        const int w = ico[e], h = ico[e + 1], bits = static_cast<int>(U16(ico, e + 6));
        const uint32_t bytes = U32(ico, e + 8), at = U32(ico, e + 12);
        SCOPED_TRACE("image " + std::to_string(i) + ": " + std::to_string(w) + "x" + std::to_string(h) + "x" +
                     std::to_string(bits));
        seen.insert({w, h, bits});
        EXPECT_EQ(U16(ico, e + 4), 1u) << "planes";
        ASSERT_LE(static_cast<size_t>(at) + bytes, ico.size());
        // The image: BITMAPINFOHEADER, palette for 8-bit, colour rows, 1-bit AND mask.
        ASSERT_EQ(U32(ico, at), 40u);
        EXPECT_EQ(I32(ico, at + 4), w);
        EXPECT_EQ(I32(ico, at + 8), 2 * h) << "colour + mask";
        EXPECT_EQ(U16(ico, at + 14), static_cast<uint32_t>(bits));
        EXPECT_EQ(U32(ico, at + 16), 0u) << "BI_RGB";
        const size_t palette = bits == 8 ? 256 * 4 : 0;
        const size_t rowBytes = ((w * bits + 31) / 32) * 4, maskRow = ((w + 31) / 32) * 4;
        EXPECT_EQ(bytes, 40 + palette + rowBytes * h + maskRow * h);
        const size_t pixels = at + 40 + palette, mask = pixels + rowBytes * h;

        // Transparent background (the top-left corner is clear in every size), opaque drawing.
        auto masked = [&](int x, int y) {  // y from the top
            return (ico[mask + (h - 1 - y) * maskRow + x / 8] >> (7 - x % 8)) & 1;
        };
        EXPECT_EQ(masked(0, 0), 1) << "top-left corner transparent";
        EXPECT_EQ(masked(w / 2, h * 3 / 4), 0) << "calendar opaque";
        EXPECT_EQ(masked(w * 2 / 3, h / 3), 0) << "clock opaque";
        if (bits == 32) {
            auto alpha = [&](int x, int y) { return ico[pixels + (h - 1 - y) * rowBytes + 4 * x + 3]; };
            EXPECT_EQ(alpha(0, 0), 0);
            EXPECT_EQ(alpha(w * 2 / 3, h / 3), 255);
            int soft = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) soft += alpha(x, y) > 0 && alpha(x, y) < 255;
            EXPECT_GT(soft, w / 2) << "anti-aliased edges and a soft shadow";
        }
    }
    const std::set<std::tuple<int, int, int>> expected = {{16, 16, 8},  {32, 32, 8},  {48, 48, 8},
                                                          {16, 16, 32}, {32, 32, 32}, {48, 48, 32}};
    EXPECT_EQ(seen, expected);
}

}  // namespace
