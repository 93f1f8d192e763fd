// The image checksums compiled into the plug-in, by image file name.
#pragma once

#include <string>

// The checksum text for exactly this name (byte-wise), or empty.
std::string imageChecksum(const std::string &fileName);
