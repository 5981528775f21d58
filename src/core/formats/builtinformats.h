#pragma once

#include <vector>

namespace kolvo {

class FileFormat;

// The work file, then the simulators' step files (DWI, SM and SSC, each
// read and written); each further format adds its entry here and nowhere
// else: Open, Import, the File menu's exports and kolvo-cli work from the
// list.
const FileFormat& kolvoFormat();
const FileFormat& dwiFormat();
const FileFormat& smFormat();
const FileFormat& sscFormat();

// In the order dialogs and the command line list them.
std::vector<const FileFormat*> builtinFormats();

} // namespace kolvo
