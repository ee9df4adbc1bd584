// The golden pictures of tests/data as the X11 benchmark programs read them.
#pragma once

#include <cstddef>
#include <fstream>
#include <string>
#include <vector>

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

// A binary PPM with a maximum of 255 and no comments, as tests/data holds them.
inline bool read_ppm(const char* path, Picture& picture) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maximum = 0;
    in >> magic >> picture.width >> picture.height >> maximum;
    in.get();
    if (!in || magic != "P6" || maximum != 255) return false;
    picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
    in.read(reinterpret_cast<char*>(picture.rgb.data()), static_cast<long>(picture.rgb.size()));
    return static_cast<bool>(in);
}
