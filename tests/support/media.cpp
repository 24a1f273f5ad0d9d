#include "media.h"

#include <stdio.h>
#include <string.h>
#include <zlib.h>

#include "driver.h"

namespace kit {

namespace {
void put16(std::string& out, uint32_t v)
{
    out += (char)(v & 0xFF);
    out += (char)((v >> 8) & 0xFF);
}
void put32(std::string& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::string deflateRaw(const std::string& data)
{
    z_stream z = {};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()) + 16, '\0');
    z.next_in = (Bytef*)data.data();
    z.avail_in = (uInt)data.size();
    z.next_out = (Bytef*)&out[0];
    z.avail_out = (uInt)out.size();
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}
}  // namespace

std::string makeZip(const std::vector<ZipEntry>& entries)
{
    std::string out, central;
    for (const ZipEntry& e : entries) {
        bool folder = !e.name.empty() && e.name.back() == '/';
        bool deflated = e.deflate && !folder && !e.data.empty();
        std::string stored = deflated ? deflateRaw(e.data) : e.data;
        uint32_t crc = (uint32_t)crc32(0, (const Bytef*)e.data.data(), (uInt)e.data.size());
        uint32_t offset = (uint32_t)out.size();
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, 0);
        put16(out, deflated ? 8 : 0);
        put16(out, 0);
        put16(out, 0x21);  // 1980-01-01
        put32(out, crc);
        put32(out, (uint32_t)stored.size());
        put32(out, (uint32_t)e.data.size());
        put16(out, (uint32_t)e.name.size());
        put16(out, 0);
        out += e.name;
        out += stored;

        put32(central, 0x02014b50);
        put16(central, 20);
        put16(central, 20);
        put16(central, 0);
        put16(central, deflated ? 8 : 0);
        put16(central, 0);
        put16(central, 0x21);
        put32(central, crc);
        put32(central, (uint32_t)stored.size());
        put32(central, (uint32_t)e.data.size());
        put16(central, (uint32_t)e.name.size());
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, folder ? 0x10 : 0);
        put32(central, offset);
        central += e.name;
    }
    uint32_t centralOffset = (uint32_t)out.size();
    out += central;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, (uint32_t)entries.size());
    put16(out, (uint32_t)entries.size());
    put32(out, (uint32_t)central.size());
    put32(out, centralOffset);
    put16(out, 0);
    return out;
}

std::string textBytes(size_t size, uint32_t seed)
{
    static const char* const words[] = {"Veyla ", "disc ", "save ", "engine ", "scene ", "voice ", "\r\n"};
    std::string out;
    out.reserve(size + 16);
    uint32_t x = seed * 2654435761u + 1;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        out += words[(x >> 16) % 7];
    }
    out.resize(size);
    return out;
}

std::string noiseBytes(size_t size, uint32_t seed)
{
    std::string out(size, '\0');
    uint32_t x = seed ^ 0x9E3779B9u;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = (char)(x >> 24);
    }
    return out;
}

std::string makeBitmap(int width, int height, uint32_t colour)
{
    int row = (width * 3 + 3) & ~3;
    std::string out;
    out += "BM";
    put32(out, 54 + row * height);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, (uint32_t)width);
    put32(out, (uint32_t)height);
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, row * height);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int y = 0; y < height; ++y) {
        std::string line;
        for (int x = 0; x < width; ++x) {
            line += (char)(colour & 0xFF);
            line += (char)((colour >> 8) & 0xFF);
            line += (char)((colour >> 16) & 0xFF);
        }
        line.resize(row, '\0');
        out += line;
    }
    return out;
}

std::string makeWave(int milliseconds, int hertz)
{
    int rate = 11025;
    int samples = rate * milliseconds / 1000;
    std::string out = "RIFF";
    put32(out, 36 + samples);
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, 1);
    put16(out, 1);
    put32(out, rate);
    put32(out, rate);
    put16(out, 1);
    put16(out, 8);
    out += "data";
    put32(out, samples);
    for (int i = 0; i < samples; ++i) out += (char)(128 + ((i * hertz * 2 / rate) % 2 ? 40 : -40));
    return out;
}

bool layOutDisc(const std::string& root, const DiscLayout& disc)
{
    std::string data = root + "\\" + disc.folder;
    if (!makeFolders(data)) return false;
    char id[16];
    snprintf(id, sizeof id, "dcid.%03d", disc.discNumber);
    bool ok = writeFile(data + "\\" + id, "");
    for (const auto& f : disc.files) ok = writeFile(data + "\\" + f.first, f.second) && ok;
    if (disc.slides) {
        std::string pictures = root + "\\Data";
        makeFolders(pictures);
        for (int i = 1; i <= 8; ++i) {
            char name[32];
            snprintf(name, sizeof name, "setup%02d.bmp", i);
            ok = writeFile(pictures + "\\" + name, makeBitmap(40 + i, 30, 0x102030u * (uint32_t)i)) && ok;
        }
        for (int i = 1; i <= 7; ++i) {
            char name[32];
            snprintf(name, sizeof name, "setup%03d.wav", i);
            ok = writeFile(pictures + "\\" + name, makeWave(60, 220 * i)) && ok;
        }
    }
    return ok;
}

}  // namespace kit
