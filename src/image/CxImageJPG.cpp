#include "image/CxImageJPG.h"

#include "image/JpegExif.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace {

constexpr size_t kBufferSize = 4096;
constexpr int kMaxScans = 1000;

struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char* text;
    bool hitMarker;
    bool fakeEoi;
};

void errorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    std::snprintf(err->text, 256, "%s", message);
    std::longjmp(err->jump, 1);
}

void emitMessage(j_common_ptr cinfo, int level)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0 && cinfo->err->msg_code == JWRN_HIT_MARKER)
        err->hitMarker = true;
}

// Errors leave by a jump into the caller's frame and write the library's text into text.
jpeg_error_mgr* attachErrors(ErrorManager& err, char* text)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.emit_message = emitMessage;
    err.text = text;
    err.hitMarker = false;
    err.fakeEoi = false;
    return &err.pub;
}

// Progressive files with endless scans would otherwise keep the decoder busy for minutes.
void progressMonitor(j_common_ptr cinfo)
{
    auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number > kMaxScans) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::snprintf(err->text, 256, "%s", "Too many sections in jpg file");
        std::longjmp(err->jump, 1);
    }
}

struct Source
{
    jpeg_source_mgr pub;
    CxFile* file;
    ErrorManager* err;
    bool atStart;
    JOCTET buffer[kBufferSize];
};

void initSource(j_decompress_ptr cinfo)
{
    reinterpret_cast<Source*>(cinfo->src)->atStart = true;
}

boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<Source*>(cinfo->src);
    size_t n = src->file->Read(src->buffer, 1, kBufferSize);
    if (n == 0) {
        if (src->atStart)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        n = 2;
        src->err->fakeEoi = true;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = n;
    src->atStart = false;
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count)
{
    auto* src = reinterpret_cast<Source*>(cinfo->src);
    if (count <= 0)
        return;
    while (count > static_cast<long>(src->pub.bytes_in_buffer)) {
        count -= static_cast<long>(src->pub.bytes_in_buffer);
        fillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= static_cast<size_t>(count);
}

void termSource(j_decompress_ptr) {}

struct Destination
{
    jpeg_destination_mgr pub;
    CxFile* file;
    JOCTET buffer[kBufferSize];
};

void initDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kBufferSize;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    if (dest->file->Write(dest->buffer, 1, kBufferSize) != kBufferSize || dest->file->Error() > 0)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kBufferSize;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    size_t count = kBufferSize - dest->pub.free_in_buffer;
    if (count > 0 && dest->file->Write(dest->buffer, 1, count) != count)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    if (dest->file->Error() > 0)
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

// A profile describes one colour space (bytes 16..19 of its header); it goes only with pixels
// written in that space, so a CMYK source's profile never labels our RGB output.
bool profileFits(const std::vector<BYTE>& icc, bool grey)
{
    return icc.size() >= 128 && std::memcmp(icc.data() + 16, grey ? "GRAY" : "RGB ", 4) == 0;
}

LONG dpiFromDensity(int unit, int density)
{
    if (unit == 1)
        return density;
    if (unit == 2)
        return static_cast<LONG>(density * 2.54 + 0.5);
    return 0;
}

} // namespace

bool CxImageJPG::Decode(CxFile* file)
{
    if (file == nullptr) {
        SetLastError("null file handler");
        return false;
    }
    int32_t pos = file->Tell();
    std::vector<BYTE> exif;
    {
        JpegExif reader;
        if (reader.Read(file))
            exif = reader.Block();
        else if (!reader.LastError().empty())
            SetLastError(reader.LastError().c_str()); // a broken EXIF block is dropped, not fatal
    }
    file->Seek(pos, 0);
    if (!DecodePixels(file))
        return false;
    jpegMeta.exif = std::move(exif);
    return true;
}

