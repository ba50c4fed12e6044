// pictavo-image: decodes a picture, applies the image object's operations in the order given and
// encodes the result, so the operations can be tried and compared outside the control.
#include "image/CxIOFile.h"
#include "image/CxImage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* kUsage =
    "usage: pictavo-image IN OUT [--scale WxH[:MODE]] [--fit WxH] [--rotate left|right]\n"
    "                    [--crop L,T,R,B] [--light BRIGHTNESS,CONTRAST] [--saturate AMOUNT[:SPACE]]\n"
    "                    [--promote BPP] [--quality Q] [--format bmp|jpg|png]\n"
    "       pictavo-image --info IN\n";

int fail(const std::string& what)
{
    std::fprintf(stderr, "pictavo-image: %s\n", what.c_str());
    return 1;
}

// Parses exactly `count` integers separated by any of `separators`.
bool parseInts(const std::string& text, const char* separators, size_t count, std::vector<long>& out)
{
    out.clear();
    const char* p = text.c_str();
    while (out.size() < count) {
        char* end = nullptr;
        long v = std::strtol(p, &end, 10);
        if (end == p)
            return false;
        out.push_back(v);
        p = end;
        if (out.size() < count) {
            if (*p == 0 || std::strchr(separators, *p) == nullptr)
                return false;
            ++p;
        }
    }
    return *p == 0;
}

bool load(const char* path, CxImage& image, std::string& error)
{
    CxIOFile file;
    if (!file.OpenUtf8(path, "rb")) {
        error = std::string("cannot open ") + path;
        return false;
    }
    if (!image.Decode(&file, ImageFormat::Unknown)) {
        error = image.GetLastError();
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--info") {
        CxImage image;
        std::string error;
        if (!load(args[1].c_str(), image, error))
            return fail(error);
        std::printf("%u %u %u alpha=%d\n", image.GetWidth(), image.GetHeight(), unsigned(image.GetBpp()),
                    image.AlphaIsValid() ? 1 : 0);
        return 0;
    }
    if (args.size() < 2 || args[0].rfind("--", 0) == 0 || args[1].rfind("--", 0) == 0) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    const std::string& in = args[0];
    const std::string& out = args[1];

    CxImage image;
    std::string error;
    if (!load(in.c_str(), image, error))
        return fail(error);

    DWORD format = ImageFormat::Unknown;
    if (size_t dot = out.find_last_of('.');
        dot != std::string::npos && out.find('/', dot) == std::string::npos)
        format = CxImage::FormatFromExtension(out.c_str() + dot + 1);

    std::vector<long> v;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& opt = args[i];
        if (i + 1 >= args.size())
            return fail("missing value for " + opt);
        const std::string& value = args[++i];
        bool ok;
        image.SetLastError("");
        if (opt == "--scale") {
            std::string size = value, mode = "0";
            if (size_t colon = value.find(':'); colon != std::string::npos) {
                size = value.substr(0, colon);
                mode = value.substr(colon + 1);
            }
            std::vector<long> m;
            if (!parseInts(size, "x", 2, v) || !parseInts(mode, "", 1, m) || v[0] < 0 || v[1] < 0)
                return fail("bad --scale " + value);
            ok = image.Scale(DWORD(v[0]), DWORD(v[1]), int(m[0]));
        } else if (opt == "--fit") {
            if (!parseInts(value, "x", 2, v))
                return fail("bad --fit " + value);
            CxImage fitted;
            ok = image.FitInto(LONG(v[0]), LONG(v[1]), RGBQUAD{255, 255, 255, 0}, &fitted);
            if (ok)
                image.Transfer(fitted);
        } else if (opt == "--rotate") {
            if (value != "left" && value != "right")
                return fail("bad --rotate " + value);
            ok = value == "left" ? image.Rotate90Left() : image.Rotate90Right();
        } else if (opt == "--crop") {
            if (!parseInts(value, ",", 4, v))
                return fail("bad --crop " + value);
            ok = image.CropTo(LONG(v[0]), LONG(v[1]), LONG(v[2]), LONG(v[3]));
        } else if (opt == "--light") {
            if (!parseInts(value, ",", 2, v))
                return fail("bad --light " + value);
            ok = image.AdjustLight(LONG(v[0]), LONG(v[1]));
        } else if (opt == "--saturate") {
            std::string amount = value, space = "1";
            if (size_t colon = value.find(':'); colon != std::string::npos) {
                amount = value.substr(0, colon);
                space = value.substr(colon + 1);
            }
            std::vector<long> s;
            if (!parseInts(amount, "", 1, v) || !parseInts(space, "", 1, s))
                return fail("bad --saturate " + value);
            ok = image.Saturate(LONG(v[0]), LONG(s[0]));
        } else if (opt == "--promote") {
            if (!parseInts(value, "", 1, v) || v[0] < 0 || v[0] > 0xFFFF)
                return fail("bad --promote " + value);
            ok = image.PromoteBitDepth(WORD(v[0]));
        } else if (opt == "--quality") {
            if (!parseInts(value, "", 1, v))
                return fail("bad --quality " + value);
            image.SetQuality(int32_t(v[0]));
            continue;
        } else if (opt == "--format") {
            format = CxImage::FormatFromExtension(value.c_str());
            if (format == ImageFormat::Unknown)
                return fail("bad --format " + value);
            continue;
        } else {
            return fail("unknown option " + opt);
        }
        if (!ok) {
            const char* text = image.GetLastError();
            return fail(*text ? std::string(text) : opt + " " + value + " failed");
        }
    }
    if (format == ImageFormat::Unknown)
        return fail("cannot tell the output format of " + out + "; use --format");

    CxIOFile file;
    if (!file.OpenUtf8(out.c_str(), "wb"))
        return fail("cannot create " + out);
    bool encoded = image.Encode(&file, format);
    bool closed = file.Close();
    if (!encoded || !closed) {
        std::remove(out.c_str());
        return fail(encoded ? "cannot write " + out : std::string(image.GetLastError()));
    }
    return 0;
}
