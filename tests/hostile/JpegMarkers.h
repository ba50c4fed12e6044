#pragma once

// Reads and writes the header segments of JPEG bytes, to see what a written file carries
// independently of our own decoder.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace jpegmarkers {

struct Segment
{
    int marker;
    std::string payload;
};

// The segments between SOI and the first scan.
inline std::vector<Segment> segmentsOf(const std::string& jpeg)
{
    std::vector<Segment> out;
    size_t at = 2;
    while (at + 4 <= jpeg.size() && uint8_t(jpeg[at]) == 0xFF) {
        const int marker = uint8_t(jpeg[at + 1]);
        if (marker == 0xDA)
            break;
        const size_t length = size_t(uint8_t(jpeg[at + 2])) << 8 | uint8_t(jpeg[at + 3]);
        if (length < 2 || at + 2 + length > jpeg.size())
            break;
        out.push_back({marker, jpeg.substr(at + 4, length - 2)});
        at += 2 + length;
    }
    return out;
}

// The bytes with the given segments put right after SOI.
inline std::string withSegments(const std::string& jpeg, const std::vector<Segment>& segments)
{
    std::string head;
    for (const Segment& s : segments) {
        const size_t length = s.payload.size() + 2;
        head += char(0xFF);
        head += char(s.marker);
        head += char(length >> 8);
        head += char(length & 0xFF);
        head += s.payload;
    }
    return jpeg.substr(0, 2) + head + jpeg.substr(2);
}

// An EXIF block whose first directory holds the orientation and a maker text.
inline std::string exifWithOrientation(uint16_t orientation, bool intel = false)
{
    std::string t = intel ? "II" : "MM";
    auto put16 = [&](uint32_t v) {
        t += char(intel ? v & 0xFF : v >> 8);
        t += char(intel ? v >> 8 : v & 0xFF);
    };
    auto put32 = [&](uint32_t v) {
        put16(intel ? v & 0xFFFF : v >> 16);
        put16(intel ? v >> 16 : v & 0xFFFF);
    };
    put16(0x2A);
    put32(8);
    put16(2);
    put16(0x010F); // Make, ASCII, stored after the directory
    put16(2);
    put32(12);
    put32(8 + 2 + 2 * 12 + 4);
    put16(0x0112); // Orientation, SHORT
    put16(3);
    put32(1);
    put16(orientation);
    put16(0);
    put32(0);
    t += std::string("Pictavo\0Cam", 12);
    return std::string("Exif\0\0", 6) + t;
}

// The orientation an EXIF block states, 0 when it states none.
inline int orientationOf(const std::string& exif)
{
    if (exif.size() < 14 || exif.compare(0, 6, std::string("Exif\0\0", 6)) != 0)
        return 0;
    const std::string t = exif.substr(6);
    const bool mm = t[0] == 'M';
    auto get16 = [&](size_t at) {
        const uint32_t a = uint8_t(t[at]), b = uint8_t(t[at + 1]);
        return mm ? (a << 8 | b) : (b << 8 | a);
    };
    auto get32 = [&](size_t at) {
        return mm ? (get16(at) << 16 | get16(at + 2)) : (get16(at + 2) << 16 | get16(at));
    };
    const size_t dir = get32(4);
    const size_t entries = get16(dir);
    for (size_t i = 0; i < entries; ++i) {
        const size_t e = dir + 2 + 12 * i;
        if (e + 12 <= t.size() && get16(e) == 0x0112)
            return int(get16(e + 8));
    }
    return 0;
}

// APP2 chunks carrying `profile` in `count` pieces, numbered from 1 as the format wants.
inline std::vector<Segment> iccChunks(const std::string& profile, size_t count)
{
    std::vector<Segment> out;
    const size_t piece = (profile.size() + count - 1) / count;
    for (size_t i = 0; i < count; ++i) {
        std::string payload("ICC_PROFILE\0", 12);
        payload += char(i + 1);
        payload += char(count);
        payload += profile.substr(i * piece, piece);
        out.push_back({0xE2, payload});
    }
    return out;
}

// The profile the APP2 chunks of a file add up to, in their stated order.
inline std::string iccOf(const std::vector<Segment>& segments)
{
    std::map<int, std::string> pieces;
    for (const Segment& s : segments)
        if (s.marker == 0xE2 && s.payload.size() >= 14 && s.payload.compare(0, 12, std::string("ICC_PROFILE\0", 12)) == 0)
            pieces[uint8_t(s.payload[12])] = s.payload.substr(14);
    std::string profile;
    for (const auto& piece : pieces)
        profile += piece.second;
    return profile;
}

inline const Segment* find(const std::vector<Segment>& segments, int marker)
{
    for (const Segment& s : segments)
        if (s.marker == marker)
            return &s;
    return nullptr;
}

} // namespace jpegmarkers
