// A tiny anti-aliased rasterizer for the product's pictures: colours, paints (solid, linear
// and radial gradients) and a canvas that fills shapes given in design units, scaled to the
// output size.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <utility>
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

// Held while drawing: the x87 unit of i686 builds keeps results at extended precision for as
// long as they stay in its registers, so a shape's inside test and the span computed to agree
// with it could round differently at a boundary. Rounding every result to a float's 24 bits,
// as SSE arithmetic does, makes them agree as they do on x86_64.
class SinglePrecision {
#if defined(__i386__) && !defined(__SSE_MATH__)
  public:
    SinglePrecision() {
        __asm__ volatile("fnstcw %0" : "=m"(saved_));
        const unsigned short single = saved_ & ~0x300;  // precision control: 24 bits
        __asm__ volatile("fldcw %0" : : "m"(single));
    }
    ~SinglePrecision() {
        __asm__ volatile("fldcw %0" : : "m"(saved_));
    }
    SinglePrecision(const SinglePrecision&) = delete;
    SinglePrecision& operator=(const SinglePrecision&) = delete;

  private:
    unsigned short saved_ = 0;
#endif
};

// A tiny anti-aliased rasterizer: every shape is tested at 4 x 4 samples per pixel and
// blended source-over. Shapes are given in design units, which the canvas scales uniformly
// to the output size; an affine transform places rotated parts.
//
// The shapes are kept and drawn when the picture is finished, a band of rows at a time into
// one small buffer that stays with the thread: the samples of a whole picture are 256 bytes
// a pixel, a megabyte for a 64 x 64 picture, and touching that much fresh memory took longer
// than drawing it. Each sample still sees every shape in order, so the pixels are the same.
//
// Most samples of a shape's bounding box lie outside it (a ring, an arc, a slanted line), so
// where nothing is rotated each row is first narrowed to the spans the shape can reach; the
// test of each sample inside them is unchanged, so a picture's pixels do not depend on it.
class Canvas {
  public:
    // Off, every sample of a shape's box is tested: the slow way the narrowing must agree with.
    static inline bool narrowRows = true;
    // The most samples a band holds (128 KB of them); a band is at least one row of pixels.
    static inline int bandSamples = 8192;

