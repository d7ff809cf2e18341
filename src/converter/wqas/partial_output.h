#pragma once

// The converter writes its output under a temporary name beside the final one
// and renames it only once the encoder has finished with success, so that a
// failed or stopped conversion never touches a file that was there before.
// A converter that is killed outright cannot remove its temporary file; these
// helpers let the next converter, or the program that ran it, find such a file
// by its name and clear it. Plain C++: "wqas.pga" uses them as well.

#include <string>

#include "platform/file_beside.h"

namespace wqas {

// The temporary name for `output` of the converter with process id `pid`:
// ".<file name>.wqas-<pid>.part<extension>" in the output's folder. The
// extension (from the name's last dot, so ".avi" is one) stays last, so the
// encoder picks the same container from it. The name is never the output's
// own, and fits the 255-byte limit whenever the output's name does.
std::string partialOutputPath(const std::string &output, long pid);

// The converter's process id when `fileName` (a name without folder) is a
// temporary name of `output`'s; otherwise 0 (always for the output's own name).
long partialOutputOwner(const std::string &output, const std::string &fileName);

// Whether the process `pid` is a converter that still runs (not one that has
// ended and waits to be reaped).
bool converterRunning(long pid);

// Removes the temporary files of `output` whose converter no longer runs.
// Returns how many were removed. They are removed by name inside the folder,
// so a temporary name whose full path is past the system's limit goes too.
int removeLeftoverPartials(const std::string &output);
// The same in `folder`, the output's folder held open.
int removeLeftoverPartials(const vidmora::platform::BesideFolder &folder, const std::string &output);

} // namespace wqas
