#pragma once
// Finding every volume of a RAR set from the name of any of its volumes, for each naming
// scheme in use: name.part1.rar / name.part01.rar / name.part001.rar ..., name.rar + name.r00
// ..., and name.001, name.002, ... Volumes of unfinished downloads (".bc!", ".!ut" appended)
// are found too.
#include <string>
#include <vector>

struct VolumeList {
    std::vector<std::string> names; // existing volumes, first volume first
    std::string nextName;           // the volume that would follow the last one found
};

// The name of volume `index` (0 = first) of the set `anyVolume` belongs to, or "" when the
// name follows no volume scheme (a lone archive). `width` is the digit count of ".partN.rar".
std::string VolumeName(const std::string& anyVolume, size_t index, size_t width);

// Lists the volumes present, from the first one on, stopping at the first gap. A name that
// follows no scheme gives itself. `names` is empty when the first volume does not exist.
VolumeList ListVolumes(const std::string& anyVolume);