    Canvas(int width, int height, float designWidth, float designHeight)
        : width_(width), height_(height) {
        scale_ = std::min(width / designWidth, height / designHeight);
        offX_ = (width - designWidth * scale_) / 2;
        offY_ = (height - designHeight * scale_) / 2;
    }
    // Its shapes refer to it.
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

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
        Fill(
            x, y, x + w, y + h, p,
            [=](float px, float py) { return px >= x && px < x + w && py >= y && py < y + h; },
            WholeRow);
    }

    void RoundRect(float x, float y, float w, float h, float r, const Paint& p) {
        r = std::min({r, w / 2, h / 2});
        Fill(
            x, y, x + w, y + h, p,
            [=](float px, float py) {
                if (px < x || px >= x + w || py < y || py >= y + h) return false;
                const float cx = std::clamp(px, x + r, x + w - r);
                const float cy = std::clamp(py, y + r, y + h - r);
                return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r;
            },
            WholeRow);
    }

    void Ellipse(float cx, float cy, float rx, float ry, const Paint& p) {
        Fill(
            cx - rx, cy - ry, cx + rx, cy + ry, p,
            [=](float px, float py) {
                const float dx = (px - cx) / rx, dy = (py - cy) / ry;
                return dx * dx + dy * dy <= 1.0f;
            },
            [=](float py, Spans& spans) { EllipseSpans(cx, cy, rx, ry, 0, 0, py, spans); });
    }
    void Circle(float cx, float cy, float r, const Paint& p) { Ellipse(cx, cy, r, r, p); }

    // An elliptic outline of the given thickness.
    // lowerHalfOnly keeps the part below the centre (before any rotation).
    void Ring(float cx, float cy, float rx, float ry, float thick, const Paint& p,
              bool lowerHalfOnly = false) {
        const float h = thick / 2;
        const float irx = std::max(rx - h, 0.01f), iry = std::max(ry - h, 0.01f);
        Fill(
            cx - rx - h, cy - ry - h, cx + rx + h, cy + ry + h, p,
            [=](float px, float py) {
                if (lowerHalfOnly && py < cy) return false;
                const float ox = (px - cx) / (rx + h), oy = (py - cy) / (ry + h);
                const float ix = (px - cx) / irx, iy = (py - cy) / iry;
                return ox * ox + oy * oy <= 1.0f && ix * ix + iy * iy > 1.0f;
            },
            [=](float py, Spans& spans) {
                if (lowerHalfOnly && py < cy) return;
                EllipseSpans(cx, cy, rx + h, ry + h, irx, iry, py, spans);
            });
    }

    // A circular arc stroke from one angle to another (degrees, clockwise from east).
    void Arc(float cx, float cy, float r, float thick, float from, float to, const Paint& p) {
        const float h = thick / 2;
        const float a0 = from * kPi / 180.0f, a1 = to * kPi / 180.0f;
        // Only the box of the swept part of the ring is visited.
        float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
        auto take = [&](float angle, float radius) {
            const float x = cx + radius * std::cos(angle), y = cy + radius * std::sin(angle);
            x0 = std::min(x0, x), y0 = std::min(y0, y);
            x1 = std::max(x1, x), y1 = std::max(y1, y);
        };
        if (a1 - a0 >= 2 * kPi) {
            x0 = cx - r - h, y0 = cy - r - h, x1 = cx + r + h, y1 = cy + r + h;
        } else {
            for (const float radius : {std::max(r - h, 0.0f), r + h}) {
                take(a0, radius);
                take(a1, radius);
            }
            for (float axis = std::ceil(a0 / (kPi / 2)) * (kPi / 2); axis <= a1; axis += kPi / 2) {
                take(axis, r + h);
            }
            const float m = Margin(r + h);
            x0 -= m, y0 -= m, x1 += m, y1 += m;
        }
        Fill(
            x0, y0, x1, y1, p,
            [=](float px, float py) {
                const float d = std::hypot(px - cx, py - cy);
                if (std::fabs(d - r) > h) return false;
                float a = std::atan2(py - cy, px - cx);
                while (a < a0) a += 2 * kPi;
                while (a >= a0 + 2 * kPi) a -= 2 * kPi;
                return a <= a1;
            },
            [=](float py, Spans& spans) {
                EllipseSpans(cx, cy, r + h, r + h, r - h, r - h, py, spans);
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
        Fill(
            x0 - h, y0 - h, x1 + h, y1 + h, p,
            [pts, h](float px, float py) {
                if (pts.size() == 1) return std::hypot(px - pts[0].x, py - pts[0].y) <= h;
                for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
                    if (SegmentDistance(px, py, pts[i], pts[i + 1]) <= h) return true;
                }
                return false;
            },
            [pts, h](float py, Spans& spans) {
                // Each segment's points within h of the row, widened by h.
                for (std::size_t i = 0; i + 1 < pts.size() || i == 0; ++i) {
                    const Pt a = pts[i], b = pts[std::min(i + 1, pts.size() - 1)];
                    const float m = h + Margin(std::max(std::fabs(a.x), std::fabs(b.x)) + h);
                    const float dy = b.y - a.y;
                    float t0 = 0, t1 = 1;
                    if (std::fabs(dy) > 1e-6f) {
                        t0 = (py - m - a.y) / dy, t1 = (py + m - a.y) / dy;
                        if (t0 > t1) std::swap(t0, t1);
                        t0 = std::max(t0, 0.0f), t1 = std::min(t1, 1.0f);
                        if (t0 > t1) continue;
                    } else if (std::fabs(py - a.y) > m) {
                        continue;
                    }
                    const float xa = a.x + (b.x - a.x) * t0, xb = a.x + (b.x - a.x) * t1;
                    spans.Add(std::min(xa, xb) - m, std::max(xa, xb) + m);
                }
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
        Fill(
            x0, y0, x1, y1, p,
            [contours](float px, float py) {
                bool inside = false;
                for (const auto& c : contours) {
                    for (std::size_t i = 0, j = c.size() - 1; i < c.size(); j = i++) {
                        if ((c[i].y > py) != (c[j].y > py) && px < Crossing(c[i], c[j], py)) {
                            inside = !inside;
                        }
                    }
                }
                return inside;
            },
            [contours](float py, Spans& spans) {
                // The same crossings the test counts: a sample is inside exactly when an odd
                // number of them lie to its right, that is between the 1st and 2nd, 3rd and
                // 4th ... in order (a closed contour crosses a row an even number of times).
                spans.exact = true;
                std::vector<float>& xs = spans.scratch;
                xs.clear();
                for (const auto& c : contours) {
                    for (std::size_t i = 0, j = c.size() - 1; i < c.size(); j = i++) {
                        if ((c[i].y > py) != (c[j].y > py)) xs.push_back(Crossing(c[i], c[j], py));
                    }
                }
                std::sort(xs.begin(), xs.end());
                for (std::size_t k = 0; k + 1 < xs.size(); k += 2) spans.Add(xs[k], xs[k + 1]);
            });
    }
    void Polygon(const std::vector<Pt>& pts, const Paint& p) { Contours({pts}, p); }

    Image Finish() {
        [[maybe_unused]] const SinglePrecision single;
        Image image;
        image.width = width_;
        image.height = height_;
        image.rgba.resize(static_cast<std::size_t>(width_) * height_ * 4);
        const int sw = width_ * kS;
        const int rows = std::max(1, bandSamples / std::max(1, sw * kS));
        static thread_local std::vector<Rgba> band;
        for (int top = 0; top < height_; top += rows) {
            const int bottom = std::min(height_, top + rows);
            band.assign(static_cast<std::size_t>(bottom - top) * kS * sw, Rgba{});
            band_ = band.data();
            bandTop_ = top * kS;
            bandBottom_ = bottom * kS;
            for (const auto& shape : shapes_) shape();
            for (int y = top; y < bottom; ++y) Resolve(band, y, top, image);
        }
        band_ = nullptr;
        return image;
    }

  private:
    static constexpr int kS = 4;

    // Pixel row y of the image from the band that starts at pixel row top.
    void Resolve(const std::vector<Rgba>& band, int y, int top, Image& image) const {
        const int sw = width_ * kS;
        for (int x = 0; x < width_; ++x) {
            Rgba sum;
            for (int sy = 0; sy < kS; ++sy) {
                for (int sx = 0; sx < kS; ++sx) {
                    const Rgba& s = band[static_cast<std::size_t>((y - top) * kS + sy) * sw +
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
                return Round(std::clamp(v, 0.0f, 1.0f) * 255);
            };
            out[0] = channel(sum.r);
            out[1] = channel(sum.g);
            out[2] = channel(sum.b);
            out[3] = Round(std::clamp(a, 0.0f, 1.0f) * 255);
        }
    }

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

    // The intervals of x (design units) of one row that a shape may reach: outside them no
    // sample of the row is inside it. Exact spans are the inside itself, [lo, hi) each.
    struct Spans {
        struct Span {
            float lo, hi;
        };
        std::vector<Span> list;
        std::vector<float> scratch;
        bool exact = false;
        void Add(float lo, float hi) {
            if (lo <= hi) list.push_back({lo, hi});
        }
    };
    static void WholeRow(float, Spans& spans) { spans.Add(-1e30f, 1e30f); }

    // Slack for float rounding in the span of a shape of this size: far more than the
    // rounding can be, far less than a sample.
    static float Margin(float size) { return std::fabs(size) * 1e-3f + 1e-3f; }

    // The samples of a row inside the ellipse (cx, cy, rx, ry) and not well inside the inner
    // one (radii ix, iy; none when either is 0 or less). A test near the ellipse's top or
    // bottom, where the width changes fastest, is allowed 1e-5 of slack under the root.
    static void EllipseSpans(float cx, float cy, float rx, float ry, float ix, float iy, float py,
                             Spans& spans) {
        auto half = [py, cy](float a, float b, float slack) {
            const float t = (py - cy) / b;
            return a * std::sqrt(std::max(0.0f, 1.0f - t * t + slack));
        };
        const float m = Margin(std::max(rx, ry) + std::fabs(cx));
        if (std::fabs(py - cy) > ry + m) return;
        const float outer = half(rx, ry, 1e-5f) + m;
        const float inner = ix > 0 && iy > 0 ? half(ix, iy, -1e-5f) - m : 0;
        if (inner > 0) {
            spans.Add(cx - outer, cx - inner);
            spans.Add(cx + inner, cx + outer);
        } else {
            spans.Add(cx - outer, cx + outer);
        }
    }

    static float Crossing(const Pt& i, const Pt& j, float py) {
        return (j.x - i.x) * (py - i.y) / (j.y - i.y) + i.x;
    }

    // v (0 to 255) to the nearest integer, halves away from zero, as std::lround does: exact
    // in double, where adding 0.5 to a float loses nothing.
    static std::uint8_t Round(float v) {
        return static_cast<std::uint8_t>(static_cast<int>(static_cast<double>(v) + 0.5));
    }

    // A paint with its constant parts worked out once; gives exactly Paint::At's colours.
    struct Shader {
        explicit Shader(const Paint& p)
            : type(p.type),
              c1(p.c1),
              d{p.c2.r - p.c1.r, p.c2.g - p.c1.g, p.c2.b - p.c1.b, p.c2.a - p.c1.a},
              x1(p.x1),
              y1(p.y1),
              dx(p.x2 - p.x1),
              dy(p.y2 - p.y1),
              len2(dx * dx + dy * dy),
              radius(p.radius) {}
        Rgba Mixed(float t) const {
            t = std::clamp(t, 0.0f, 1.0f);
            return {c1.r + d.r * t, c1.g + d.g * t, c1.b + d.b * t, c1.a + d.a * t};
        }
        Rgba At(float x, float y) const {
            switch (type) {
                case Paint::Type::Solid:
                    return c1;
                case Paint::Type::Linear:
                    return Mixed(len2 > 0 ? ((x - x1) * dx + (y - y1) * dy) / len2 : 0);
                case Paint::Type::Radial:
                    return Mixed(std::hypot(x - x1, y - y1) / radius);
            }
            return c1;
        }
        Paint::Type type;
        Rgba c1, d;
        float x1, y1, dx, dy, len2, radius;
    };

    // Keeps a shape, with the transform of the moment, to be drawn band by band.
    template <class Inside, class RowSpans>
    void Fill(float bx0, float by0, float bx1, float by1, const Paint& paint, Inside inside,
              RowSpans rowSpans) {
        shapes_.push_back(
            [=, this, xf = xf_]() { FillBand(xf, bx0, by0, bx1, by1, paint, inside, rowSpans); });
    }

    // Draws a shape's samples that lie in the current band.
    template <class Inside, class RowSpans>
    void FillBand(const Xf& xf, float bx0, float by0, float bx1, float by1, const Paint& paint,
                  const Inside& inside, const RowSpans& rowSpans) {
        // Bounds of the transformed box, in samples.
        float gx0 = 1e9f, gy0 = 1e9f, gx1 = -1e9f, gy1 = -1e9f;
        for (const Pt& corner : {Pt{bx0, by0}, Pt{bx1, by0}, Pt{bx0, by1}, Pt{bx1, by1}}) {
            const float x = xf.a * corner.x + xf.c * corner.y + xf.e;
            const float y = xf.b * corner.x + xf.d * corner.y + xf.f;
            gx0 = std::min(gx0, x), gy0 = std::min(gy0, y);
            gx1 = std::max(gx1, x), gy1 = std::max(gy1, y);
        }
        const int sw = width_ * kS;
        const int sx0 = std::max(0, static_cast<int>(std::floor((gx0 * scale_ + offX_) * kS)));
        const int sy0 =
            std::max(bandTop_, static_cast<int>(std::floor((gy0 * scale_ + offY_) * kS)));
        const int sx1 = std::min(sw - 1, static_cast<int>(std::ceil((gx1 * scale_ + offX_) * kS)));
        const int sy1 =
            std::min(bandBottom_ - 1, static_cast<int>(std::ceil((gy1 * scale_ + offY_) * kS)));
        const float det = xf.a * xf.d - xf.b * xf.c;
        if (det == 0 || sx0 > sx1 || sy0 > sy1) return;
        // Sample centres back to design units, before the inverse transform; rising with the
        // index, so a span's samples are found by bisection.
        columns_.resize(static_cast<std::size_t>(sx1 - sx0 + 1));
        for (int sx = sx0; sx <= sx1; ++sx) {
            columns_[static_cast<std::size_t>(sx - sx0)] =
                ((sx + 0.5f) / kS - offX_) / scale_ - xf.e;
        }
        // Without rotation or scaling the inverse transform leaves a sample where it is.
        const bool plain = narrowRows && xf.a == 1 && xf.b == 0 && xf.c == 0 && xf.d == 1;
        const Shader shader(paint);
        for (int sy = sy0; sy <= sy1; ++sy) {
            const float gy = ((sy + 0.5f) / kS - offY_) / scale_ - xf.f;
            Rgba* row = &band_[static_cast<std::size_t>(sy - bandTop_) * sw + sx0];
            if (!plain) {
                for (std::size_t i = 0; i < columns_.size(); ++i) {
                    const float gx = columns_[i];
                    const float x = (xf.d * gx - xf.c * gy) / det;
                    const float y = (-xf.b * gx + xf.a * gy) / det;
                    if (inside(x, y)) Blend(row[i], shader.At(x, y));
                }
                continue;
            }
            spans_.list.clear();
            spans_.exact = false;
            rowSpans(gy, spans_);
            auto& list = spans_.list;
            if (!spans_.exact && list.size() > 1) {  // bounds may overlap: merged
                std::sort(list.begin(), list.end(),
                          [](const auto& a, const auto& b) { return a.lo < b.lo; });
                std::size_t kept = 0;
                for (std::size_t k = 1; k < list.size(); ++k) {
                    if (list[k].lo <= list[kept].hi) {
                        list[kept].hi = std::max(list[kept].hi, list[k].hi);
                    } else {
                        list[++kept] = list[k];
                    }
                }
                list.resize(kept + 1);
            }
            for (const auto& span : list) {
                const auto first = std::lower_bound(columns_.begin(), columns_.end(), span.lo);
                const auto last = spans_.exact ? std::lower_bound(first, columns_.end(), span.hi)
                                               : std::upper_bound(first, columns_.end(), span.hi);
                for (auto it = first; it != last; ++it) {
                    const float x = *it;
                    if (!spans_.exact && !inside(x, gy)) continue;
                    Blend(row[it - columns_.begin()], shader.At(x, gy));
                }
            }
        }
    }

    static void Blend(Rgba& dst, const Rgba& c) {
        const float k = 1 - c.a;
        dst.r = c.r * c.a + dst.r * k;
        dst.g = c.g * c.a + dst.g * k;
        dst.b = c.b * c.a + dst.b * k;
        dst.a = c.a + dst.a * k;
    }

    int width_;
    int height_;
    float scale_ = 1, offX_ = 0, offY_ = 0;
    Xf xf_;
    std::vector<std::function<void()>> shapes_;
    Rgba* band_ = nullptr;  // premultiplied samples of rows [bandTop_, bandBottom_)
    int bandTop_ = 0;
    int bandBottom_ = 0;
    std::vector<float> columns_;
    Spans spans_;
};

}  // namespace ui::drawing
