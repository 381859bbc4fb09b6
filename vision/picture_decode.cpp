// Telling a picture's format and size from its first bytes, and decoding it within limits.
#include "picture_decode.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include <opencv2/imgcodecs.hpp>

namespace {

// Past these a picture is refused before it is decoded. A JPEG decoded sequentially can be
// decoded reduced and needs only a few rows at a time; the others (and progressive JPEGs,
// which hold every coefficient) are decoded whole, in colour before they turn grey.
constexpr int64_t kMaxSide = 32767;
constexpr int64_t kMaxPixels = 36'000'000;
constexpr int64_t kMaxSequentialJpegPixels = 120'000'000;
// A JPEG is decoded reduced as long as its longer side stays at least this: enough for a grid
// that fills a third of a phone photo.
constexpr int kWorkingSide = 1600;

uint32_t Big16(const uint8_t* p) {
    return uint32_t(p[0]) << 8 | p[1];
}
uint32_t Big32(const uint8_t* p) {
    return Big16(p) << 16 | Big16(p + 2);
}
uint32_t Little16(const uint8_t* p) {
    return uint32_t(p[1]) << 8 | p[0];
}
uint32_t Little32(const uint8_t* p) {
    return Little16(p + 2) << 16 | Little16(p);
}

bool StartsWith(std::span<const uint8_t> bytes, const char* magic, size_t at = 0) {
    const size_t n = std::strlen(magic);
    return bytes.size() >= at + n && std::memcmp(bytes.data() + at, magic, n) == 0;
}

void ReadJpegSize(std::span<const uint8_t> b, CPictureHeader& header) {
    size_t i = 2;
    while (i + 4 <= b.size()) {
        if (b[i] != 0xFF) return;
        while (i < b.size() && b[i] == 0xFF) ++i;
        if (i >= b.size()) return;
        const uint8_t marker = b[i++];
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (marker == 0xDA) header.scanStart = i;
        if (marker == 0xD9 || marker == 0xDA || i + 2 > b.size()) return;
        const uint32_t length = Big16(&b[i]);
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (i + 7 > b.size()) return;
            header.height = Big16(&b[i + 3]);
            header.width = Big16(&b[i + 5]);
            header.progressive = marker != 0xC0 && marker != 0xC1;
        }
        if (length < 2) return;
        i += length;
    }
}

void ReadTiffSize(std::span<const uint8_t> b, CPictureHeader& header) {
    const bool little = b[0] == 'I';
    auto u16 = [&](size_t at) { return little ? Little16(&b[at]) : Big16(&b[at]); };
    auto u32 = [&](size_t at) { return little ? Little32(&b[at]) : Big32(&b[at]); };
    const size_t ifd = u32(4);
    if (ifd + 2 > b.size()) return;
    const size_t count = u16(ifd);
    for (size_t k = 0; k < count; ++k) {
        const size_t entry = ifd + 2 + 12 * k;
        if (entry + 12 > b.size()) return;
        const uint32_t tag = u16(entry), type = u16(entry + 2);
        const int64_t value = type == 3 ? u16(entry + 8) : u32(entry + 8);
        if (tag == 256) header.width = value;
        if (tag == 257) header.height = value;
    }
}

// PNM: magic, then width and height as decimal words, comments from '#' to the line's end.
void ReadPnmSize(std::span<const uint8_t> b, CPictureHeader& header) {
    size_t i = 2;
    int64_t numbers[2] = {0, 0};
    for (int64_t& number : numbers) {
        while (i < b.size() && (std::isspace(b[i]) || b[i] == '#')) {
            if (b[i] == '#') {
                while (i < b.size() && b[i] != '\n') ++i;
            } else {
                ++i;
            }
        }
        if (i >= b.size() || !std::isdigit(b[i])) return;
        while (i < b.size() && std::isdigit(b[i]) && number <= kMaxSide) {
            number = 10 * number + (b[i++] - '0');
        }
    }
    header.width = numbers[0];
    header.height = numbers[1];
}

const char* FormatName(CPictureHeader::Format format) {
    switch (format) {
        case CPictureHeader::kGif:
            return "GIF";
        case CPictureHeader::kHeif:
            return "HEIF/HEIC/AVIF";
        default:
            return nullptr;
    }
}

}  // namespace

