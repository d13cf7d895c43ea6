// A tiny anti-aliased rasterizer for the product's pictures: colours, paints (solid, linear
// and radial gradients) and a canvas that fills shapes given in design units, scaled to the
// output size.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "ui/pictures.h"

namespace ui::drawing {

inline constexpr float kPi = 3.14159265358979f;

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

inline Rgba Hex(std::uint32_t rgb, float alpha = 1.0f) {
    return {static_cast<float>((rgb >> 16) & 0xFF) / 255.0f,
            static_cast<float>((rgb >> 8) & 0xFF) / 255.0f, static_cast<float>(rgb & 0xFF) / 255.0f,
            alpha};
}

inline Rgba Mix(const Rgba& a, const Rgba& b, float t) {
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

inline Paint Solid(Rgba c) {
    return Paint{Paint::Type::Solid, c, c};
}
inline Paint Solid(std::uint32_t rgb, float alpha = 1.0f) {
    return Solid(Hex(rgb, alpha));
}
inline Paint Linear(float x1, float y1, Rgba c1, float x2, float y2, Rgba c2) {
    return Paint{Paint::Type::Linear, c1, c2, x1, y1, x2, y2};
}
inline Paint Vertical(float y1, std::uint32_t top, float y2, std::uint32_t bottom) {
    return Linear(0, y1, Hex(top), 0, y2, Hex(bottom));
}
inline Paint Horizontal(float x1, std::uint32_t left, float x2, std::uint32_t right) {
    return Linear(x1, 0, Hex(left), x2, 0, Hex(right));
}
inline Paint Radial(float cx, float cy, float r, Rgba inner, Rgba outer) {
    return Paint{Paint::Type::Radial, inner, outer, cx, cy, 0, 0, r};
}

inline float SegmentDistance(float px, float py, Pt a, Pt b) {
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

}  // namespace ui::drawing
