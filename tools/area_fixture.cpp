// Writes an AREA fixture file from parameters given as key=value arguments:
//
//   area_fixture type=PS order=little out=ps.area lines=350 elems=640
//       nav=-1530,830,600000,2381,1050000,6378388 [lres=5 eres=4 line=6 elem=-159
//       bytes=1 prefix=0 date=100137 time=85900 comment=TEXT pattern=ramp|zero]
//
// type: GOES, GVAR, PS, MERC, LAMB, TANC, RECT, MOLL, MSAT or none; order: big,
// little or sync. "nav" lists the block's words from word 1 on (the rest is 0);
// without it a nominal block of the type is written (GOES: a geostationary
// spin-scan view at 75 W; GVAR: the nominal GOES-8 imager at 75 W).
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include "area_fixture_lib.h"

namespace {

std::vector<int32_t> default_nav(const std::string &type) {
    using namespace area_fixture;
    if (type == "GOES") {
        Goes g;
        g.asc_node_deg = -75;
        return goes_block(g);
    }
    if (type == "GVAR")
        return gvar_block(Gvar{});
    if (type == "PS")
        return ps_block(-1530, 830, 60, 2381, 105, 6378388);
    if (type == "MERC")
        return merc_block(2000, 500, 4000, 100, 6378388);
    if (type == "LAMB")
        return lamb_block(-3000, 600, 25, 25, 4000, 95, 6378388, 25);
    if (type == "TANC")
        return tanc_block(-3000, 600, 4.0, 40, 95);
    if (type == "RECT")
        return rect_block(1, 50, 1, 130, 0.1, 0.1);
    if (type == "MOLL")
        return moll_block(500, 1000, 100, 0);
    if (type == "MSAT")
        return msat_block(0, 0, 1250, 0);
    return {};
}

} // namespace

int main(int argc, char **argv) {
    std::map<std::string, std::string> kv;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto eq = a.find('=');
        if (eq == std::string::npos) {
            std::fprintf(stderr, "area_fixture: expected key=value, got %s\n", a.c_str());
            return 2;
        }
        kv[a.substr(0, eq)] = a.substr(eq + 1);
    }
    auto num = [&](const char *k, int def) {
        auto it = kv.find(k);
        return it == kv.end() ? def : std::atoi(it->second.c_str());
    };
    if (!kv.count("out")) {
        std::fprintf(stderr, "usage: area_fixture type=T order=big|little|sync out=FILE "
                             "[lines= elems= nav=w1,w2,... ...]\n");
        return 2;
    }
    area_fixture::Image im;
    im.nav_type = kv.count("type") && kv["type"] != "none" ? kv["type"] : "";
    im.lines = num("lines", 100);
    im.elems = num("elems", 100);
    im.bytes_per_elem = num("bytes", 1);
    im.prefix = num("prefix", 0);
    im.ul_line = num("line", 1);
    im.ul_elem = num("elem", 1);
    im.line_res = num("lres", 1);
    im.elem_res = num("eres", 1);
    im.date = num("date", 98260);
    im.time = num("time", 74500);
    im.comment = kv.count("comment") ? kv["comment"] : "area_fixture";
    if (kv.count("nav")) {
        im.nav.assign(area_fixture::nav_words(im.nav_type), 0);
        std::stringstream ss(kv["nav"]);
        std::string item;
        for (size_t i = 1; std::getline(ss, item, ',') && i < im.nav.size(); ++i)
            im.nav[i] = static_cast<int32_t>(std::strtol(item.c_str(), nullptr, 10));
    } else {
        im.nav = default_nav(im.nav_type);
    }
    const size_t n = static_cast<size_t>(im.lines) * static_cast<size_t>(im.elems) *
                     static_cast<size_t>(im.bytes_per_elem);
    im.pixels.assign(n, 0);
    if (!kv.count("pattern") || kv["pattern"] == "ramp")
        for (size_t i = 0; i < n; ++i)
            im.pixels[i] = static_cast<uint8_t>(i % static_cast<size_t>(im.elems) +
                                                i / static_cast<size_t>(im.elems));

    const std::string order = kv.count("order") ? kv["order"] : "big";
    std::vector<uint8_t> bytes;
    if (order == "sync")
        bytes = area_fixture::write_sync(im, area_fixture::sync_lines(im));
    else
        bytes = area_fixture::write_plain(im, order == "little" ? area_fixture::Order::little
                                                                : area_fixture::Order::big);
    FILE *f = std::fopen(kv["out"].c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        std::fprintf(stderr, "area_fixture: cannot write %s\n", kv["out"].c_str());
        if (f)
            std::fclose(f);
        return 1;
    }
    std::fclose(f);
    return 0;
}
