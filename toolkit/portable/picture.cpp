#include "toolkit/portable/picture.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <gif_lib.h>
#include <jerror.h>
#include <jpeglib.h>

namespace tk {

uint32_t Picture::ColorRefAt(int x, int y) const {
    const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
    return p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
}

namespace {

bool StartsWith(std::span<const uint8_t> bytes, const char* prefix, size_t length) {
    return bytes.size() >= length && std::memcmp(bytes.data(), prefix, length) == 0;
}

bool SideIsSane(long long side) {
    return side > 0 && side <= kMaxPictureSide;
}

Picture BlankPicture(int width, int height) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.resize(static_cast<size_t>(width) * height * 3);
    return picture;
}

// ---- GIF ----------------------------------------------------------------------------------------------

struct MemoryReader {
    std::span<const uint8_t> bytes;
    size_t offset = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int wanted) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    if (wanted <= 0) return 0;
    size_t count = reader->bytes.size() - reader->offset;
    if (count > static_cast<size_t>(wanted)) count = static_cast<size_t>(wanted);
    std::memcpy(buffer, reader->bytes.data() + reader->offset, count);
    reader->offset += count;
    return static_cast<int>(count);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

std::optional<Picture> DecodeGif(std::span<const uint8_t> bytes) {
    MemoryReader reader{bytes};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, ReadFromMemory, &error));
    if (!gif) return std::nullopt;
    // Refuse a huge logical screen before giflib allocates anything for the images.
    if (gif->SWidth < 0 || gif->SHeight < 0 || gif->SWidth > kMaxPictureSide ||
        gif->SHeight > kMaxPictureSide)
        return std::nullopt;
    if (DGifSlurp(gif.get()) != GIF_OK || gif->ImageCount < 1 || !gif->SavedImages) return std::nullopt;

    const SavedImage& image = gif->SavedImages[0];
    const GifImageDesc& frame = image.ImageDesc;
    if (!SideIsSane(frame.Width) || !SideIsSane(frame.Height) || !image.RasterBits) return std::nullopt;

    const ColorMapObject* colors = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!colors || !colors->Colors || colors->ColorCount <= 0) return std::nullopt;

    // The first image sits on the logical screen; a file that declares no screen gets one the size of the
    // image, with the image at its origin.
    const bool hasScreen = gif->SWidth > 0 && gif->SHeight > 0;
    const int canvasWidth = hasScreen ? gif->SWidth : frame.Width;
    const int canvasHeight = hasScreen ? gif->SHeight : frame.Height;
    const int left = hasScreen ? frame.Left : 0;
    const int top = hasScreen ? frame.Top : 0;

    uint8_t background[3] = {0, 0, 0};
    if (gif->SColorMap && gif->SColorMap->Colors && gif->SBackGroundColor >= 0 &&
        gif->SBackGroundColor < gif->SColorMap->ColorCount) {
        const GifColorType& c = gif->SColorMap->Colors[gif->SBackGroundColor];
        background[0] = c.Red;
        background[1] = c.Green;
        background[2] = c.Blue;
    }

    Picture picture = BlankPicture(canvasWidth, canvasHeight);
    if (background[0] | background[1] | background[2]) {
        for (size_t i = 0; i < picture.rgb.size(); i += 3) std::memcpy(&picture.rgb[i], background, 3);
    }

    // An index past the colour map cannot be shown faithfully; such a file is corrupt even where the pixel
    // falls off the screen.
    const size_t pixelCount = static_cast<size_t>(frame.Width) * frame.Height;
    for (size_t i = 0; i < pixelCount; ++i) {
        if (image.RasterBits[i] >= colors->ColorCount) return std::nullopt;
    }

    for (int row = 0; row < frame.Height; ++row) {
        const int y = top + row;
        if (y < 0 || y >= canvasHeight) continue;
        const GifByteType* source = image.RasterBits + static_cast<size_t>(row) * frame.Width;
        uint8_t* target = picture.rgb.data() + static_cast<size_t>(y) * canvasWidth * 3;
        for (int column = 0; column < frame.Width; ++column) {
            const int x = left + column;
            if (x < 0 || x >= canvasWidth) continue;
            const GifColorType& c = colors->Colors[source[column]];
            target[x * 3] = c.Red;
            target[x * 3 + 1] = c.Green;
            target[x * 3 + 2] = c.Blue;
        }
    }
    return picture;
}

