// pictavo-image: decodes a picture, applies the image object's operations in the order given and
// encodes the result, so the operations can be tried and compared outside the control.
#include "image/CxIOFile.h"
#include "image/CxImage.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char* kUsage =
    "usage: pictavo-image IN OUT [--scale WxH[:MODE]] [--fit WxH] [--rotate left|right]\n"
    "                    [--crop L,T,R,B] [--light BRIGHTNESS,CONTRAST] [--saturate AMOUNT[:SPACE]]\n"
    "                    [--promote BPP] [--quality Q] [--format bmp|jpg|png]\n"
    "       pictavo-image --info IN\n"
    "\n"
    "Operations run in the order given. W and H are 1 or more; BRIGHTNESS is -255..255,\n"
    "CONTRAST -100..100, Q 1..100; MODE 1 samples the nearest pixel, 2 is bicubic, anything\n"
    "else averages when shrinking both sides and interpolates otherwise.\n"
    "Palette and grey pictures are always scaled by the nearest pixel, whatever MODE says, and\n"
    "the alpha plane of any picture is scaled by the nearest pixel too, so edges of transparent\n"
    "areas stay hard.\n"
    "A JPEG keeps the EXIF block and colour profile of a JPEG input; once --rotate has turned\n"
    "the pixels its EXIF orientation says 1, so viewers do not turn it again.\n"
    "OUT is written to a temporary file beside it and replaces it only when complete (keeping\n"
    "its permissions; a link is followed); a device or pipe given as OUT is written directly.\n";

int fail(const std::string& what)
{
    std::fprintf(stderr, "pictavo-image: %s\n", what.c_str());
    return 1;
}

// Parses exactly `count` integers in [low, high] separated by any of `separators`.
bool parseInts(const std::string& text, const char* separators, size_t count, std::vector<long>& out,
               long low = INT32_MIN, long high = INT32_MAX)
{
    out.clear();
    const char* p = text.c_str();
    while (out.size() < count) {
        char* end = nullptr;
        errno = 0;
        long v = std::strtol(p, &end, 10);
        if (end == p || errno == ERANGE || v < low || v > high)
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

// The format a file's first bytes announce, to ask that decoder why it failed.
DWORD sniffFormat(CxFile& file)
{
    BYTE head[4] = {};
    file.Seek(0, 0);
    const size_t got = file.Read(head, 1, sizeof head);
    file.Seek(0, 0);
    if (got >= 2 && head[0] == 'B' && head[1] == 'M')
        return ImageFormat::Bmp;
    if (got >= 2 && head[0] == 0xFF && head[1] == 0xD8)
        return ImageFormat::Jpg;
    if (got == 4 && head[0] == 0x89 && head[1] == 'P' && head[2] == 'N' && head[3] == 'G')
        return ImageFormat::Png;
    return ImageFormat::Unknown;
}

bool load(const char* path, CxImage& image, std::string& error)
{
    CxIOFile file;
    if (!file.OpenUtf8(path, "rb")) {
        error = std::string("cannot open ") + path + ": " + std::strerror(errno);
        return false;
    }
    if (!image.Decode(&file, ImageFormat::Unknown)) {
        error = image.GetLastError();
        // Trying every decoder in turn hides why the right one refused; a picture past the
        // memory bound deserves to be told apart from a broken file.
        CxImage probe;
        const DWORD format = sniffFormat(file);
        if (format != ImageFormat::Unknown && !probe.Decode(&file, format) &&
            std::strcmp(probe.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded") == 0)
            error = std::string(path) + " is too large: its pixels need more than " +
                    std::to_string(CXIMAGE_MAX_MEMORY >> 20) + " MiB";
        return false;
    }
    return true;
}

std::string ioFailure(const std::string& out, int error)
{
    return "cannot write " + out + ": " + std::strerror(error);
}

// Encodes into a stream; an I/O failure wins over the codec's text, which only echoes it.
bool encodeTo(FILE* stream, CxImage& image, DWORD format, const std::string& out, std::string& error)
{
    CxIOFile file(stream);
    errno = 0;
    const bool encoded = image.Encode(&file, format);
    int failure = errno;
    if (std::fflush(stream) != 0 || std::ferror(stream)) {
        error = ioFailure(out, errno ? errno : failure ? failure : EIO);
        return false;
    }
    if (!encoded) {
        error = image.GetLastError();
        return false;
    }
    if (::fsync(fileno(stream)) != 0 && errno != EINVAL) {
        error = ioFailure(out, errno);
        return false;
    }
    return true;
}

// Writes the picture so that a failure at any point leaves OUT as it was. Only the temporary
// file beside the target is ever removed: OUT may be the input, or not ours at all.
bool save(CxImage& image, DWORD format, const std::string& out, std::string& error)
{
    struct stat st{};
    const bool exists = ::stat(out.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or pipe cannot be replaced by a file; write into it and leave it be.
        FILE* stream = std::fopen(out.c_str(), "wb");
        if (stream == nullptr) {
            error = "cannot open " + out + ": " + std::strerror(errno);
            return false;
        }
        bool ok = encodeTo(stream, image, format, out, error);
        if (std::fclose(stream) != 0 && ok) {
            error = ioFailure(out, errno);
            ok = false;
        }
        return ok;
    }

    std::string target = out;
    if (exists) {
        // Replace what a link points at, not the link.
        if (char* real = ::realpath(out.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    const size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = (slash == std::string::npos ? std::string() : dir) + "." + base + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = "cannot create a file in " + dir + ": " + std::strerror(errno);
        return false;
    }
    mode_t mode;
    if (exists) {
        mode = st.st_mode & 07777;
        // Only root may give a file away; anyone else keeps it as their own.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0)
            mode &= ~mode_t(S_ISUID | S_ISGID);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    FILE* stream = ::fdopen(fd, "wb");
    bool ok = stream != nullptr;
    if (!ok) {
        error = ioFailure(out, errno);
        ::close(fd);
    } else {
        ok = encodeTo(stream, image, format, out, error);
        if (std::fclose(stream) != 0 && ok) {
            error = ioFailure(out, errno);
            ok = false;
        }
    }
    if (ok && std::rename(temp.c_str(), target.c_str()) != 0) {
        error = "cannot replace " + out + ": " + std::strerror(errno);
        ok = false;
    }
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
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
            if (!parseInts(size, "x", 2, v, 1) || !parseInts(mode, "", 1, m))
                return fail("bad --scale " + value);
            ok = image.Scale(DWORD(v[0]), DWORD(v[1]), int(m[0]));
        } else if (opt == "--fit") {
            if (!parseInts(value, "x", 2, v, 1))
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
            if (!parseInts(value, ",", 2, v, -255, 255) || v[1] < -100 || v[1] > 100)
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
            if (!parseInts(value, "", 1, v, 0, 0xFFFF))
                return fail("bad --promote " + value);
            ok = image.PromoteBitDepth(WORD(v[0]));
        } else if (opt == "--quality") {
            if (!parseInts(value, "", 1, v, 1, 100))
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

    if (!save(image, format, out, error))
        return fail(error);
    return 0;
}
