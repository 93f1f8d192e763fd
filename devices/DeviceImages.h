// The image checksums compiled into the plug-in, by image file name.
#pragma once

#include <map>
#include <string>

const std::map<std::string, std::string> &imageChecksums();
// The checksum text for exactly this name (byte-wise), or empty.
std::string imageChecksum(const std::string &fileName);
