// The pixel operations of CxImage. Named float variables keep single precision; expressions are
// evaluated in double and truncated from the double, as x87 arithmetic of a 32-bit build does.
#include "image/CxImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

BYTE clampByte(double v)
{
    return v <= 0.0 ? 0 : v >= 255.0 ? 255 : static_cast<BYTE>(v);
}

BYTE clampByte(int64_t v)
{
    return static_cast<BYTE>(std::clamp<int64_t>(v, 0, 255));
}

// Source pixels covered by each destination pixel of a shrink, with weights in thousandths.
struct Footprints
{
    std::vector<DWORD> first;  // first source index per destination pixel
    std::vector<DWORD> offset; // start of its weights in `weights`, one extra at the end
    std::vector<uint32_t> weights;
};

// Weight in thousandths of source pixel i that lies before the edge e.
uint32_t coveredBefore(DWORD i, double e)
{
    if (e <= i)
        return 0;
    if (e >= i + 1.0)
        return 1000;
    return static_cast<uint32_t>((e - i) * 1000.0);
}

Footprints footprints(DWORD nSrc, DWORD nDst, float scale)
{
    Footprints f;
    f.first.resize(nDst);
    f.offset.resize(nDst + 1);
    for (DWORD k = 0; k < nDst; ++k) {
        double s = k * double(scale);
        double e = k + 1 == nDst ? double(nSrc) : std::min<double>((k + 1) * double(scale), nSrc);
        DWORD i0 = std::min<DWORD>(static_cast<DWORD>(s), nSrc - 1);
        DWORD i1 = std::min<DWORD>(static_cast<DWORD>(std::ceil(e)), nSrc);
        f.first[k] = i0;
        f.offset[k] = static_cast<DWORD>(f.weights.size());
        for (DWORD i = i0; i < std::max(i1, i0 + 1); ++i)
            f.weights.push_back(coveredBefore(i, e) - coveredBefore(i, s));
    }
    f.offset[nDst] = static_cast<DWORD>(f.weights.size());
    return f;
}

double cubic(double x)
{
    // Keys' kernel with a = -0.5.
    x = std::fabs(x);
    if (x <= 1.0)
        return (1.5 * x - 2.5) * x * x + 1.0;
    if (x < 2.0)
        return ((-0.5 * x + 2.5) * x - 4.0) * x + 2.0;
    return 0.0;
}

// rgbToHsl, the saturation table and hslToRgb in one step, with the same arithmetic: what
// depends on one or two bytes alone (the divisions, the hue's place on each channel's ramp)
// is read from tables made once.
class HslSaturation
{
public:
    explicit HslSaturation(const BYTE* table) : table_(table), t_(tables()) {}

    // Written without branches on the pixel: photos defeat branch prediction. A grey pixel
    // (range 0) and a saturation of 0 come out of the same arithmetic as the rest.
    void apply(BYTE* bgr) const
    {
        const int r = bgr[2], g = bgr[1], b = bgr[0];
        const int mx = std::max(std::max(r, g), b), mn = std::min(std::min(r, g), b);
        const int sum = mx + mn, range = mx - mn;
        const BYTE l = t_.lightness[sum];
        const BYTE* step = &t_.hueStep[size_t(range) << 8];
        const int dr = step[mx - r], dg = step[mx - g], db = step[mx - b];
        const int hr = db - dg, hg = 85 + dr - db, hb = 170 + dg - dr;
        // The first channel at the maximum decides, as in rgbToHsl; no range means grey.
        const int hues[4] = {hb, hg, hr, 170};
        const int h = hues[range == 0 ? 3 : r == mx ? 2 : int(g == mx)] & 0xFF;
        toRgb(h, table_[t_.saturation[(size_t(range) << 9) | size_t(sum)]], l, bgr);
    }

