#include "platform/devices/encoder/test_pattern.h"

#include "platform/devices/encoder/bitmap_font.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace host::encoder {
namespace {

struct Yuv {
    uint8_t y, u, v;
};
// 75% colour bars in video-range BT.601: white, yellow, cyan, green, magenta, red, blue.
constexpr Yuv kBars[] = {{180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
                         {84, 184, 198},  {65, 100, 212}, {35, 212, 114}};
constexpr uint8_t kBlack = 16, kPanel = 32, kWhite = 235, kDimMarker = 64;

// A writable view of one plane, clipping every drawing to its edges.
struct Canvas {
    uint8_t* data;
    int stride;
    int width;
    int height;

    void Fill(int x0, int y0, int x1, int y1, uint8_t value) const {
        x0 = std::clamp(x0, 0, width);
        x1 = std::clamp(x1, 0, width);
        y0 = std::clamp(y0, 0, height);
        y1 = std::clamp(y1, 0, height);
        if (x0 >= x1) return;
        for (int y = y0; y < y1; ++y) std::memset(data + static_cast<ptrdiff_t>(y) * stride + x0, value, x1 - x0);
    }

    void Text(int x, int y, int scale, const std::string& text, uint8_t value) const {
        for (char c : text) {
            const auto& columns = GlyphColumns(c);
            for (int col = 0; col < kGlyphWidth; ++col)
                for (int row = 0; row < kGlyphHeight; ++row)
                    if (columns[col] & (1u << row))
                        Fill(x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale, value);
            x += kCellWidth * scale;
            if (x >= width) return;
        }
    }
};

Canvas CanvasOf(const PicturePlanes& p, int plane, int width, int height) {
    return {p.data[plane], p.stride[plane], width, height};
}

// Bands of the picture, as fractions of its height.
int BarsBottom(int height) { return (height * 7 / 12) & ~1; }
int RampBottom(int height) { return (height * 8 / 12) & ~1; }

} // namespace

TestPattern::TestPattern(const EncoderSettings& settings, const LoopPlan& plan)
    : m_plan(plan), m_settings(settings), m_scale(std::max(1, settings.height / 160)) {
    const int w = settings.width, h = settings.height;
    m_background[0] = {std::vector<uint8_t>(static_cast<size_t>(w) * h), w, h};
    for (int p = 1; p < 3; ++p) m_background[p] = {std::vector<uint8_t>(static_cast<size_t>(w / 2) * (h / 2)), w / 2, h / 2};
    DrawBackground();
}

void TestPattern::DrawBackground() {
    const int w = m_settings.width, h = m_settings.height;
    PicturePlanes planes;
    for (int p = 0; p < 3; ++p) {
        planes.data[p] = m_background[p].pixels.data();
        planes.stride[p] = m_background[p].width;
    }
    const Canvas y = CanvasOf(planes, 0, w, h), u = CanvasOf(planes, 1, w / 2, h / 2),
                 v = CanvasOf(planes, 2, w / 2, h / 2);

    const int bars = BarsBottom(h), ramp = RampBottom(h);
    constexpr int kBarCount = sizeof kBars / sizeof kBars[0];
    for (int i = 0; i < kBarCount; ++i) {
        const int x0 = (w * i / kBarCount) & ~1, x1 = (w * (i + 1) / kBarCount) & ~1;
        y.Fill(x0, 0, x1, bars, kBars[i].y);
        u.Fill(x0 / 2, 0, x1 / 2, bars / 2, kBars[i].u);
        v.Fill(x0 / 2, 0, x1 / 2, bars / 2, kBars[i].v);
    }
    for (int x = 0; x < w; ++x) y.Fill(x, bars, x + 1, ramp, static_cast<uint8_t>(kBlack + (kWhite - kBlack) * x / (w - 1)));
    u.Fill(0, bars / 2, w / 2, h / 2, 128);
    v.Fill(0, bars / 2, w / 2, h / 2, 128);
    y.Fill(0, ramp, w, h, kPanel);

    const int line = kCellHeight * m_scale, margin = 2 * m_scale;
    y.Text(margin, ramp + margin, m_scale, m_settings.deviceName, kWhite);
    y.Text(margin, ramp + margin + line, m_scale, DescribeVideo(m_settings), kWhite);
    y.Text(margin, ramp + margin + 2 * line, m_scale, DescribeAudio(m_settings), kWhite);
}

// The loop is encoded once and repeated, so a frame can truthfully show only where it is in the
// loop, never a time of the stream it ends up in.
std::string TestPattern::FrameText(int32_t loopFrame) const {
    char text[48];
    std::snprintf(text, sizeof text, "loop frame %d/%d", loopFrame + 1, m_plan.VideoFrames());
    return text;
}

void TestPattern::Render(int32_t loopFrame, const PicturePlanes& out) const {
    const int w = m_settings.width, h = m_settings.height;
    for (int p = 0; p < 3; ++p) {
        const Plane& plane = m_background[p];
        for (int row = 0; row < plane.height; ++row)
            std::memcpy(out.data[p] + static_cast<ptrdiff_t>(row) * out.stride[p],
                        plane.pixels.data() + static_cast<size_t>(row) * plane.width, plane.width);
    }
    const Canvas y = CanvasOf(out, 0, w, h), u = CanvasOf(out, 1, w / 2, h / 2), v = CanvasOf(out, 2, w / 2, h / 2);
    const int frames = m_plan.VideoFrames();

    // The box enters at the left edge on the loop's first frame and has just left at the right
    // edge after its last one.
    const int boxW = (w / 8) & ~1, boxH = (h / 6) & ~1;
    const int boxX = static_cast<int>((int64_t{w} + boxW) * loopFrame / frames - boxW) & ~1;
    const int boxY = (BarsBottom(h) / 2 - boxH / 2) & ~1;
    y.Fill(boxX, boxY, boxX + boxW, boxY + boxH, kWhite);
    y.Fill(boxX + boxW / 4, boxY + boxH / 4, boxX + boxW * 3 / 4, boxY + boxH * 3 / 4, kBlack);
    u.Fill(boxX / 2, boxY / 2, (boxX + boxW) / 2, (boxY + boxH) / 2, 128);
    v.Fill(boxX / 2, boxY / 2, (boxX + boxW) / 2, (boxY + boxH) / 2, 128);

    const int ramp = RampBottom(h), line = kCellHeight * m_scale, margin = 2 * m_scale;
    y.Text(margin, ramp + margin + 3 * line, m_scale, FrameText(loopFrame), kWhite);

    const int barTop = h - 2 * margin;
    y.Fill(0, barTop, static_cast<int>(int64_t{w} * (loopFrame + 1) / frames), h, kWhite);

    const int marker = std::max(8, std::min(w, h) / 10) & ~1;
    y.Fill(w - marker - margin, ramp + margin, w - margin, ramp + margin + marker,
           m_plan.IsMarkerFrame(loopFrame) ? kWhite : kDimMarker);
}

} // namespace host::encoder
