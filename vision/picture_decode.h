// Turning the bytes of a picture file into grey pixels, safely: the format is told from the
// bytes, not the name, and the size from the header before anything is decoded.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include <opencv2/core.hpp>

struct CPictureHeader {
    enum Format : uint8_t { kUnknown, kPng, kJpeg, kBmp, kWebp, kTiff, kPnm, kGif, kHeif };
    Format format = kUnknown;
    int64_t width = 0, height = 0;  // 0 where the header could not be read
    bool progressive = false;       // a JPEG whose whole coefficients are held while decoding
    size_t scanStart = 0;           // JPEG: where its first scan begins (0: not found)
};

// The format and size the header declares; never reads past `bytes`.
CPictureHeader ReadPictureHeader(std::span<const uint8_t> bytes);

struct CDecodedPicture {
    cv::Mat grey;         // 8 bits, upright as the orientation tag says; empty on failure
    double scale = 1;     // grey's pixels per stored pixel (below 1 when decoded reduced)
    std::string message;  // why `grey` is empty
};

// Decodes to grey, reduced where the picture is much larger than reading needs. Refuses
// formats other than those of CPictureHeader's first six, and sizes past a limit that keeps
// decoding within a few hundred megabytes.
CDecodedPicture DecodePicture(std::span<const uint8_t> bytes);
