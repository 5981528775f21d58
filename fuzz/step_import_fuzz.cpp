// libFuzzer target: the step-file importers must refuse or accept any bytes
// without touching memory they do not own, and a song they accept must
// export as DWI and save as a work file that reads back to the same song.
// The first byte picks the format (DWI, SM or SSC); the rest is the file.
#include "dwi/dwiwriter.h"
#include "files/kolvofile.h"
#include "import/stepimport.h"
#include "model/songmodel.h"

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
    (void)dwiFileText(*r.song, DwiMode::Export);
    if (unwritableKolvoField(*r.song))
        return 0;
    const QByteArray text = kolvoFileText(*r.song);
    static SongModel again;
    again.setField(SummaryField::Filetag, QString());
    again.resetparameters();
    if (readKolvoData(text, QStringLiteral("again.kolvo"), again) || kolvoFileText(again) != text)
        std::abort();
    return 0;
}