bool CxImageJPG::DecodePixels(CxFile* file)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    Source src;
    jpeg_progress_mgr progress;
    cinfo.err = attachErrors(err, info.szLastError);

    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    progress.progress_monitor = progressMonitor;
    cinfo.progress = &progress;
    src.pub.init_source = initSource;
    src.pub.fill_input_buffer = fillInputBuffer;
    src.pub.skip_input_data = skipInputData;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = termSource;
    src.pub.bytes_in_buffer = 0;
    src.pub.next_input_byte = nullptr;
    src.file = file;
    src.err = &err;
    cinfo.src = &src.pub;

    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
    // Refuse before the library allocates its own buffers for the whole picture.
    if (uint64_t{cinfo.image_width} * cinfo.image_height * (grey ? 1 : 3) > CXIMAGE_MAX_MEMORY) {
        jpeg_destroy_decompress(&cinfo);
        SetLastError("CXIMAGE_MAX_MEMORY exceeded");
        return false;
    }
    cinfo.mem->max_memory_to_use = 2 * CXIMAGE_MAX_MEMORY;
    jpeg_start_decompress(&cinfo);

    if (Create(cinfo.output_width, cinfo.output_height, grey ? 8 : 24, ImageFormat::Jpg) == nullptr) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (grey)
        SetGreyPalette();
    JOCTET* icc = nullptr;
    unsigned int iccLength = 0;
    if (jpeg_read_icc_profile(&cinfo, &icc, &iccLength)) {
        jpegMeta.icc.assign(icc, icc + iccLength);
        std::free(icc);
    }
    SetXDPI(dpiFromDensity(cinfo.density_unit, cinfo.X_density));
    SetYDPI(dpiFromDensity(cinfo.density_unit, cinfo.Y_density));

    JSAMPARRAY cmykRow = nullptr;
    if (cmyk)
        cmykRow = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                             cinfo.output_width * 4, 1);
    DWORD height = cinfo.output_height;
    while (cinfo.output_scanline < height) {
        if (info.nEscape != 0) {
            jpeg_destroy_decompress(&cinfo);
            SetLastError("Cancelled");
            return false;
        }
        BYTE* row = info.pImage + size_t{height - 1 - cinfo.output_scanline} * info.dwEffWidth;
        if (cmyk) {
            jpeg_read_scanlines(&cinfo, cmykRow, 1);
            // Adobe writes CMYK inverted; that is what nearly every CMYK JPEG carries.
            bool inverted = cinfo.saw_Adobe_marker;
            const BYTE* s = cmykRow[0];
            for (DWORD x = 0; x < cinfo.output_width; ++x, s += 4, row += 3) {
                unsigned c = inverted ? s[0] : 255 - s[0];
                unsigned m = inverted ? s[1] : 255 - s[1];
                unsigned y = inverted ? s[2] : 255 - s[2];
                unsigned k = inverted ? s[3] : 255 - s[3];
                row[0] = static_cast<BYTE>(y * k / 255);
                row[1] = static_cast<BYTE>(m * k / 255);
                row[2] = static_cast<BYTE>(c * k / 255);
            }
        } else {
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        info.nProgress = static_cast<LONG>(uint64_t{cinfo.output_scanline} * 100 / height);
    }
    // Entropy data cut short by the end of the file: the rest of the picture is made up.
    if (err.fakeEoi && err.hitMarker) {
        jpeg_destroy_decompress(&cinfo);
        SetLastError("Premature end of file?");
        return false;
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    if (err.fakeEoi && err.hitMarker) {
        SetLastError("Premature end of file?");
        return false;
    }
    return true;
}

bool CxImageJPG::Encode(CxFile* file)
{
    if (!EncodeSafeCheck(file))
        return false;
    if (head.biClrUsed != 0 && !IsGreyPalette()) {
        SetLastError("JPEG can save only RGB or GreyScale images");
        return false;
    }
    // Only a block that was read whole and checked goes back into a file.
    std::vector<BYTE> exif = jpegMeta.exif;
    if (!exif.empty() && !JpegExif().Parse(exif.data(), exif.size())) {
        SetLastError("Can't write exif : didn't read all");
        return false;
    }
    // Viewers turn a picture by its orientation; pixels we turned would be turned twice.
    if (jpegMeta.turned && !exif.empty())
        JpegExif().SetOrientation(exif, 1);
    return EncodePixels(file, exif);
}

bool CxImageJPG::EncodePixels(CxFile* file, const std::vector<BYTE>& exif)
{
    jpeg_compress_struct cinfo;
    ErrorManager err;
    Destination dest;
    cinfo.err = attachErrors(err, info.szLastError);

    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    dest.pub.init_destination = initDestination;
    dest.pub.empty_output_buffer = emptyOutputBuffer;
    dest.pub.term_destination = termDestination;
    dest.file = file;
    cinfo.dest = &dest.pub;

    bool grey = head.biClrUsed != 0;
    cinfo.image_width = GetWidth();
    cinfo.image_height = GetHeight();
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);

    DWORD options = GetCodecOption(ImageFormat::Jpg);
    if (options & EncBaseline)
        jpeg_set_quality(&cinfo, static_cast<BYTE>(info.fQuality), TRUE);
    else
        jpeg_set_quality(&cinfo, static_cast<BYTE>(info.fQuality), FALSE);
    if (options & EncProgressive)
        jpeg_simple_progression(&cinfo);
    if (options & EncSmooth)
        cinfo.smoothing_factor = 25;
    if (!grey) {
        cinfo.comp_info[0].h_samp_factor = (options & EncSubsample444) ? 1 : 2;
        cinfo.comp_info[0].v_samp_factor = (options & (EncSubsample422 | EncSubsample444)) ? 1 : 2;
    }
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.write_JFIF_header = TRUE;
    cinfo.density_unit = 1;
    cinfo.X_density = static_cast<UINT16>(info.xDPI);
    cinfo.Y_density = static_cast<UINT16>(info.yDPI);

    jpeg_start_compress(&cinfo, TRUE);
    if (!exif.empty() && exif.size() <= 65533)
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
    if (profileFits(jpegMeta.icc, grey))
        jpeg_write_icc_profile(&cinfo, jpegMeta.icc.data(), static_cast<unsigned>(jpegMeta.icc.size()));

    JSAMPARRAY rgb = nullptr;
    if (!grey)
        rgb = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                         cinfo.image_width * 3, 1);
    DWORD height = GetHeight();
    while (cinfo.next_scanline < height) {
        BYTE* row = info.pImage + size_t{height - 1 - cinfo.next_scanline} * info.dwEffWidth;
        if (grey) {
            jpeg_write_scanlines(&cinfo, &row, 1);
        } else {
            BYTE* d = rgb[0];
            for (DWORD x = 0; x < cinfo.image_width; ++x, row += 3, d += 3) {
                d[0] = row[2];
                d[1] = row[1];
                d[2] = row[0];
            }
            jpeg_write_scanlines(&cinfo, rgb, 1);
        }
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}
