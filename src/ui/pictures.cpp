#include "ui/pictures.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <utility>

#include "ui/baked_pictures.h"
#include "ui/canvas.h"

namespace ui {
namespace {

using namespace drawing;

// ---- Reusable parts --------------------------------------------------------------------

const Rgba kShadow = Hex(0x000000, 0.18f);

// A loudspeaker driver seen from the front.
void Driver(Canvas& c, float cx, float cy, float r) {
    c.Circle(cx, cy, r, Linear(cx - r, cy - r, Hex(0xB9BEC6), cx + r, cy + r, Hex(0x50555D)));
    c.Circle(cx, cy, r * 0.84f, Radial(cx, cy, r * 0.84f, Hex(0x3A3F46), Hex(0x101215)));
    c.Ring(cx, cy, r * 0.62f, r * 0.62f, r * 0.06f, Solid(0x4A5058));
    c.Circle(cx, cy, r * 0.3f,
             Radial(cx - r * 0.1f, cy - r * 0.1f, r * 0.35f, Hex(0xA7ADB5), Hex(0x2E3238)));
    c.Ellipse(cx - r * 0.35f, cy - r * 0.45f, r * 0.22f, r * 0.12f, Solid(0xFFFFFF, 0.25f));
}

// A speaker cabinet with one driver (small) or a tweeter over a woofer (tall).
void Cabinet(Canvas& c, float x, float y, float w, float h) {
    c.RoundRect(x + 1.2f, y + 1.5f, w, h, w * 0.12f, Solid(kShadow));
    c.RoundRect(x, y, w, h, w * 0.12f, Horizontal(x, 0x5A6069, x + w, 0x1C1F24));
    c.RoundRect(x + w * 0.08f, y + w * 0.08f, w * 0.84f, h - w * 0.16f, w * 0.08f,
                Vertical(y, 0x33373E, y + h, 0x202328));
    if (h > w * 1.6f) {
        Driver(c, x + w / 2, y + h * 0.24f, w * 0.17f);
        Driver(c, x + w / 2, y + h * 0.64f, w * 0.36f);
    } else {
        Driver(c, x + w / 2, y + h / 2, std::min(w, h) * 0.34f);
    }
}

// A loudspeaker seen from above, its front facing +x, centred on the origin; used rotated.
void SpeakerFromAbove(Canvas& c, float size) {
    const float w = size * 0.75f, h = size;
    c.RoundRect(-w / 2 + 0.8f, -h / 2 + 0.8f, w, h, size * 0.1f, Solid(kShadow));
    c.RoundRect(-w / 2, -h / 2, w, h, size * 0.1f, Horizontal(-w / 2, 0x2A2E34, w / 2, 0x4E545D));
    c.Rect(w / 2 - size * 0.14f, -h / 2 + size * 0.08f, size * 0.12f, h - size * 0.16f,
           Vertical(-h / 2, 0x9BB8E8, h / 2, 0x4670B8));
    for (int i = 1; i <= 2; ++i) {
        c.Arc(w / 2, 0, size * 0.35f * static_cast<float>(i), size * 0.08f, -38, 38,
              Solid(0x2D6FD6, 0.75f / static_cast<float>(i)));
    }
}

// A listener's head seen from above, facing up (-y).
void ListenerFromAbove(Canvas& c, float cx, float cy, float r) {
    c.Ellipse(cx + r * 0.08f, cy + r * 0.1f, r * 1.05f, r * 1.1f, Solid(kShadow));
    c.Ellipse(cx - r * 0.95f, cy, r * 0.22f, r * 0.34f, Solid(0xE7B48A));
    c.Ellipse(cx + r * 0.95f, cy, r * 0.22f, r * 0.34f, Solid(0xE7B48A));
    c.Ellipse(cx, cy, r * 0.92f, r, Radial(cx, cy - r * 0.3f, r, Hex(0xF6D2AE), Hex(0xD9A078)));
    c.Polygon(
        {{cx - r * 0.16f, cy - r * 0.9f}, {cx, cy - r * 1.22f}, {cx + r * 0.16f, cy - r * 0.9f}},
        Solid(0xE3AC82));
    c.Ellipse(cx, cy + r * 0.22f, r * 0.86f, r * 0.78f,
              Radial(cx, cy + r * 0.1f, r * 0.9f, Hex(0x7A5233), Hex(0x4A2F1B)));
}

// Four speakers around a listener, front at the top.
void QuadScene(Canvas& c, float cx, float cy, float dx, float dy, float size) {
    c.Ring(cx, cy, dx * 0.85f, dy * 0.85f, size * 0.08f, Solid(0x2D6FD6, 0.25f));
    const Pt corners[4] = {
        {cx - dx, cy - dy}, {cx + dx, cy - dy}, {cx - dx, cy + dy}, {cx + dx, cy + dy}};
    for (const Pt& s : corners) {
        const float angle = std::atan2(cy - s.y, cx - s.x) * 180.0f / kPi;
        c.ResetTransform();
        c.Translate(s.x, s.y);
        c.Rotate(0, 0, angle);
        SpeakerFromAbove(c, size);
    }
    c.ResetTransform();
    ListenerFromAbove(c, cx, cy, size * 0.55f);
}

// Concentric sound waves to one side of a point.
void Waves(Canvas& c, float cx, float cy, float r0, float step, int count, float from, float to,
           float thick, std::uint32_t rgb) {
    for (int i = 0; i < count; ++i) {
        c.Arc(cx, cy, r0 + step * static_cast<float>(i), thick, from, to,
              Solid(rgb, 0.9f - 0.22f * static_cast<float>(i)));
    }
}

// ---- Pictures --------------------------------------------------------------------------

void Headphones(Canvas& c) {  // 64 x 64
    c.Ellipse(32, 58, 22, 2.5f, Solid(kShadow));
    c.Arc(32, 34, 22, 5, 180, 360, Vertical(10, 0x6A7079, 34, 0x26292E));
    c.Arc(32, 34, 19, 1.6f, 200, 340, Solid(0x9AA1AB));
    for (int side = 0; side < 2; ++side) {
        const float x = side == 0 ? 3.0f : 47.0f;
        const float pad = side == 0 ? 15.5f : 43.5f;
        c.Rect(side == 0 ? 8.0f : 52.0f, 30, 4, 6, Solid(0x3A3E45));
        c.RoundRect(pad, 33, 5, 19, 2.4f, Horizontal(pad, 0x7B818A, pad + 5, 0x494E56));
        c.RoundRect(x, 29, 14, 26, 5.5f, Horizontal(x, 0x4A5058, x + 14, 0x17191D));
        c.RoundRect(x + 2, 32, 3, 18, 1.5f, Solid(0xFFFFFF, 0.22f));
        c.Circle(x + 7, 42, 3.2f, Radial(x + 6, 41, 4, Hex(0x8FC0FF), Hex(0x2D6FD6)));
    }
}

void Satellite(Canvas& c) {  // 96 x 64
    c.Ellipse(48, 59, 44, 3, Solid(kShadow));
    for (float x : {6.0f, 72.0f}) {
        c.Rect(x + 8, 38, 2, 19, Horizontal(x + 8, 0x8A9099, x + 10, 0x3A3E45));
        c.Ellipse(x + 9, 57.5f, 6, 1.8f, Solid(0x2A2E34));
        Cabinet(c, x, 12, 18, 26);
    }
    Cabinet(c, 29, 27, 38, 31);
    c.Ellipse(36, 53, 2.4f, 1.2f, Solid(0x0A0B0D));
}

void Monitor(Canvas& c) {  // 96 x 64
    c.Ellipse(48, 60, 44, 2.5f, Solid(kShadow));
    Cabinet(c, 10, 4, 28, 54);
    Cabinet(c, 58, 4, 28, 54);
}

void Quad(Canvas& c) {  // 96 x 64
    QuadScene(c, 48, 33, 34, 21, 15);
}

void General(Canvas& c) {  // 96 x 64
    // The card: board, edge connector, chips and the bracket with its jacks.
    c.RoundRect(10, 7, 74, 37, 2, Vertical(7, 0x2E9550, 44, 0x16602F));
    for (float x = 26; x < 70; x += 3.2f) c.Rect(x, 44, 2, 6, Vertical(44, 0xF6D46B, 50, 0xB8892A));
    c.Rect(24, 44, 47, 1, Solid(0x0F4A22));
    c.RoundRect(38, 14, 20, 20, 1.5f, Linear(38, 14, Hex(0x3A3D42), 58, 34, Hex(0x0D0E10)));
    for (int i = 0; i < 5; ++i) {
        const float o = 16.5f + static_cast<float>(i) * 3.8f;
        c.Rect(36, o, 2, 1.3f, Solid(0xC9CDD3));
        c.Rect(58, o, 2, 1.3f, Solid(0xC9CDD3));
    }
    c.Circle(42, 18, 1.2f, Solid(0x60656D));
    c.RoundRect(64, 12, 12, 8, 1, Solid(0x1B1D20));
    c.RoundRect(22, 28, 9, 6, 1, Solid(0x1B1D20));
    c.Circle(24, 15, 3, Vertical(12, 0x5C8FD8, 18, 0x1F4C99));
    c.Circle(31, 15, 3, Vertical(12, 0x5C8FD8, 18, 0x1F4C99));
    c.Line(14, 38, 34, 38, 0.7f, Solid(0xC8E6A0, 0.6f));
    c.Line(60, 38, 80, 38, 0.7f, Solid(0xC8E6A0, 0.6f));
    c.Rect(3, 3, 7, 54, Horizontal(3, 0xD5D9DF, 10, 0x80868F));
    const std::uint32_t jacks[3] = {0x39B54A, 0xF08CB4, 0x4A90E2};
    for (int i = 0; i < 3; ++i) {
        const float y = 14 + static_cast<float>(i) * 11;
        c.Circle(6.5f, y, 2.8f, Solid(jacks[i]));
        c.Circle(6.5f, y, 1.1f, Solid(0x111111));
    }
    // The speaker badge.
    c.Circle(79, 47, 14, Radial(75, 43, 16, Hex(0x6FA8FF), Hex(0x1D4FA8)));
    c.Ring(79, 47, 13.3f, 13.3f, 1.2f, Solid(0xFFFFFF, 0.8f));
    c.Polygon({{70, 43.5f}, {74, 43.5f}, {79, 39}, {79, 55}, {74, 50.5f}, {70, 50.5f}},
              Solid(0xFFFFFF));
    Waves(c, 79, 47, 4, 3.6f, 2, -40, 40, 1.6f, 0xFFFFFF);
}

void Midi(Canvas& c) {  // 96 x 64
    c.RoundRect(5, 31, 88, 30, 3, Solid(kShadow));
    c.RoundRect(4, 30, 88, 30, 3, Vertical(30, 0x4A4F57, 60, 0x1C1F23));
    c.Rect(8, 33, 80, 2, Solid(0xD03030));
    const int keys = 14;
    const float kw = 80.0f / keys;
    for (int i = 0; i < keys; ++i) {
        c.RoundRect(8 + kw * static_cast<float>(i) + 0.3f, 36, kw - 0.6f, 21, 0.8f,
                    Vertical(36, 0xFFFFFF, 57, 0xD9DDE3));
    }
    for (int i = 0; i < keys - 1; ++i) {
        const int n = i % 7;  // C D E F G A B: black keys after C, D, F, G, A
        if (n == 2 || n == 6) continue;
        const float x = 8 + kw * static_cast<float>(i + 1) - kw * 0.3f;
        c.RoundRect(x, 36, kw * 0.6f, 13, 0.6f, Vertical(36, 0x3A3D42, 49, 0x08090A));
    }
    // Notes: a beamed pair and a single quaver.
    const Paint ink = Solid(0x1D3F8F);
    for (const Pt& head : {Pt{28, 22}, Pt{44, 18}}) {
        c.ResetTransform();
        c.Rotate(head.x, head.y, -22);
        c.Ellipse(head.x, head.y, 4, 2.8f, ink);
        c.ResetTransform();
        c.Rect(head.x + 2.8f, head.y - 17, 1.5f, 17, ink);
    }
    c.Polygon({{30.8f, 5}, {48.3f, 1}, {48.3f, 5}, {30.8f, 9}}, ink);
    c.Rotate(66, 24, -22);
    c.Ellipse(66, 24, 4, 2.8f, ink);
    c.ResetTransform();
    c.Rect(68.8f, 6, 1.5f, 18, ink);
    c.Polyline({{70, 6.5f}, {75, 11}, {76, 16}}, 1.8f, ink);
}

void A3d(Canvas& c) {  // 64 x 64
    c.Circle(32, 34, 30, Radial(32, 34, 30, Hex(0x2D6FD6, 0.22f), Hex(0x2D6FD6, 0)));
    Waves(c, 32, 34, 17, 5, 3, 145, 215, 2, 0x2D6FD6);
    Waves(c, 32, 34, 17, 5, 3, -35, 35, 2, 0x2D6FD6);
    Waves(c, 32, 34, 17, 5, 2, 235, 305, 2, 0x5A9BF0);
    c.Ellipse(32, 55, 10, 2, Solid(kShadow));
    c.Ellipse(22.5f, 35, 2.3f, 3.4f, Solid(0xE3AC82));
    c.Ellipse(41.5f, 35, 2.3f, 3.4f, Solid(0xE3AC82));
    c.Ellipse(32, 35.5f, 9, 11, Radial(30, 32, 12, Hex(0xF8D8B6), Hex(0xD69C72)));
    c.Polygon({{22.6f, 33},
               {23, 27},
               {27, 23},
               {32, 22},
               {37, 23},
               {41, 27},
               {41.4f, 33},
               {39, 28},
               {33, 27},
               {26, 28}},
              Solid(0x5B3A22));
    c.Circle(28.5f, 36, 1, Solid(0x3A2A1E));
    c.Circle(35.5f, 36, 1, Solid(0x3A2A1E));
    c.Arc(32, 39, 3, 0.9f, 30, 150, Solid(0x9A5B3A));
    for (const Pt& s : {Pt{9, 12}, Pt{56, 52}, Pt{55, 11}}) {
        c.Circle(s.x, s.y, 5, Radial(s.x, s.y, 5, Hex(0xBFE0FF), Hex(0x2D6FD6, 0)));
        c.Circle(s.x, s.y, 1.8f, Solid(0xFFFFFF));
    }
}

void Reset(Canvas& c) {  // 32 x 32
    c.Circle(16.5f, 16.8f, 15, Solid(kShadow));
    c.Circle(16, 16, 15, Radial(12, 11, 18, Hex(0x74AEFF), Hex(0x1C4CA3)));
    c.Ring(16, 16, 14.4f, 14.4f, 1, Solid(0xFFFFFF, 0.55f));
    c.Arc(16, 16, 8, 3.2f, 20, 300, Solid(0xFFFFFF));
    const float a = 300 * kPi / 180;
    const Pt end{16 + 8 * std::cos(a), 16 + 8 * std::sin(a)};
    const Pt dir{-std::sin(a), std::cos(a)}, out{std::cos(a), std::sin(a)};
    c.Polygon({{end.x + out.x * 4.2f, end.y + out.y * 4.2f},
               {end.x + dir.x * 5.2f, end.y + dir.y * 5.2f},
               {end.x - out.x * 4.2f, end.y - out.y * 4.2f}},
              Solid(0xFFFFFF));
}

void About(Canvas& c) {  // 213 x 210
    c.Rect(0, 0, 213, 210, Vertical(0, 0x07132E, 210, 0x1F4E9C));
    // A floor grid in perspective.
    for (int i = -6; i <= 6; ++i) {
        c.Line(106.5f, 150, 106.5f + static_cast<float>(i) * 40, 212, 0.6f, Solid(0x8FC0FF, 0.25f));
    }
    for (float y : {158.0f, 170.0f, 188.0f}) c.Line(0, y, 213, y, 0.6f, Solid(0x8FC0FF, 0.2f));
    for (const Pt& s : {Pt{20, 40}, Pt{190, 30}, Pt{170, 70}, Pt{35, 95}, Pt{150, 20}, Pt{60, 30},
                        Pt{200, 110}, Pt{12, 140}}) {
        c.Circle(s.x, s.y, 1.1f, Solid(0xFFFFFF, 0.7f));
    }
    c.Circle(106.5f, 112, 95, Radial(106.5f, 112, 95, Hex(0x5FA0FF, 0.45f), Hex(0x5FA0FF, 0)));
    Waves(c, 106.5f, 112, 62, 12, 4, 150, 210, 3, 0x9FCBFF);
    Waves(c, 106.5f, 112, 62, 12, 4, -30, 30, 3, 0x9FCBFF);
    c.Circle(108, 115, 54, Solid(0x000000, 0.35f));
    Driver(c, 106.5f, 112, 52);
    c.Ring(106.5f, 112, 53, 53, 1.2f, Solid(0xD6E6FF, 0.6f));
    for (int i = 0; i < 4; ++i) {
        const float a = (45 + 90 * static_cast<float>(i)) * kPi / 180;
        c.Circle(106.5f + 47 * std::cos(a), 112 + 47 * std::sin(a), 2.3f,
                 Radial(106, 111, 2.5f, Hex(0xE6E9EE), Hex(0x6A7079)));
    }
}

// Block letters for the logo, each in a box of w x h.
void LetterA(Canvas& c, float x, float y, float w, float h, const Paint& p) {
    c.Contours({{{x, y + h},
                 {x + w * 0.36f, y},
                 {x + w * 0.64f, y},
                 {x + w, y + h},
                 {x + w * 0.72f, y + h},
                 {x + w * 0.64f, y + h * 0.74f},
                 {x + w * 0.36f, y + h * 0.74f},
                 {x + w * 0.28f, y + h}},
                {{x + w * 0.41f, y + h * 0.54f},
                 {x + w * 0.5f, y + h * 0.22f},
                 {x + w * 0.59f, y + h * 0.54f}}},
               p);
}

void Letter3(Canvas& c, float x, float y, float w, float h, const Paint& p) {
    const float t = h * 0.2f;
    c.Contours({{{x, y},
                 {x + w * 0.8f, y},
                 {x + w, y + h * 0.15f},
                 {x + w, y + h * 0.4f},
                 {x + w * 0.9f, y + h * 0.5f},
                 {x + w, y + h * 0.6f},
                 {x + w, y + h * 0.85f},
                 {x + w * 0.8f, y + h},
                 {x, y + h},
                 {x, y + h - t},
                 {x + w - t, y + h - t},
                 {x + w - t, y + h * 0.5f + t / 2},
                 {x + w * 0.25f, y + h * 0.5f + t / 2},
                 {x + w * 0.25f, y + h * 0.5f - t / 2},
                 {x + w - t, y + h * 0.5f - t / 2},
                 {x + w - t, y + t},
                 {x, y + t}}},
               p);
}

void LetterD(Canvas& c, float x, float y, float w, float h, const Paint& p) {
    const float t = h * 0.2f;
    c.Contours({{{x, y},
                 {x + w * 0.6f, y},
                 {x + w, y + h * 0.3f},
                 {x + w, y + h * 0.7f},
                 {x + w * 0.6f, y + h},
                 {x, y + h}},
                {{x + t, y + t},
                 {x + w * 0.5f, y + t},
                 {x + w - t, y + h * 0.38f},
                 {x + w - t, y + h * 0.62f},
                 {x + w * 0.5f, y + h - t},
                 {x + t, y + h - t}}},
               p);
}

void A3dLogo(Canvas& c) {  // 58 x 97
    c.Circle(30, 31, 22, Solid(kShadow));
    // An orbit drawn in two halves: behind the sphere and in front of it.
    c.Rotate(29, 29, -18);
    c.Ring(29, 29, 27, 8, 2.2f, Solid(0xC77A12));
    c.ResetTransform();
    c.Circle(29, 29, 22, Radial(22, 21, 28, Hex(0x9CCBFF), Hex(0x0E2F72)));
    c.Ellipse(23, 19, 8, 5, Solid(0xFFFFFF, 0.35f));
    c.Rotate(29, 29, -18);
    c.Ring(29, 29, 27, 8, 2.2f, Solid(0xF5A623), true);
    c.ResetTransform();
    const Paint gold = Linear(0, 60, Hex(0xFFD45A), 0, 92, Hex(0xD9480F));
    const Paint shade = Solid(0x000000, 0.3f);
    const float y = 62, h = 30, w = 16;
    LetterA(c, 2.8f, y + 1.2f, w, h, shade);
    Letter3(c, 21.8f, y + 1.2f, w - 2, h, shade);
    LetterD(c, 39.8f, y + 1.2f, w, h, shade);
    LetterA(c, 2, y, w, h, gold);
    Letter3(c, 21, y, w - 2, h, gold);
    LetterD(c, 39, y, w, h, gold);
}

void QuadWindow(Canvas& c) {  // 96 x 128
    c.RoundRect(1, 1, 94, 126, 6, Vertical(0, 0xE9F0FB, 128, 0xB5C7E6));
    // The screen in front of the listener.
    c.RoundRect(30, 6, 36, 8, 1.5f, Vertical(6, 0x5A6069, 14, 0x1C1F24));
    c.Rect(32, 7.5f, 32, 5, Vertical(7, 0x5FA0FF, 13, 0x1D4FA8));
    QuadScene(c, 48, 68, 30, 38, 20);
}

void Mixer(Canvas& c) {  // 64 x 96
    c.RoundRect(5, 5, 56, 88, 4, Solid(kShadow));
    c.RoundRect(4, 4, 56, 88, 4, Horizontal(4, 0x5A6069, 60, 0x24272C));
    c.RoundRect(6, 6, 52, 84, 3, Vertical(6, 0x3C4148, 90, 0x2A2D33));
    const float faders[4] = {44, 62, 34, 54};
    for (int i = 0; i < 4; ++i) {
        const float x = 14 + static_cast<float>(i) * 12;
        c.Circle(x, 14, 4, Radial(x - 1, 13, 5, Hex(0xC9CED6), Hex(0x4B5058)));
        c.Line(x, 14, x + 2.4f * (static_cast<float>(i) - 1.5f), 11, 1, Solid(0x1B1D20));
        for (float ty = 26; ty <= 82; ty += 8) c.Rect(x - 4.5f, ty, 2, 0.6f, Solid(0xAAB0B8, 0.6f));
        c.RoundRect(x - 1.3f, 24, 2.6f, 60, 1.3f, Solid(0x0C0D0F));
        const float fy = faders[i];
        c.RoundRect(x - 5, fy - 3.5f + 1, 10, 7, 1.5f, Solid(kShadow));
        c.RoundRect(x - 5, fy - 3.5f, 10, 7, 1.5f,
                    Vertical(fy - 3.5f, 0xEEF1F5, fy + 3.5f, 0x8A9099));
        c.Rect(x - 4, fy - 0.4f, 8, 0.8f, Solid(0x2D6FD6));
        const std::uint32_t led = fy < 40 ? 0xF5A623 : 0x39B54A;
        c.Circle(x + 4, 86, 1.3f, Solid(led));
    }
}

// ---- Tool icons (32 x 32) -----------------------------------------------------------------

void ToolVolume(Canvas& c) {
    c.Polygon({{4, 12}, {10, 12}, {17, 5}, {17, 27}, {10, 20}, {4, 20}},
              Linear(4, 5, Hex(0x8A9099), 17, 27, Hex(0x2A2E34)));
    c.Rect(4.8f, 12.8f, 4.4f, 6.4f, Solid(0xFFFFFF, 0.25f));
    Waves(c, 16, 16, 5, 4.5f, 3, -45, 45, 2, 0x2D6FD6);
}

void ToolRecorder(Canvas& c) {
    c.Arc(16, 12, 8, 1.8f, 10, 170, Solid(0x3A3E45));
    c.Rect(15, 20, 2, 6, Solid(0x3A3E45));
    c.RoundRect(9, 26, 14, 3, 1.2f, Vertical(26, 0x5A6069, 29, 0x1C1F24));
    c.RoundRect(11, 2, 10, 18, 5, Horizontal(11, 0xD9DDE3, 21, 0x5F656E));
    for (float y = 6; y < 16; y += 2.5f) c.Rect(12.5f, y, 7, 0.8f, Solid(0x2A2E34, 0.55f));
    c.Circle(26, 25, 4.5f, Radial(25, 24, 5, Hex(0xFF7A7A), Hex(0xC0161B)));
}

void ToolPlayer(Canvas& c) {
    c.Circle(16.6f, 16.8f, 13.5f, Solid(kShadow));
    c.Circle(16, 16, 13.5f, Radial(12, 11, 17, Hex(0x8FE08A), Hex(0x1E7A2B)));
    c.Ring(16, 16, 12.9f, 12.9f, 1, Solid(0xFFFFFF, 0.55f));
    c.Polygon({{12.5f, 9}, {23, 16}, {12.5f, 23}}, Solid(0xFFFFFF));
}

void ToolMixer(Canvas& c) {
    c.RoundRect(3, 3, 26, 26, 3, Vertical(3, 0x5A6069, 29, 0x24272C));
    const float knobs[3] = {18, 11, 21};
    for (int i = 0; i < 3; ++i) {
        const float x = 9 + static_cast<float>(i) * 7;
        c.RoundRect(x - 1, 6, 2, 20, 1, Solid(0x0C0D0F));
        c.RoundRect(x - 3.2f, knobs[i] - 2.2f, 6.4f, 4.4f, 1,
                    Vertical(knobs[i] - 2.2f, 0xF2F4F7, knobs[i] + 2.2f, 0x8A9099));
        c.Rect(x - 2.6f, knobs[i] - 0.3f, 5.2f, 0.6f, Solid(0x2D6FD6));
    }
}

void ToolMultimedia(Canvas& c) {
    c.Circle(12.5f, 17, 11, Radial(12.5f, 17, 11, Hex(0xF4F6F9), Hex(0xA9B3C2)));
    c.Ring(12.5f, 17, 7.5f, 7.5f, 3, Solid(0x8FD3FF, 0.35f));
    c.Ring(12.5f, 17, 10, 10, 1, Solid(0xF0B8FF, 0.35f));
    c.Circle(12.5f, 17, 3, Solid(0x6A7079));
    c.Circle(12.5f, 17, 1.8f, Solid(0xFFFFFF));
    Cabinet(c, 19, 7, 11, 21);
}

void ToolJoystick(Canvas& c) {
    c.Ellipse(16, 27, 13, 3.5f, Solid(kShadow));
    c.Polygon({{5, 26}, {8, 19}, {24, 19}, {27, 26}}, Vertical(19, 0x5A6069, 26, 0x1C1F24));
    c.Ellipse(16, 19.5f, 8, 2, Solid(0x6A7079));
    c.Line(16, 19, 13, 8, 2.6f, Horizontal(12, 0x9AA1AB, 17, 0x3A3E45));
    c.Circle(12.6f, 6.5f, 4.3f, Radial(11, 5, 5, Hex(0xFF8A80), Hex(0xB71C1C)));
    c.Circle(23, 21.5f, 1.8f, Solid(0xF5A623));
}

void ToolDirectX(Canvas& c) {
    c.Circle(16.6f, 16.8f, 14, Solid(kShadow));
    c.Circle(16, 16, 14, Radial(12, 11, 18, Hex(0x3E4656), Hex(0x0B0E14)));
    const Paint x1 = Linear(8, 8, Hex(0xFFE36E), 24, 24, Hex(0xE65100));
    const Paint x2 = Linear(24, 8, Hex(0xB9F6CA), 8, 24, Hex(0x1B8A3A));
    c.Line(9.5f, 9.5f, 22.5f, 22.5f, 4.5f, x1);
    c.Line(22.5f, 9.5f, 9.5f, 22.5f, 4.5f, x2);
    c.Ring(16, 16, 13.4f, 13.4f, 1, Solid(0xFFFFFF, 0.4f));
}

struct Design {
    float width, height;
    void (*draw)(Canvas&);
};

const std::map<std::string, Design>& Designs() {
    static const std::map<std::string, Design> designs = {
        {"headphones", {64, 64, Headphones}},
        {"satellite", {96, 64, Satellite}},
        {"monitor", {96, 64, Monitor}},
        {"quad", {96, 64, Quad}},
        {"general", {96, 64, General}},
        {"midi", {96, 64, Midi}},
        {"a3d", {64, 64, A3d}},
        {"reset", {32, 32, Reset}},
        {"about", {213, 210, About}},
        {"a3dlogo", {58, 97, A3dLogo}},
        {"quadwindow", {96, 128, QuadWindow}},
        {"mixer", {64, 96, Mixer}},
        {"tool1", {32, 32, ToolVolume}},
        {"tool2", {32, 32, ToolRecorder}},
        {"tool3", {32, 32, ToolPlayer}},
        {"tool4", {32, 32, ToolMixer}},
        {"tool5", {32, 32, ToolMultimedia}},
        {"tool6", {32, 32, ToolJoystick}},
        {"tool7", {32, 32, ToolDirectX}},
    };
    return designs;
}

}  // namespace

Image DrawPicture(const std::string& name, int width, int height) {
    const auto& designs = Designs();
    const auto it = designs.find(name);
    if (it == designs.end() || width < 1 || height < 1) return {};
    Canvas canvas(width, height, it->second.width, it->second.height);
    it->second.draw(canvas);
    return canvas.Finish();
}

Image RenderPicture(const std::string& name, int width, int height) {
    Image baked;
    if (FindBakedPicture(name, width, height, &baked)) return baked;
    return DrawPicture(name, width, height);
}

const std::vector<std::string>& PictureNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const auto& entry : Designs()) all.push_back(entry.first);
        return all;
    }();
    return names;
}

}  // namespace ui