    // hslToRgb. The ramp's division by 60 is a product with a table of along / 60: the
    // results agree with the division's for every hue, saturation and lightness.
    void toRgb(int h, BYTE s, BYTE l, BYTE* bgr) const
    {
        const float sf = t_.unit[s], lf = t_.unit[l];
        const float low = static_cast<float>(double(lf) * (1.0 + sf));
        const float high = static_cast<float>(double(lf) + sf - double(lf) * sf);
        const float both[2] = {low, high};
        const float m2 = both[!(lf <= 0.5f)];
        const float m1 = static_cast<float>(2.0 * lf - m2);
        const Hue& hue = t_.hues[h];
        const float ramp = static_cast<float>(m1 + (double(m2) - m1) * hue.along);
        const BYTE values[3] = {toByte(m1), toByte(m2), toByte(ramp)};
        bgr[2] = values[hue.part[0]];
        bgr[1] = values[hue.part[1]];
        bgr[0] = values[hue.part[2]];
    }

private:
    // Each hue puts at most one channel on a ramp of hueToValue's curve; the others sit at
    // m1 or m2.
    struct Hue
    {
        enum Part : BYTE { Low, High, Ramp };
        Part part[3];  // red, green, blue
        double along; // x on the rising ramp, 240 - x on the falling one, over 60
    };
    struct Tables
    {
        BYTE lightness[511];
        BYTE saturation[256 << 9]; // [range][max + min]
        BYTE hueStep[256 << 8];    // [range][max - channel]
        float unit[256];
        Hue hues[256];
    };

    static BYTE toByte(float v)
    {
        // clampByte(double(v) * 255.0) without its branches: v lies within rounding of 0..1,
        // where truncating first and clamping the integer gives the same byte.
        return static_cast<BYTE>(std::clamp(static_cast<int>(double(v) * 255.0), 0, 255));
    }

    static const Tables& tables()
    {
        static const Tables* const made = [] {
            auto* t = new Tables{};
            for (int sum = 0; sum <= 510; ++sum)
                t->lightness[sum] = static_cast<BYTE>((sum * 255 + 255) / 510);
            for (int range = 1; range <= 255; ++range) {
                for (int sum = range; sum <= 510 - range; ++sum) {
                    const int l = t->lightness[sum];
                    const int d = l <= 127 ? sum : 510 - sum;
                    t->saturation[(range << 9) | sum] = static_cast<BYTE>((range * 255 + d / 2) / d);
                }
                for (int diff = 0; diff <= range; ++diff)
                    t->hueStep[(range << 8) | diff] = static_cast<BYTE>((diff * 42 + range / 2) / range);
            }
            for (int k = 0; k < 256; ++k) {
                t->unit[k] = static_cast<float>(k / 255.0);
                const float h = static_cast<float>(k * 360.0 / 255.0);
                const float xs[3] = {static_cast<float>(h + 120.0), h, static_cast<float>(h - 120.0)};
                Hue& hue = t->hues[k];
                hue.along = 0.0;
                for (int c = 0; c < 3; ++c) {
                    float x = xs[c];
                    if (x > 360.0f)
                        x = static_cast<float>(x - 360.0);
                    if (x < 0.0f)
                        x = static_cast<float>(x + 360.0);
                    if (x < 60.0f) {
                        hue.part[c] = Hue::Ramp;
                        hue.along = x / 60.0;
                    } else if (x < 180.0f) {
                        hue.part[c] = Hue::High;
                    } else if (x < 240.0f) {
                        hue.part[c] = Hue::Ramp;
                        hue.along = (240.0 - x) / 60.0;
                    } else {
                        hue.part[c] = Hue::Low;
                    }
                }
            }
            return t;
        }();
        return *made;
    }

    const BYTE* table_;
    const Tables& t_;
};

RGBQUAD saturateYuv(RGBQUAD c, const BYTE* table)
{
    double r = c.rgbRed, g = c.rgbGreen, b = c.rgbBlue;
    double y = 0.299 * r + 0.587 * g + 0.114 * b;
    double u = table[clampByte((b - y) * 0.565 + 128.0)] - 128.0;
    double v = table[clampByte((r - y) * 0.713 + 128.0)] - 128.0;
    c.rgbRed = clampByte(y + 1.403 * v);
    c.rgbGreen = clampByte(y - 0.344 * u - 0.714 * v);
    c.rgbBlue = clampByte(y + 1.770 * u);
    return c;
}

} // namespace

void CxImage::Install(CxImage& tmp, CxImage* dst)
{
    if (dst != nullptr)
        dst->Transfer(tmp);
    else
        Transfer(tmp);
}

