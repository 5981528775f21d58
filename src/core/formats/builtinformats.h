#pragma once

#include <vector>

namespace kolvo {

class FileFormat;

// The work file, then the simulators' step files (DWI, SM written and
// read, SSC read); each further format adds its entry here.
const FileFormat& kolvoFormat();
const FileFormat& dwiFormat();
const FileFormat& smFormat();
const FileFormat& sscFormat();

// In the order dialogs and the command line list them.
std::vector<const FileFormat*> builtinFormats();

} // namespace kolvo
