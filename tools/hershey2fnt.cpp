// Converts a Hershey font in the ".jhf" text form into the program's stroke-font file.
//
//   hershey2fnt IN.jhf OUT.fnt NAME
//
// .jhf: one glyph per line for ASCII 32 upwards (long glyphs wrap onto further lines);
// columns 1-5 a glyph number, 6-8 the vertex count N (the bearing pair included), then N
// pairs of characters whose value minus 'R' is the coordinate: first the left and right
// bearings, then x, y with y down; the pair " R" lifts the pen.
//
// Output: the header "<glyphs> NAME", then per glyph its stroke bytes (x, y pairs; x + 128
// starts a stroke), 255 and a label word, then 254 and the 256 glyph starts. Font units:
// a Hershey unit is 5 font units, so the cap height (21 units) is the 105 units of one
// character height; the base line (Hershey y = 9) lands on 35 and the cap line on 140.
// Glyphs start at x = 0 (their leftmost ink); a glyph wider than the 126 units a stroke
// byte can hold is narrowed to fit. Blank glyphs (the space) get no strokes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Vertex {
    bool pen_up;
    int x, y;
};

struct Glyph {
    int code;
    std::vector<Vertex> vertices;
};

bool read_jhf(const std::string &path, std::vector<Glyph> *glyphs) {
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    int code = 32;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() < 8)
            continue;
        int n = std::atoi(line.substr(5, 3).c_str());
        if (n < 1)
            return false;
        std::string data = line.substr(8);
        std::string more;
        while (data.size() < static_cast<size_t>(2 * n) && std::getline(in, more)) {
            if (!more.empty() && more.back() == '\r')
                more.pop_back();
            data += more;
        }
        if (data.size() < static_cast<size_t>(2 * n))
            return false;
        Glyph g;
        g.code = code++;
        bool up = true;
        for (int i = 1; i < n; ++i) {
            char cx = data[static_cast<size_t>(2 * i)];
            char cy = data[static_cast<size_t>(2 * i + 1)];
            if (cx == ' ' && cy == 'R') {
                up = true;
                continue;
            }
            g.vertices.push_back({up, cx - 'R', cy - 'R'});
            up = false;
        }
        glyphs->push_back(std::move(g));
    }
    return !glyphs->empty();
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::cerr << "usage: hershey2fnt IN.jhf OUT.fnt NAME\n";
        return 2;
    }
    std::vector<Glyph> glyphs;
    if (!read_jhf(argv[1], &glyphs)) {
        std::cerr << "hershey2fnt: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::vector<int> start(256, -1);
    std::ostringstream body;
    int bytes = 0, used = 0;
    for (const Glyph &g : glyphs) {
        if (g.code > 255 || g.vertices.empty())
            continue;
        int minx = g.vertices[0].x, maxx = minx;
        for (const Vertex &v : g.vertices) {
            minx = std::min(minx, v.x);
            maxx = std::max(maxx, v.x);
        }
        double sx = 5.0;
        if ((maxx - minx) * 5 > 126)
            sx = 126.0 / (maxx - minx);
        start[static_cast<size_t>(g.code)] = bytes;
        for (const Vertex &v : g.vertices) {
            int x = static_cast<int>(std::lround((v.x - minx) * sx));
            int y = std::clamp(35 + (9 - v.y) * 5, 0, 253);
            body << (v.pen_up ? x + 128 : x) << ' ' << y << ' ';
            bytes += 2;
        }
        body << "255 g" << g.code << '\n';
        bytes += 1;
        ++used;
    }
    if (bytes > 15000) {
        std::cerr << "hershey2fnt: " << bytes << " stroke bytes, more than a font can hold\n";
        return 1;
    }
    std::ofstream out(argv[2]);
    out << used << ' ' << argv[3] << '\n' << body.str() << "254\n";
    for (int c = 0; c < 256; ++c)
        out << start[static_cast<size_t>(c)] << ((c % 16 == 15) ? '\n' : ' ');
    out.close();
    if (!out) {
        std::cerr << "hershey2fnt: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