bool CxImage::Scale(DWORD newWidth, DWORD newHeight, int mode, CxImage* dst)
{
    if (pDib == nullptr || newWidth == 0 || newHeight == 0)
        return false;
    if (newWidth == GetWidth() && newHeight == GetHeight()) {
        if (dst != nullptr)
            dst->CopyFrom(*this);
        return true;
    }
    float xScale = static_cast<float>(double(GetWidth()) / newWidth);
    float yScale = static_cast<float>(double(GetHeight()) / newHeight);

    CxImage out;
    out.CopyInfo(*this);
    if (out.Create(newWidth, newHeight, GetBpp(), GetType()) == nullptr) {
        SetLastError(out.GetLastError());
        return false;
    }
    if (head.biClrUsed != 0)
        std::memcpy(out.GetPalette(), GetPalette(), head.biClrUsed * sizeof(RGBQUAD));

    bool done = true;
    if (mode == 1 || head.biClrUsed != 0) {
        // Palette images stay exact with nearest sampling whatever the mode.
        ScaleNearest(out, xScale, yScale);
    } else if (mode == 2) {
        ScaleBicubic(out, xScale, yScale);
    } else if (GetWidth() > newWidth && GetHeight() > newHeight) {
        done = ScaleAreaAverage(out, xScale, yScale);
    } else {
        done = ScaleBilinear(out, xScale, yScale);
    }
    if (!done)
        return false;
    if (pAlpha != nullptr) {
        if (!out.AlphaCreate()) {
            SetLastError("CxImage::Create can't allocate memory");
            return false;
        }
        CopyAlphaNearest(out, xScale, yScale, mode == 1);
    }
    Install(out, dst);
    return true;
}

// Nearest sampling keeps its coordinates in single precision; the other modes take the alpha
// source pixel from the exact product.
void CxImage::CopyAlphaNearest(CxImage& out, float xScale, float yScale, bool floatCoordinates) const
{
    auto source = [floatCoordinates](DWORD i, float scale) {
        double v = i * double(scale);
        return static_cast<DWORD>(floatCoordinates ? static_cast<float>(v) : v);
    };
    DWORD w = GetWidth(), h = GetHeight();
    DWORD nw = out.GetWidth(), nh = out.GetHeight();
    std::vector<DWORD> sx(nw);
    for (DWORD x = 0; x < nw; ++x)
        sx[x] = std::min<DWORD>(source(x, xScale), w - 1);
    for (DWORD y = 0; y < nh; ++y) {
        DWORD sy = std::min<DWORD>(source(y, yScale), h - 1);
        const BYTE* s = pAlpha + size_t{sy} * w;
        BYTE* d = out.pAlpha + size_t{y} * nw;
        for (DWORD x = 0; x < nw; ++x)
            d[x] = s[sx[x]];
    }
}

void CxImage::ScaleNearest(CxImage& out, float xScale, float yScale)
{
    DWORD w = GetWidth(), h = GetHeight();
    DWORD nw = out.GetWidth(), nh = out.GetHeight();
    std::vector<DWORD> sx(nw);
    for (DWORD x = 0; x < nw; ++x) {
        float fX = static_cast<float>(x * double(xScale));
        sx[x] = std::min<DWORD>(static_cast<DWORD>(fX), w - 1);
    }
    for (DWORD y = 0; y < nh; ++y) {
        float fY = static_cast<float>(y * double(yScale));
        DWORD sy = std::min<DWORD>(static_cast<DWORD>(fY), h - 1);
        if (head.biClrUsed == 0) {
            const BYTE* s = info.pImage + size_t{sy} * info.dwEffWidth;
            BYTE* d = out.info.pImage + size_t{y} * out.info.dwEffWidth;
            for (DWORD x = 0; x < nw; ++x, d += 3)
                std::memcpy(d, s + size_t{sx[x]} * 3, 3);
        } else {
            for (DWORD x = 0; x < nw; ++x)
                out.SetPixelIndex(LONG(x), LONG(y), GetPixelIndex(LONG(sx[x]), LONG(sy)));
        }
        info.nProgress = static_cast<LONG>(uint64_t{y} * 100 / nh);
    }
}

