// libFuzzer target: the step-file importers must refuse or accept any bytes
// without touching memory they do not own; a refusal says why and lists no
// loss, and a song they accept exports as DWI and reads back from its own
// export when it has a chart of the chart table; the .sm and .ssc exports
// and each format's list of what it cannot carry run on it too. The first
// byte picks the format (DWI, SM or SSC); the rest is the file. (The work file's reader has a
// fuzzer of its own.)
#include "core/dwi/dwiwriter.h"
#include "core/formats/fileformat.h"
#include "core/import/stepimport.h"
#include "core/sm/smwriter.h"
#include "core/song/songmodel.h"
#include "core/ssc/sscwriter.h"

#include <cstdint>
#include <cstdlib>

using namespace kolvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static const StepFormat formats[] = {StepFormat::Dwi, StepFormat::Sm, StepFormat::Ssc};
    const StepFormat format = formats[data[0] % 3];
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const ImportResult r = importStepFile(bytes, QStringLiteral("/fuzz/song.x"), format);
    if (!r.ok()) {
        if (!r.error || !r.losses.isEmpty())
            std::abort(); // a refusal always says why and lists nothing
        return 0;
    }
    (void)importLossReport(r.losses);
    // The DWI export carries the chart table only: a song of Edit or other
    // games' charts alone exports none, and reading that back is refused.
    bool tableChart = false;
    for (int s = 1; s <= kStyles; ++s)
        for (int l = 1; l <= kLevels; ++l)
            tableChart = tableChart || r.song->hasData(s, l);
    const QByteArray dwi = dwiFileText(*r.song, DwiMode::Export);
    const ImportResult again =
        importStepFile(dwi, QStringLiteral("/fuzz/again.dwi"), StepFormat::Dwi);
    if (tableChart ? !again.ok() : (!again.ok() && !again.error))
        std::abort();
    // The other exports and what each cannot carry, on whatever was read;
    // the .ssc export is read back too.
    for (const FileFormat* f : fileFormats())
        if (f->canWrite())
            (void)f->cannotCarry(*r.song);
    (void)encodeSmFile(*r.song);
    (void)importStepFile(encodeSscFile(*r.song), QStringLiteral("/fuzz/again.ssc"),
                         StepFormat::Ssc);
    return 0;
}
