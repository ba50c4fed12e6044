// The upload path's picture job, step by step: decode a camera JPEG in full, fit it into a box
// with FitInto, encode it as JPEG. Prints wall time and peak resident memory of each step.
#include "image/CxIOFile.h"
#include "image/CxImage.h"
#include "image/CxMemFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

long peakKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

// Starts a new peak measurement (Linux: writing 5 to clear_refs resets the high-water mark).
// BENCH_WHOLE_PEAK=1 keeps one peak over the whole run for an outside measurement.
void resetPeak()
{
    if (std::getenv("BENCH_WHOLE_PEAK") == nullptr)
        std::ofstream("/proc/self/clear_refs") << "5";
}

double since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench-image-fit IN.jpg OUT.jpg [BOXW BOXH QUALITY]\n");
        return 1;
    }
    LONG boxW = argc > 4 ? std::atoi(argv[3]) : 800;
    LONG boxH = argc > 4 ? std::atoi(argv[4]) : 600;
    int quality = argc > 5 ? std::atoi(argv[5]) : 80;

    auto total = std::chrono::steady_clock::now();
    resetPeak();
    auto t = std::chrono::steady_clock::now();
    CxImage image;
    {
        CxIOFile in;
        if (!in.OpenUtf8(argv[1], "rb") || !image.Decode(&in, ImageFormat::Jpg)) {
            std::fprintf(stderr, "decode failed: %s\n", image.GetLastError());
            return 1;
        }
    }
    std::printf("decode  %8.1f ms  peak %7ld KiB  (%ux%u)\n", since(t), peakKiB(), image.GetWidth(),
                image.GetHeight());

    resetPeak();
    t = std::chrono::steady_clock::now();
    CxImage fitted;
    if (!image.FitInto(boxW, boxH, RGBQUAD{255, 255, 255, 0}, &fitted))
        return 1;
    std::printf("fit     %8.1f ms  peak %7ld KiB  (%ux%u)\n", since(t), peakKiB(), fitted.GetWidth(),
                fitted.GetHeight());
    image.Destroy();

    resetPeak();
    t = std::chrono::steady_clock::now();
    CxMemFile out;
    out.Open();
    fitted.SetQuality(quality);
    if (!fitted.Encode(&out, ImageFormat::Jpg))
        return 1;
    std::printf("encode  %8.1f ms  peak %7ld KiB  (%d bytes)\n", since(t), peakKiB(), out.Size());
    std::ofstream(argv[2], std::ios::binary)
        .write(reinterpret_cast<const char*>(out.GetBuffer()), out.Size());
    std::printf("total   %8.1f ms\n", since(total));
    return 0;
}
