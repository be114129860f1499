// Helpers of the end-to-end benches: fresh processes timed with their peak memory, medians
// with their spread, and a geostationary grid in metres fitted to the installed AREA
// navigation, so that gdalwarp gets the same pixels on the same earth.
#pragma once

#include <fcntl.h>
#include <proj.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "satformats/sat_tran.h"

extern char **environ;

namespace bench {

struct Stats {
    double median = 0, lo = 0, hi = 0;
};

inline Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    if (v.empty())
        return {};
    return {v[v.size() / 2], v.front(), v.back()};
}

struct Child {
    int status = -1;
    double seconds = 0;
    long max_rss_kb = 0;
};

// Runs a program as a fresh process, its output thrown away, under /usr/bin/time for its
// peak memory when rss_file is given (this process's rusage of a child would count the
// memory this process had when it started it).
inline Child run(std::vector<std::string> args, const std::filesystem::path &rss_file = {}) {
    if (!rss_file.empty())
        args.insert(args.begin(), {"/usr/bin/time", "-f", "%M", "-o", rss_file.string()});
    std::vector<char *> argv;
    for (const auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    Child c;
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        c.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        c.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (!rss_file.empty())
            std::ifstream(rss_file) >> c.max_rss_kb;
    }
    posix_spawn_file_actions_destroy(&fa);
    return c;
}

// Image grid in the metres of `geos`: x = x0 + col dx, y = y0 + row dy at pixel centres
// (0-based), fitted by least squares to the installed navigation over a grid of
// latitudes and longitudes; worst residual in pixels.
struct GeosGrid {
    double x0 = 0, dx = 0, y0 = 0, dy = 0, worst = 0;
};

inline bool fit_geos(const char *geos, const char *earth, int lat0, int lat1, int lon0, int lon1,
                     int step, GeosGrid *g) {
    PJ_CONTEXT *ctx = proj_context_create();
    PJ *pj = proj_create_crs_to_crs(ctx, earth, geos, nullptr);
    if (!pj) {
        proj_context_destroy(ctx);
        return false;
    }
    std::vector<double> col, row, x, y;
    for (int lat = lat0; lat <= lat1; lat += step) {
        for (int lon = lon0; lon <= lon1; lon += step) {
            float la = float(lat), lo = float(lon), line = 0, elem = 0;
            if (AREA_tran(2, &la, &lo, &line, &elem) != 0 || line == -9999.0f)
                continue;
            AREA_line_elem(2, &line, &elem, &line, &elem);
            const PJ_COORD c = proj_trans(pj, PJ_FWD, proj_coord(lon, lat, 0, 0));
            if (!std::isfinite(c.xy.x))
                continue;
            col.push_back(elem - 1.0);
            row.push_back(line - 1.0);
            x.push_back(c.xy.x);
            y.push_back(c.xy.y);
        }
    }
    proj_destroy(pj);
    proj_context_destroy(ctx);
    if (col.size() < 10)
        return false;
    auto line_fit = [](const std::vector<double> &t, const std::vector<double> &v, double *a,
                       double *b) {
        const double n = double(t.size());
        double st = 0, sv = 0, stt = 0, stv = 0;
        for (size_t k = 0; k < t.size(); ++k) {
            st += t[k];
            sv += v[k];
            stt += t[k] * t[k];
            stv += t[k] * v[k];
        }
        *b = (n * stv - st * sv) / (n * stt - st * st);
        *a = (sv - *b * st) / n;
    };
    line_fit(col, x, &g->x0, &g->dx);
    line_fit(row, y, &g->y0, &g->dy);
    g->worst = 0;
    for (size_t k = 0; k < col.size(); ++k)
        g->worst = std::max({g->worst, std::fabs((x[k] - g->x0) / g->dx - col[k]),
                             std::fabs((y[k] - g->y0) / g->dy - row[k])});
    return true;
}

} // namespace bench
