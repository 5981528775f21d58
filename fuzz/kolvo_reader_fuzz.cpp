// libFuzzer target: the work-file reader must refuse or accept any bytes
// without touching memory it does not own, and whatever it accepts must
// write back to a file that reads back to the same song.
#include "core/dwi/dwiwriter.h"
#include "core/files/kolvofile.h"
#include "core/song/songmodel.h"

#include <cstdint>
#include <cstdlib>

using namespace kolvo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SongModel model;
    model.setField(SummaryField::FileTag, QString());
    model.resetparameters();
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (readKolvoData(bytes, QStringLiteral("fuzz.kolvo"), model))
        return 0;
    (void)dwiFileText(model, DwiMode::Export);
    if (unwritableKolvoField(model))
        return 0;
    const QByteArray text = kolvoFileText(model);
    static SongModel again;
    again.setField(SummaryField::FileTag, QString());
    again.resetparameters();
    if (readKolvoData(text, QStringLiteral("again.kolvo"), again) || kolvoFileText(again) != text)
        std::abort();
    return 0;
}