bool CxImage::ScaleBilinear(CxImage& out, float xScale, float yScale)
{
    DWORD w = GetWidth(), h = GetHeight();
    DWORD nw = out.GetWidth(), nh = out.GetHeight();
    std::vector<DWORD> ix(nw), ix1(nw);
    std::vector<float> dx(nw);
    for (DWORD x = 0; x < nw; ++x) {
        float fX = static_cast<float>(x * double(xScale));
        ix[x] = std::min<DWORD>(static_cast<DWORD>(fX), w - 1);
        ix1[x] = std::min<DWORD>(w - 1, ix[x] + 1);
        dx[x] = static_cast<float>(double(fX) - ix[x]);
    }
    for (DWORD y = 0; y < nh; ++y) {
        if (info.nEscape != 0)
            return false;
        float fY = static_cast<float>(y * double(yScale));
        DWORD iy = std::min<DWORD>(static_cast<DWORD>(fY), h - 1);
        DWORD iy1 = std::min<DWORD>(h - 1, iy + 1);
        float dy = static_cast<float>(double(fY) - iy);
        const BYTE* r0 = info.pImage + size_t{iy} * info.dwEffWidth;
        const BYTE* r1 = info.pImage + size_t{iy1} * info.dwEffWidth;
        BYTE* d = out.info.pImage + size_t{y} * out.info.dwEffWidth;
        for (DWORD x = 0; x < nw; ++x) {
            const BYTE* c1 = r0 + size_t{ix[x]} * 3;
            const BYTE* c2 = r0 + size_t{ix1[x]} * 3;
            const BYTE* c3 = r1 + size_t{ix[x]} * 3;
            const BYTE* c4 = r1 + size_t{ix1[x]} * 3;
            for (int c = 0; c < 3; ++c) {
                float a = static_cast<float>(c1[c] + (double(c3[c]) - c1[c]) * dy);
                float b = static_cast<float>(c2[c] + (double(c4[c]) - c2[c]) * dy);
                *d++ = clampByte(double(a) + (double(b) - a) * dx[x]);
            }
        }
        info.nProgress = static_cast<LONG>(uint64_t{y} * 100 / nh);
    }
    return true;
}

bool CxImage::ScaleAreaAverage(CxImage& out, float xScale, float yScale)
{
    DWORD nw = out.GetWidth(), nh = out.GetHeight();
    Footprints fx = footprints(GetWidth(), nw, xScale);
    Footprints fy = footprints(GetHeight(), nh, yScale);
    auto divisor = static_cast<uint64_t>(double(xScale) * 1000.0 * double(yScale));
    if (divisor == 0)
        divisor = 1;
    std::vector<uint64_t> acc(size_t{nw} * 3);
    std::vector<uint32_t> wrow(fx.weights.size());

    for (DWORD ky = 0; ky < nh; ++ky) {
        if (info.nEscape != 0)
            return false;
        std::fill(acc.begin(), acc.end(), 0);
        for (DWORD j = fy.offset[ky]; j < fy.offset[ky + 1]; ++j) {
            uint32_t wy = fy.weights[j];
            if (wy == 0)
                continue;
            for (size_t i = 0; i < wrow.size(); ++i)
                wrow[i] = fx.weights[i] * wy / 1000;
            const BYTE* row = info.pImage + size_t{fy.first[ky] + (j - fy.offset[ky])} * info.dwEffWidth;
            uint64_t* a = acc.data();
            for (DWORD kx = 0; kx < nw; ++kx, a += 3) {
                const BYTE* s = row + size_t{fx.first[kx]} * 3;
                uint64_t b = 0, g = 0, r = 0;
                for (DWORD i = fx.offset[kx]; i < fx.offset[kx + 1]; ++i, s += 3) {
                    uint32_t wgt = wrow[i];
                    b += uint64_t{s[0]} * wgt;
                    g += uint64_t{s[1]} * wgt;
                    r += uint64_t{s[2]} * wgt;
                }
                a[0] += b;
                a[1] += g;
                a[2] += r;
            }
        }
        BYTE* d = out.info.pImage + size_t{ky} * out.info.dwEffWidth;
        for (size_t i = 0; i < acc.size(); ++i)
            d[i] = static_cast<BYTE>(std::min<uint64_t>(acc[i] / divisor, 255));
        info.nProgress = static_cast<LONG>(uint64_t{ky} * 100 / nh);
    }
    return true;
}

