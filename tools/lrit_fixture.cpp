// Wraps image data made by another program in LRIT header records:
//
//   lrit_fixture data=in.jpg out=x.lrit [lon=140.0 cfac=10233128 lfac=10233128
//       coff=1376 loff=448 seg=3 nseg=6 longseg=1 days=18982 ms=33353244
//       annotation=TEXT proj=GEOS(+140.0)]
//
// data is a JPEG stream (written as JPEG data, compression 2, with the size of
// its frame header) or a binary PGM (written as uncompressed counts: 8 bits per
// pixel for a maxval below 256, else 16 bits, most significant byte first).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>

#include "lrit_fixture_lib.h"

int main(int argc, char **argv) {
    std::map<std::string, std::string> kv;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto eq = a.find('=');
        if (eq == std::string::npos) {
            std::fprintf(stderr, "lrit_fixture: expected key=value, got %s\n", a.c_str());
            return 2;
        }
        kv[a.substr(0, eq)] = a.substr(eq + 1);
    }
    if (!kv.count("data") || !kv.count("out")) {
        std::fprintf(stderr, "usage: lrit_fixture data=FILE out=FILE [key=value ...]\n");
        return 2;
    }
    std::ifstream in(kv["data"], std::ios::binary);
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    auto num = [&](const char *k, long def) { return kv.count(k) ? std::stol(kv[k]) : def; };

    lrit_fixture::Header h;
    std::vector<uint8_t> field;
    lrit_fixture::Pgm pgm;
    if (data.size() > 2 && data[0] == 0xFF && data[1] == 0xD8) {
        std::tie(h.columns, h.lines) = lrit_fixture::jpeg_size(data);
        h.compression = 2;
        h.bits = static_cast<int>(num("bits", 8));
        field = data;
    } else if (lrit_fixture::parse_pgm(data, pgm)) {
        h.columns = pgm.width;
        h.lines = pgm.height;
        h.bits = pgm.maxval > 255 ? 16 : 8;
        field = std::move(pgm.samples);
    } else {
        std::fprintf(stderr, "lrit_fixture: %s is neither JPEG nor binary PGM\n",
                     kv["data"].c_str());
        return 1;
    }
    if (kv.count("proj"))
        h.projection = kv["proj"];
    else if (kv.count("lon"))
        h.projection = "GEOS(" + kv["lon"] + ")";
    h.cfac = static_cast<int32_t>(num("cfac", h.cfac));
    h.lfac = static_cast<int32_t>(num("lfac", h.lfac));
    h.coff = static_cast<int32_t>(num("coff", h.columns / 2));
    h.loff = static_cast<int32_t>(num("loff", h.lines / 2));
    h.segment = static_cast<int>(num("seg", 0));
    h.segments = static_cast<int>(num("nseg", 0));
    h.long_segment = num("longseg", 0) != 0;
    h.days = static_cast<int>(num("days", -1));
    h.ms = static_cast<uint32_t>(num("ms", 0));
    h.annotation = kv.count("annotation") ? kv["annotation"] : "";

    const std::vector<uint8_t> bytes = lrit_fixture::write(h, field);
    FILE *f = std::fopen(kv["out"].c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
        std::fclose(f) != 0) {
        std::fprintf(stderr, "lrit_fixture: cannot write %s\n", kv["out"].c_str());
        return 1;
    }
    return 0;
}