// ---- JPEG ---------------------------------------------------------------------------------------------

// libjpeg reports fatal errors through error_exit, which must not return; the default one calls exit().
// Ours jumps back to the decoding function, which must therefore hold no object with a destructor.
struct JpegErrors {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

[[noreturn]] void JpegFail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

void JpegMessage(j_common_ptr info, int level) {
    // A truncated file only earns a warning, and libjpeg would paint the missing part grey; a launcher
    // button half grey is worse than no picture at all.
    if (level == -1 && info->err->msg_code == JWRN_JPEG_EOF) JpegFail(info);
}

struct JpegJob {
    jpeg_decompress_struct info;
    JpegErrors errors;
    std::span<const uint8_t> bytes;
    Picture* picture;
    bool created = false;
};

// Plain C style on purpose: a longjmp out of libjpeg lands here, so nothing in this frame may need
// destroying. The caller owns the job and destroys the decompressor.
bool RunJpegJob(JpegJob* job) {
    jpeg_decompress_struct* info = &job->info;
    info->err = jpeg_std_error(&job->errors.base);
    job->errors.base.error_exit = JpegFail;
    job->errors.base.emit_message = JpegMessage;
    if (setjmp(job->errors.escape)) return false;

    jpeg_create_decompress(info);
    job->created = true;
    jpeg_mem_src(info, job->bytes.data(), static_cast<unsigned long>(job->bytes.size()));
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) return false;
    if (!SideIsSane(info->image_width) || !SideIsSane(info->image_height)) return false;
    info->out_color_space = JCS_RGB;
    if (!jpeg_start_decompress(info)) return false;
    if (info->output_components != 3 || !SideIsSane(info->output_width) || !SideIsSane(info->output_height))
        return false;

    Picture* picture = job->picture;
    picture->width = static_cast<int>(info->output_width);
    picture->height = static_cast<int>(info->output_height);
    // A failed allocation throws through this frame, which is harmless: nothing here needs unwinding.
    picture->rgb.resize(static_cast<size_t>(picture->width) * picture->height * 3);

    const size_t stride = static_cast<size_t>(picture->width) * 3;
    while (info->output_scanline < info->output_height) {
        JSAMPROW rows[8];
        JDIMENSION count = 0;
        for (; count < 8 && info->output_scanline + count < info->output_height; ++count)
            rows[count] = picture->rgb.data() + (info->output_scanline + count) * stride;
        if (jpeg_read_scanlines(info, rows, count) == 0) return false;
    }
    return jpeg_finish_decompress(info) != 0;
}

std::optional<Picture> DecodeJpeg(std::span<const uint8_t> bytes) {
    Picture picture;
    auto job = std::make_unique<JpegJob>();
    job->bytes = bytes;
    job->picture = &picture;
    struct Destroyer {
        JpegJob* job;
        ~Destroyer() {
            if (job->created) jpeg_destroy_decompress(&job->info);
        }
    } destroyer{job.get()};
    if (!RunJpegJob(job.get())) return std::nullopt;
    return picture;
}

}  // namespace

std::optional<Picture> DecodePicture(std::span<const uint8_t> bytes) {
    try {
        if (StartsWith(bytes, "GIF87a", 6) || StartsWith(bytes, "GIF89a", 6)) return DecodeGif(bytes);
        if (StartsWith(bytes, "\xFF\xD8\xFF", 3)) return DecodeJpeg(bytes);
    } catch (const std::bad_alloc&) {
        // A picture too large for the memory left is just as undecodable as a corrupt one.
    }
    return std::nullopt;
}

}  // namespace tk
