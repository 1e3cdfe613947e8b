#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "sim/http_server.h"

// The marketplace's picture host: every product picture ("/bao/<name>.jpg")
// and its square thumbnails ("/bao/<name>.jpg_160x160.jpg", "_290x290",
// "_310x310") as real baseline JPEG files, generated once at start.
namespace tovakin::sim {

// A baseline JPEG of `width` x `height` pixels, flat 8x8 blocks of colour
// drawn from `seed` (a diagonal pattern, so each picture looks different).
std::string makeJpeg(int width, int height, std::uint32_t seed);

class PictureHost {
public:
    static constexpr int kFullSize = 400;

    PictureHost();

    // The picture path of an item on this host, without host: "/bao/<id>.jpg".
    static std::string picturePath(std::string_view itemId);

    // Serves "/bao/*" under `host`.
    void install(HttpServer& server, const std::string& host) const;

    // The JPEG for a path, empty when the path names no picture.
    const std::string* picture(std::string_view path) const;

private:
    static constexpr int kVariants = 8;
    // size -> variant -> JPEG bytes
    std::map<int, std::map<int, std::string>> m_pictures;
};

}  // namespace tovakin::sim