void CxImage::ScaleBicubic(CxImage& out, float xScale, float yScale)
{
    LONG w = head.biWidth, h = head.biHeight;
    DWORD nw = out.GetWidth(), nh = out.GetHeight();
    for (DWORD y = 0; y < nh; ++y) {
        float fY = static_cast<float>(y * double(yScale) - 0.5);
        LONG iy = static_cast<LONG>(std::floor(fY));
        BYTE* d = out.info.pImage + size_t{y} * out.info.dwEffWidth;
        for (DWORD x = 0; x < nw; ++x, d += 3) {
            float fX = static_cast<float>(x * double(xScale) - 0.5);
            LONG ix = static_cast<LONG>(std::floor(fX));
            double sum[3] = {0, 0, 0};
            for (LONG m = -1; m <= 2; ++m) {
                double wy = cubic(double(fY) - (iy + m));
                LONG sy = std::clamp<LONG>(iy + m, 0, h - 1);
                const BYTE* row = info.pImage + size_t(sy) * info.dwEffWidth;
                for (LONG n = -1; n <= 2; ++n) {
                    double wgt = wy * cubic(double(fX) - (ix + n));
                    const BYTE* s = row + size_t(std::clamp<LONG>(ix + n, 0, w - 1)) * 3;
                    for (int c = 0; c < 3; ++c)
                        sum[c] += s[c] * wgt;
                }
            }
            for (int c = 0; c < 3; ++c)
                d[c] = clampByte(sum[c]);
        }
    }
}

bool CxImage::FitInto(LONG boxWidth, LONG boxHeight, RGBQUAD, CxImage* dst)
{
    if (pDib == nullptr || boxWidth <= 0 || boxHeight <= 0)
        return false;
    CxImage result;
    double width = GetWidth(), height = GetHeight();
    // Scaling into the result straight from this image gives the same pixels as scaling a copy,
    // without holding a second full-size picture.
    bool scaled = false;
    if (width > boxWidth || height > boxHeight) {
        float r = static_cast<float>(double(boxWidth) / boxHeight);
        float s = width < height * r ? static_cast<float>(boxHeight / height)
                                     : static_cast<float>(boxWidth / width);
        // A side truncated to nothing would make the scale fail and deliver the oversized copy.
        auto nw = std::max<DWORD>(1, static_cast<DWORD>(width * s));
        auto nh = std::max<DWORD>(1, static_cast<DWORD>(height * s));
        scaled = Scale(nw, nh, 0, &result);
    }
    if (!scaled) {
        result.CopyFrom(*this);
        if (!result.IsValid()) {
            SetLastError(result.GetLastError());
            return false;
        }
    }
    if (dst != nullptr)
        dst->Transfer(result);
    else
        Transfer(result);
    return true;
}

bool CxImage::Rotate90Left(CxImage* dst)
{
    return Rotate90(dst, true);
}

bool CxImage::Rotate90Right(CxImage* dst)
{
    return Rotate90(dst, false);
}

bool CxImage::Rotate90(CxImage* dst, bool left)
{
    if (pDib == nullptr)
        return false;
    DWORD w = GetWidth(), h = GetHeight();
    CxImage out;
    out.CopyInfo(*this);
    if (out.Create(h, w, GetBpp(), GetType()) == nullptr) {
        SetLastError(out.GetLastError());
        return false;
    }
    if (head.biClrUsed != 0)
        std::memcpy(out.GetPalette(), GetPalette(), head.biClrUsed * sizeof(RGBQUAD));
    if ((pAlpha != nullptr && !out.AlphaCreate()) || (pSelection != nullptr && !out.SelectionCreate())) {
        SetLastError("CxImage::Create can't allocate memory");
        return false;
    }
    // Result (i, j) comes from source (j, h-1-i) turning left, (w-1-j, i) turning right.
    for (DWORD j = 0; j < w; ++j) {
        if (info.nEscape != 0)
            return false;
        BYTE* d = out.info.pImage + size_t{j} * out.info.dwEffWidth;
        for (DWORD i = 0; i < h; ++i) {
            DWORD sx = left ? j : w - 1 - j;
            DWORD sy = left ? h - 1 - i : i;
            if (head.biClrUsed == 0)
                std::memcpy(d + size_t{i} * 3, info.pImage + size_t{sy} * info.dwEffWidth + size_t{sx} * 3,
                            3);
            else
                out.SetPixelIndex(LONG(i), LONG(j), GetPixelIndex(LONG(sx), LONG(sy)));
            if (pAlpha != nullptr)
                out.pAlpha[size_t{j} * h + i] = pAlpha[size_t{sy} * w + sx];
            if (pSelection != nullptr)
                out.SelectionSet(LONG(i), LONG(j), pSelection[size_t{sy} * w + sx]);
        }
        info.nProgress = static_cast<LONG>(uint64_t{j} * 100 / w);
    }
    out.jpegMeta.turned = true;
    Install(out, dst);
    return true;
}

