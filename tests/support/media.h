// Test media: zip archives written here (so tests control every byte of them), pictures, sounds,
// and disc layouts for the bench's CD-ROM drives.
#pragma once
#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

namespace kit {

struct ZipEntry {
    std::string name;  // as stored: '/' separators, code page 932 bytes
    std::string data;  // empty with a trailing '/' in name: a folder entry
    bool deflate = true;
};

// A complete archive image: local headers, data, central directory.
std::string makeZip(const std::vector<ZipEntry>& entries);

// Deterministic contents: compressible text or incompressible noise of the given size.
std::string textBytes(size_t size, uint32_t seed);
std::string noiseBytes(size_t size, uint32_t seed);

std::string makeBitmap(int width, int height, uint32_t colour);  // 24-bit BMP
std::string makeWave(int milliseconds, int hertz);               // 8-bit mono PCM

// One disc of a product: root\<folder>\<files>, root\<folder>\dcid.NNN, root\Data\pictures+sounds.
struct DiscLayout {
    std::string folder = "Veyla";
    int discNumber = 1;
    std::vector<std::pair<std::string, std::string>> files;  // name in the data folder, contents
    bool slides = true;                                      // setup01.bmp .. setup08.bmp, setup001.wav .. setup007.wav
};
bool layOutDisc(const std::string& root, const DiscLayout& disc);

}  // namespace kit
