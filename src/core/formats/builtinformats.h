#pragma once

#include <vector>

namespace kolvo {

class FileFormat;

// The work file and the DWI export; each further format adds its entry here.
const FileFormat& kolvoFormat();
const FileFormat& dwiFormat();
const FileFormat& smFormat();

// In the order dialogs and the command line list them.
std::vector<const FileFormat*> builtinFormats();

} // namespace kolvo
