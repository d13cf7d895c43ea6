#include "ui/pictures.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <utility>

namespace ui {
namespace {

constexpr float kPi = 3.14159265358979f;

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

Rgba Hex(std::uint32_t rgb, float alpha = 1.0f) {
    return {static_cast<float>((rgb >> 16) & 0xFF) / 255.0f,
            static_cast<float>((rgb >> 8) & 0xFF) / 255.0f, static_cast<float>(rgb & 0xFF) / 255.0f,
            alpha};
}

Rgba Mix(const Rgba& a, const Rgba& b, float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

struct Pt {
    float x = 0, y = 0;
};

// A fill colour: solid, a linear gradient between two points or a radial one around a centre.
// Coordinates are those of the shape it paints.
struct Paint {
    enum class Type { Solid, Linear, Radial } type = Type::Solid;
    Rgba c1, c2;
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0, radius = 1;

    Rgba At(float x, float y) const {
        switch (type) {
            case Type::Solid:
                return c1;
            case Type::Linear: {
                const float dx = x2 - x1, dy = y2 - y1;
                const float len2 = dx * dx + dy * dy;
                const float t = len2 > 0 ? ((x - x1) * dx + (y - y1) * dy) / len2 : 0;
                return Mix(c1, c2, t);
            }
            case Type::Radial:
                return Mix(c1, c2, std::hypot(x - x1, y - y1) / radius);
        }
        return c1;
    }
};

Paint Solid(Rgba c) {
    return Paint{Paint::Type::Solid, c, c};
}
Paint Solid(std::uint32_t rgb, float alpha = 1.0f) {
    return Solid(Hex(rgb, alpha));
}
Paint Linear(float x1, float y1, Rgba c1, float x2, float y2, Rgba c2) {
    return Paint{Paint::Type::Linear, c1, c2, x1, y1, x2, y2};
}
Paint Vertical(float y1, std::uint32_t top, float y2, std::uint32_t bottom) {
    return Linear(0, y1, Hex(top), 0, y2, Hex(bottom));
}
Paint Horizontal(float x1, std::uint32_t left, float x2, std::uint32_t right) {
    return Linear(x1, 0, Hex(left), x2, 0, Hex(right));
}
Paint Radial(float cx, float cy, float r, Rgba inner, Rgba outer) {
    return Paint{Paint::Type::Radial, inner, outer, cx, cy, 0, 0, r};
}

float SegmentDistance(float px, float py, Pt a, Pt b) {
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? ((px - a.x) * dx + (py - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0f, 1.0f);
    return std::hypot(px - (a.x + t * dx), py - (a.y + t * dy));
}

// A tiny anti-aliased rasterizer: every shape is tested at 4 x 4 samples per pixel and
// blended source-over. Shapes are given in design units, which the canvas scales uniformly
// to the output size; an affine transform places rotated parts.
class Canvas {
  public:
    Canvas(int width, int height, float designWidth, float designHeight)
        : width_(width),
          height_(height),
          samples_(static_cast<std::size_t>(width) * height * kS * kS) {
        scale_ = std::min(width / designWidth, height / designHeight);
        offX_ = (width - designWidth * scale_) / 2;
        offY_ = (height - designHeight * scale_) / 2;
    }

    // Later shapes are rotated by degrees (clockwise on screen) about a centre, then moved.
    void Rotate(float cx, float cy, float degrees) {
        const float a = degrees * kPi / 180.0f, c = std::cos(a), s = std::sin(a);
        // x' = c(x-cx) - s(y-cy) + cx ; y' = s(x-cx) + c(y-cy) + cy, composed after the current
        const Xf r{c, s, -s, c, cx - c * cx + s * cy, cy - s * cx - c * cy};
        xf_ = Compose(xf_, r);
    }
    void Translate(float dx, float dy) { xf_ = Compose(xf_, Xf{1, 0, 0, 1, dx, dy}); }
    void ResetTransform() { xf_ = Xf{}; }

    void Rect(float x, float y, float w, float h, const Paint& p) {
        Fill(x, y, x + w, y + h, p,
             [=](float px, float py) { return px >= x && px < x + w && py >= y && py < y + h; });
    }

    void RoundRect(float x, float y, float w, float h, float r, const Paint& p) {
        r = std::min({r, w / 2, h / 2});
        Fill(x, y, x + w, y + h, p, [=](float px, float py) {
            if (px < x || px >= x + w || py < y || py >= y + h) return false;
            const float cx = std::clamp(px, x + r, x + w - r);
            const float cy = std::clamp(py, y + r, y + h - r);
            return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r;
        });
    }

    void Ellipse(float cx, float cy, float rx, float ry, const Paint& p) {
        Fill(cx - rx, cy - ry, cx + rx, cy + ry, p, [=](float px, float py) {
            const float dx = (px - cx) / rx, dy = (py - cy) / ry;
            return dx * dx + dy * dy <= 1.0f;
        });
    }
    void Circle(float cx, float cy, float r, const Paint& p) { Ellipse(cx, cy, r, r, p); }

    // An elliptic outline of the given thickness.
    // lowerHalfOnly keeps the part below the centre (before any rotation).
    void Ring(float cx, float cy, float rx, float ry, float thick, const Paint& p,
              bool lowerHalfOnly = false) {
        const float h = thick / 2;
        Fill(cx - rx - h, cy - ry - h, cx + rx + h, cy + ry + h, p, [=](float px, float py) {
            if (lowerHalfOnly && py < cy) return false;
            const float ox = (px - cx) / (rx + h), oy = (py - cy) / (ry + h);
            const float ix = (px - cx) / std::max(rx - h, 0.01f),
                        iy = (py - cy) / std::max(ry - h, 0.01f);
            return ox * ox + oy * oy <= 1.0f && ix * ix + iy * iy > 1.0f;
        });
    }

    // A circular arc stroke from one angle to another (degrees, clockwise from east).
    void Arc(float cx, float cy, float r, float thick, float from, float to, const Paint& p) {
        const float h = thick / 2;
        const float a0 = from * kPi / 180.0f, a1 = to * kPi / 180.0f;
        Fill(cx - r - h, cy - r - h, cx + r + h, cy + r + h, p, [=](float px, float py) {
            const float d = std::hypot(px - cx, py - cy);
            if (std::fabs(d - r) > h) return false;
            float a = std::atan2(py - cy, px - cx);
            while (a < a0) a += 2 * kPi;
            while (a >= a0 + 2 * kPi) a -= 2 * kPi;
            return a <= a1;
        });
    }

    // A line with round ends.
    void Line(float x1, float y1, float x2, float y2, float thick, const Paint& p) {
        Polyline({{x1, y1}, {x2, y2}}, thick, p);
    }

    void Polyline(const std::vector<Pt>& pts, float thick, const Paint& p) {
        if (pts.empty()) return;
        const float h = thick / 2;
        float x0 = pts[0].x, y0 = pts[0].y, x1 = x0, y1 = y0;
        for (const Pt& q : pts) {
            x0 = std::min(x0, q.x), y0 = std::min(y0, q.y);
            x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
        }
        Fill(x0 - h, y0 - h, x1 + h, y1 + h, p, [&pts, h](float px, float py) {
            if (pts.size() == 1) return std::hypot(px - pts[0].x, py - pts[0].y) <= h;
            for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
                if (SegmentDistance(px, py, pts[i], pts[i + 1]) <= h) return true;
            }
            return false;
        });
    }

    // Filled contours by the even-odd rule, so that an inner contour cuts a hole.
    void Contours(const std::vector<std::vector<Pt>>& contours, const Paint& p) {
        float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
        for (const auto& c : contours) {
            for (const Pt& q : c) {
                x0 = std::min(x0, q.x), y0 = std::min(y0, q.y);
                x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
            }
        }
        Fill(x0, y0, x1, y1, p, [&contours](float px, float py) {
            bool inside = false;
            for (const auto& c : contours) {
                for (std::size_t i = 0, j = c.size() - 1; i < c.size(); j = i++) {
                    if ((c[i].y > py) != (c[j].y > py) &&
                        px < (c[j].x - c[i].x) * (py - c[i].y) / (c[j].y - c[i].y) + c[i].x) {
                        inside = !inside;
                    }
                }
            }
            return inside;
        });
    }
    void Polygon(const std::vector<Pt>& pts, const Paint& p) { Contours({pts}, p); }

    Image Finish() const {
        Image image;
        image.width = width_;
        image.height = height_;
        image.rgba.resize(static_cast<std::size_t>(width_) * height_ * 4);
        const int sw = width_ * kS;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                Rgba sum;
                for (int sy = 0; sy < kS; ++sy) {
                    for (int sx = 0; sx < kS; ++sx) {
                        const Rgba& s = samples_[static_cast<std::size_t>(y * kS + sy) * sw +
                                                 static_cast<std::size_t>(x * kS + sx)];
                        sum.r += s.r, sum.g += s.g, sum.b += s.b, sum.a += s.a;
                    }
                }
                const float n = kS * kS;
                std::uint8_t* out = &image.rgba[(static_cast<std::size_t>(y) * width_ + x) * 4];
                const float a = sum.a / n;
                auto channel = [a, n](float premultiplied) {
                    if (a <= 0) return std::uint8_t{0};
                    const float v = premultiplied / n / a;
                    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255));
                };
                out[0] = channel(sum.r);
                out[1] = channel(sum.g);
                out[2] = channel(sum.b);
                out[3] = static_cast<std::uint8_t>(std::lround(std::clamp(a, 0.0f, 1.0f) * 255));
            }
        }
        return image;
    }

  private:
    static constexpr int kS = 4;

    struct Xf {  // x' = a x + c y + e, y' = b x + d y + f
        float a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    };
    static Xf Compose(const Xf& outer, const Xf& inner) {
        return {outer.a * inner.a + outer.c * inner.b,
                outer.b * inner.a + outer.d * inner.b,
                outer.a * inner.c + outer.c * inner.d,
                outer.b * inner.c + outer.d * inner.d,
                outer.a * inner.e + outer.c * inner.f + outer.e,
                outer.b * inner.e + outer.d * inner.f + outer.f};
    }

    template <class Inside>
    void Fill(float bx0, float by0, float bx1, float by1, const Paint& paint, Inside inside) {
        // Bounds of the transformed box, in samples.
        float gx0 = 1e9f, gy0 = 1e9f, gx1 = -1e9f, gy1 = -1e9f;
        for (const Pt& corner : {Pt{bx0, by0}, Pt{bx1, by0}, Pt{bx0, by1}, Pt{bx1, by1}}) {
            const float x = xf_.a * corner.x + xf_.c * corner.y + xf_.e;
            const float y = xf_.b * corner.x + xf_.d * corner.y + xf_.f;
            gx0 = std::min(gx0, x), gy0 = std::min(gy0, y);
            gx1 = std::max(gx1, x), gy1 = std::max(gy1, y);
        }
        const int sw = width_ * kS, sh = height_ * kS;
        const int sx0 = std::max(0, static_cast<int>(std::floor((gx0 * scale_ + offX_) * kS)));
        const int sy0 = std::max(0, static_cast<int>(std::floor((gy0 * scale_ + offY_) * kS)));
        const int sx1 = std::min(sw - 1, static_cast<int>(std::ceil((gx1 * scale_ + offX_) * kS)));
        const int sy1 = std::min(sh - 1, static_cast<int>(std::ceil((gy1 * scale_ + offY_) * kS)));
        const float det = xf_.a * xf_.d - xf_.b * xf_.c;
        if (det == 0) return;
        for (int sy = sy0; sy <= sy1; ++sy) {
            for (int sx = sx0; sx <= sx1; ++sx) {
                // Sample centre back to design units, then through the inverse transform.
                const float gx = ((sx + 0.5f) / kS - offX_) / scale_ - xf_.e;
                const float gy = ((sy + 0.5f) / kS - offY_) / scale_ - xf_.f;
                const float x = (xf_.d * gx - xf_.c * gy) / det;
                const float y = (-xf_.b * gx + xf_.a * gy) / det;
                if (!inside(x, y)) continue;
                const Rgba c = paint.At(x, y);
                Rgba& dst = samples_[static_cast<std::size_t>(sy) * sw + sx];
                const float k = 1 - c.a;
                dst.r = c.r * c.a + dst.r * k;
                dst.g = c.g * c.a + dst.g * k;
                dst.b = c.b * c.a + dst.b * k;
                dst.a = c.a + dst.a * k;
            }
        }
    }

    int width_;
    int height_;
    float scale_ = 1, offX_ = 0, offY_ = 0;
    Xf xf_;
    std::vector<Rgba> samples_;  // premultiplied
};

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

Image RenderPicture(const std::string& name, int width, int height) {
    const auto& designs = Designs();
    const auto it = designs.find(name);
    if (it == designs.end() || width < 1 || height < 1) return {};
    Canvas canvas(width, height, it->second.width, it->second.height);
    it->second.draw(canvas);
    return canvas.Finish();
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
