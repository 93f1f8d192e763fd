#include "DeviceImages.h"

#include <map>

namespace {
// Built while the library loads, before any entry point can run; read-only afterwards.
const std::map<std::string, std::string> g_imageChecksums = {
    { "Motherboard-device_view.png",
      "be02dbc270cc08fe531788e5ad6381903f0d330ef5ab62f744b9b14fd7fe432d" },
    { "Motherboard-promo.png", "fd825bbd791b991708dbe58ec801a075e4002f8867765ccfbaa17159a6cf7025" },
    { "Motherboard-thumbnail.png",
      "9538b177b167ac20fee268ad593b1f2f6dc52ffdb8d50e1b009f4969d9ff7e4c" },
};
} // namespace

std::string imageChecksum(const std::string &fileName)
{
    const auto it = g_imageChecksums.find(fileName);
    return it == g_imageChecksums.end() ? std::string() : it->second;
}
