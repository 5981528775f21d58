#pragma once

// Byte-level encoding shared by the encoder and the file writer, so a whole
// file is built in one buffer without a string per row.
#include <string>

namespace kolvo {

class SongModel;

void appendChartSteps(std::string& out, const SongModel& model, int style, int level);

} // namespace kolvo