bool CxImage::CropTo(LONG left, LONG top, LONG right, LONG bottom, CxImage* dst)
{
    if (pDib == nullptr)
        return false;
    LONG w = head.biWidth, h = head.biHeight;
    left = std::clamp<LONG>(left, 0, w);
    right = std::clamp<LONG>(right, 0, w);
    // Stored rows count from the bottom.
    LONG startRow = h - std::clamp<LONG>(top, 0, h);
    LONG endRow = h - std::clamp<LONG>(bottom, 0, h);
    if (left == right || startRow == endRow)
        return false;
    if (left > right)
        std::swap(left, right);
    if (endRow > startRow)
        std::swap(endRow, startRow);
    // Rows endRow .. startRow - 1 are kept.
    DWORD nw = DWORD(right - left), nh = DWORD(startRow - endRow);

    CxImage out;
    out.CopyInfo(*this);
    out.info.rSelectionBox = RECT{0, 0, 0, 0};
    if (out.Create(nw, nh, GetBpp(), GetType()) == nullptr) {
        SetLastError(out.GetLastError());
        return false;
    }
    if (head.biClrUsed != 0)
        std::memcpy(out.GetPalette(), GetPalette(), head.biClrUsed * sizeof(RGBQUAD));
    for (DWORD y = 0; y < nh; ++y) {
        DWORD sy = DWORD(endRow) + y;
        if (GetBpp() >= 8) {
            size_t bytes = GetBpp() / 8;
            std::memcpy(out.info.pImage + size_t{y} * out.info.dwEffWidth,
                        info.pImage + size_t{sy} * info.dwEffWidth + size_t(left) * bytes,
                        size_t{nw} * bytes);
        } else {
            for (DWORD x = 0; x < nw; ++x)
                out.SetPixelIndex(LONG(x), LONG(y), GetPixelIndex(left + LONG(x), LONG(sy)));
        }
    }
    if (pAlpha != nullptr) {
        if (!out.AlphaCreate()) {
            SetLastError("CxImage::Create can't allocate memory");
            return false;
        }
        for (DWORD y = 0; y < nh; ++y)
            std::memcpy(out.pAlpha + size_t{y} * nw, pAlpha + size_t{endRow + y} * DWORD(w) + left, nw);
    }
    Install(out, dst);
    return true;
}

bool CxImage::AdjustLight(LONG brightness, LONG contrast)
{
    if (pDib == nullptr)
        return false;
    float k = static_cast<float>((contrast + 100) / 100.0);
    float o = static_cast<float>(brightness + 128);
    BYTE table[256];
    for (int i = -128; i <= 127; ++i) {
        auto v = static_cast<int64_t>(i * double(k) + 0.5 + double(o));
        table[i + 128] = clampByte(v);
    }
    return ApplyLut(table);
}

bool CxImage::ApplyLut(const BYTE* lut)
{
    if (pDib == nullptr || lut == nullptr)
        return false;
    if (head.biClrUsed != 0) {
        if (pSelection != nullptr && GetBpp() == 8 && IsGreyPalette()) {
            for (LONG y = 0; y < head.biHeight; ++y)
                for (LONG x = 0; x < head.biWidth; ++x)
                    if (SelectionIsInside(x, y))
                        SetPixelIndex(x, y, lut[GetPixelIndex(x, y)]);
        } else {
            RGBQUAD* pal = GetPalette();
            for (DWORD i = 0; i < head.biClrUsed; ++i) {
                pal[i].rgbBlue = lut[pal[i].rgbBlue];
                pal[i].rgbGreen = lut[pal[i].rgbGreen];
                pal[i].rgbRed = lut[pal[i].rgbRed];
            }
        }
        return true;
    }
    if (pSelection != nullptr) {
        const RECT& box = info.rSelectionBox;
        for (LONG y = std::max<LONG>(box.bottom, 0); y < std::min(box.top, head.biHeight); ++y) {
            BYTE* row = info.pImage + size_t(y) * info.dwEffWidth;
            for (LONG x = std::max<LONG>(box.left, 0); x < std::min(box.right, head.biWidth); ++x) {
                if (!SelectionIsInside(x, y))
                    continue;
                BYTE* p = row + size_t(x) * 3;
                p[0] = lut[p[0]];
                p[1] = lut[p[1]];
                p[2] = lut[p[2]];
            }
        }
        return true;
    }
    BYTE* p = info.pImage;
    for (DWORD i = 0; i < head.biSizeImage; ++i)
        p[i] = lut[p[i]];
    return true;
}

