// Fuzz target of the whole read of a native image from its file name, as the driver reads
// one (SAT_read_file with the native input type): the header, the geometry line and what it
// names ("fi:" region files, "id:" stations in a city file, region names), then the domain
// put to use. The input holds up to three files, split at lines "%%": the image, the region
// file "zor.reg" and the city file "sao.cty", all in a scratch folder that is the file path.
// The dictionary (fuzz_native_read_path.dict) offers commands and device names: a data
// file may name them, and must neither run the one (the tripwire) nor hang on the other.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

#include "base/flag.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "fuzz_no_commands.h"
#include "map/maptran.h"
#include "sat/img_tool.h"
#include "sat/sat_tool.h"

namespace {

class Scratch {
  public:
    Scratch() {
        const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        dir_ = std::filesystem::path(base) / ("fuzz_native_read_path." + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string file(const char *name) const { return (dir_ / name).string(); }
    std::string dir() const { return dir_.string(); }
    // Writes the file, or removes it when the input has no such part.
    void put(const char *name, std::string_view text, bool present) const {
        const std::string path = file(name);
        if (!present) {
            std::remove(path.c_str());
            return;
        }
        if (FILE *f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
    }

  private:
    std::filesystem::path dir_;
};

const Scratch &scratch() {
    static const Scratch s;
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool ready = [] {
        IMG_READ_LIMITS lim;
        lim.waits = 0;
        lim.max_pixels = int64_t(1) << 22;
        IMG_set_read_limits(lim);
        MESS_set(0, 0);
        return true;
    }();
    (void)ready;
    // Every run starts from the same settings.
    RES_reset_state();
    FLAG_reset();
    FLAG_set(FLAG_BATCH, 1);
    FLAG_set(FLAG_INPUT, SAT_IN_IMG);
    RES_put("file_path", scratch().dir().c_str());

    const std::string_view all(reinterpret_cast<const char *>(data), size);
    const char *names[] = {"img", "zor.reg", "sao.cty"};
    size_t from = 0;
    for (int part = 0; part < 3; ++part) {
        const bool present = from <= all.size();
        size_t cut = present ? all.find("\n%%\n", from) : std::string_view::npos;
        std::string_view text;
        if (present)
            text = all.substr(from,
                              cut == std::string_view::npos ? std::string_view::npos : cut - from);
        scratch().put(names[part], text, present);
        from = cut == std::string_view::npos ? all.size() + 1 : cut + 4;
    }

    IMAGE image;
    if (SAT_read_file(scratch().file("img").c_str(), &image) == 1 && image.domain.proj > 0) {
        MapProjection proj(image.domain);
        float x = 0, y = 0, lat = 0, lon = 0, lim[4];
        proj.limits(lim);
        proj.tran(&x, &y, image.domain.clat, image.domain.clon);
        proj.untran(&lat, &lon, lim[0], lim[3]);
    }
    return 0;
}