CPictureHeader ReadPictureHeader(std::span<const uint8_t> b) {
    CPictureHeader header;
    if (StartsWith(b, "\x89PNG\r\n\x1A\n")) {
        header.format = CPictureHeader::kPng;
        if (b.size() >= 24 && StartsWith(b, "IHDR", 12)) {
            header.width = Big32(&b[16]);
            header.height = Big32(&b[20]);
        }
    } else if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) {
        header.format = CPictureHeader::kJpeg;
        ReadJpegSize(b, header);
    } else if (StartsWith(b, "BM") && b.size() >= 26) {
        header.format = CPictureHeader::kBmp;
        if (Little32(&b[14]) == 12) {
            header.width = Little16(&b[18]);
            header.height = Little16(&b[20]);
        } else {
            header.width = int32_t(Little32(&b[18]));
            header.height = std::abs(int64_t(int32_t(Little32(&b[22]))));
        }
    } else if (StartsWith(b, "RIFF") && StartsWith(b, "WEBP", 8)) {
        header.format = CPictureHeader::kWebp;
        if (StartsWith(b, "VP8X", 12) && b.size() >= 30) {
            header.width = 1 + (Little32(&b[24]) & 0xFFFFFF);
            header.height = 1 + (Little32(&b[27]) & 0xFFFFFF);
        } else if (StartsWith(b, "VP8L", 12) && b.size() >= 25) {
            const uint32_t bits = Little32(&b[21]);
            header.width = 1 + (bits & 0x3FFF);
            header.height = 1 + ((bits >> 14) & 0x3FFF);
        } else if (StartsWith(b, "VP8 ", 12) && b.size() >= 30) {
            header.width = Little16(&b[26]) & 0x3FFF;
            header.height = Little16(&b[28]) & 0x3FFF;
        }
    } else if ((StartsWith(b, "II*") || StartsWith(b, "MM")) && b.size() >= 8 &&
               (b[0] == 'I' ? b[3] == 0 : b[2] == 0 && b[3] == 42)) {
        header.format = CPictureHeader::kTiff;
        ReadTiffSize(b, header);
    } else if (b.size() >= 3 && b[0] == 'P' && b[1] >= '1' && b[1] <= '6' && std::isspace(b[2])) {
        header.format = CPictureHeader::kPnm;
        ReadPnmSize(b, header);
    } else if (StartsWith(b, "GIF87a") || StartsWith(b, "GIF89a")) {
        header.format = CPictureHeader::kGif;
    } else if (StartsWith(b, "ftyp", 4) &&
               (StartsWith(b, "heic", 8) || StartsWith(b, "heix", 8) || StartsWith(b, "hevc", 8) ||
                StartsWith(b, "mif1", 8) || StartsWith(b, "msf1", 8) || StartsWith(b, "avif", 8))) {
        header.format = CPictureHeader::kHeif;
    }
    return header;
}

CDecodedPicture DecodePicture(std::span<const uint8_t> bytes) {
    CDecodedPicture picture;
    if (bytes.empty()) {
        picture.message = "empty file";
        return picture;
    }
    const CPictureHeader header = ReadPictureHeader(bytes);
    if (header.format == CPictureHeader::kUnknown) {
        picture.message = "unsupported format: not a PNG, JPEG, BMP, WebP, TIFF or PNM picture";
        return picture;
    }
    if (const char* name = FormatName(header.format)) {
        picture.message = std::string("unsupported format: ") + name;
        return picture;
    }
    if (header.width <= 0 || header.height <= 0) {
        picture.message = "damaged picture: its header gives no size";
        return picture;
    }
    const int64_t pixels = header.width * header.height;
    const bool sequentialJpeg = header.format == CPictureHeader::kJpeg && !header.progressive;
    if (header.width > kMaxSide || header.height > kMaxSide ||
        pixels > (sequentialJpeg ? kMaxSequentialJpegPixels : kMaxPixels)) {
        picture.message = "picture too large: " + std::to_string(header.width) + " x " +
                          std::to_string(header.height) + " pixels";
        return picture;
    }

    // Decoders fill what a cut-off file lacks with grey and carry on; a picture read so would
    // be read wrongly, so the end of the picture must be there: JPEG's end marker after its
    // first scan (a thumbnail's comes before), PNG's closing chunk.
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const bool complete = header.format == CPictureHeader::kJpeg
                              ? header.scanStart > 0 && text.find("\xFF\xD9", header.scanStart) !=
                                                            std::string_view::npos
                          : header.format == CPictureHeader::kPng
                              ? text.find("IEND", 16) != std::string_view::npos
                              : true;
    if (!complete) {
        picture.message = "damaged picture: the file ends before the picture does";
        return picture;
    }

    // libjpeg decodes at 1/2, 1/4 or 1/8 for little more than the cost of the smaller picture.
    int reduce = 1;
    if (header.format == CPictureHeader::kJpeg) {
        while (reduce < 8 && std::max(header.width, header.height) / (2 * reduce) >= kWorkingSide) {
            reduce *= 2;
        }
    }
    const int flags = reduce == 8   ? cv::IMREAD_REDUCED_GRAYSCALE_8
                      : reduce == 4 ? cv::IMREAD_REDUCED_GRAYSCALE_4
                      : reduce == 2 ? cv::IMREAD_REDUCED_GRAYSCALE_2
                                    : cv::IMREAD_GRAYSCALE;
    try {
        // imdecode takes a Mat of the bytes; it only reads them.
        const cv::Mat buffer(1, int(bytes.size()), CV_8U, const_cast<uint8_t*>(bytes.data()));
        picture.grey = cv::imdecode(buffer, flags);
    } catch (const cv::Exception&) {
        picture.grey.release();
    }
    if (picture.grey.empty() || picture.grey.type() != CV_8UC1) {
        picture.grey.release();
        picture.message = "damaged picture: it could not be decoded";
        return picture;
    }
    picture.scale = 1.0 / reduce;
    return picture;
}