bool CxImage::Saturate(LONG amount, LONG colorspace)
{
    if (pDib == nullptr)
        return false;
    if (colorspace != 1 && colorspace != 2) {
        SetLastError("Saturate: wrong colorspace");
        return false;
    }
    BYTE table[256];
    for (int k = 0; k < 256; ++k) {
        table[k] = colorspace == 1 ? clampByte(int64_t{k} + amount)
                                   : clampByte((k - 128) * (amount + 100.0) / 100.0 + 128.5);
    }
    const HslSaturation hsl(table);
    auto change = [&](RGBQUAD c) {
        if (colorspace == 2)
            return saturateYuv(c, table);
        BYTE bgr[3] = {c.rgbBlue, c.rgbGreen, c.rgbRed};
        hsl.apply(bgr);
        return RGBQUAD{bgr[0], bgr[1], bgr[2], c.rgbReserved};
    };
    if (head.biClrUsed != 0) {
        RGBQUAD* pal = GetPalette();
        for (DWORD i = 0; i < head.biClrUsed; ++i) {
            BYTE reserved = pal[i].rgbReserved;
            pal[i] = change(pal[i]);
            pal[i].rgbReserved = reserved;
        }
        return true;
    }
    LONG xMin = 0, xMax = head.biWidth, yMin = 0, yMax = head.biHeight;
    if (pSelection != nullptr) {
        xMin = std::max<LONG>(info.rSelectionBox.left, 0);
        xMax = std::min(info.rSelectionBox.right, head.biWidth);
        yMin = std::max<LONG>(info.rSelectionBox.bottom, 0);
        yMax = std::min(info.rSelectionBox.top, head.biHeight);
    }
    for (LONG y = yMin; y < yMax; ++y) {
        if (info.nEscape != 0)
            break;
        BYTE* p = info.pImage + size_t(y) * info.dwEffWidth + size_t(xMin) * 3;
        for (LONG x = xMin; x < xMax; ++x, p += 3) {
            if (pSelection != nullptr && pSelection[size_t(y) * head.biWidth + x] == 0)
                continue;
            if (colorspace == 1) {
                hsl.apply(p);
                continue;
            }
            RGBQUAD c = saturateYuv(RGBQUAD{p[0], p[1], p[2], 0}, table);
            p[0] = c.rgbBlue;
            p[1] = c.rgbGreen;
            p[2] = c.rgbRed;
        }
        info.nProgress = static_cast<LONG>(int64_t{y - yMin} * 100 / std::max<LONG>(1, yMax - yMin));
    }
    return true;
}

bool CxImage::PromoteBitDepth(WORD bpp)
{
    if (pDib == nullptr || bpp > 24)
        return false;
    if (bpp == GetBpp())
        return true;
    if (bpp < GetBpp() || !(bpp == 4 || bpp == 8 || bpp == 24))
        return false;
    DWORD w = GetWidth(), h = GetHeight();
    CxImage out;
    out.CopyInfo(*this);
    if (out.Create(w, h, bpp, GetType()) == nullptr) {
        SetLastError(out.GetLastError());
        return false;
    }
    if (bpp < 24)
        std::memcpy(out.GetPalette(), GetPalette(), head.biClrUsed * sizeof(RGBQUAD));
    else
        out.info.nBkgndColor = GetTransparentColour();
    for (DWORD y = 0; y < h; ++y) {
        BYTE* d = out.info.pImage + size_t{y} * out.info.dwEffWidth;
        for (DWORD x = 0; x < w; ++x) {
            BYTE index = GetPixelIndex(LONG(x), LONG(y));
            if (bpp < 24) {
                out.SetPixelIndex(LONG(x), LONG(y), index);
            } else {
                RGBQUAD c = GetPaletteColor(index);
                d[3 * x] = c.rgbBlue;
                d[3 * x + 1] = c.rgbGreen;
                d[3 * x + 2] = c.rgbRed;
            }
        }
    }
    if (pAlpha != nullptr) {
        if (!out.AlphaCreate()) {
            SetLastError("CxImage::Create can't allocate memory");
            return false;
        }
        std::memcpy(out.pAlpha, pAlpha, size_t{w} * h);
    }
    if (pSelection != nullptr && out.SelectionCreate()) {
        std::memcpy(out.pSelection, pSelection, size_t{w} * h);
        out.info.rSelectionBox = info.rSelectionBox;
    }
    Transfer(out);
    return true;
}
