#pragma once
// The audio library, opened the first time music is analysed rather than
// when the program starts: it brings some hundred decoder libraries with it,
// and loading those would cost every start of the program, and every
// `kolvo-cli check`, tens of milliseconds.

#include <aubio/aubio.h>

#include <string>

namespace kolvo::analysis {

#define KOLVO_AUBIO_FUNCTIONS(X)                                                                   \
    X(aubio_log_set_function)                                                                      \
    X(new_aubio_source)                                                                            \
    X(del_aubio_source)                                                                            \
    X(aubio_source_do)                                                                             \
    X(aubio_source_get_samplerate)                                                                 \
    X(aubio_source_get_duration)                                                                   \
    X(new_aubio_tempo)                                                                             \
    X(del_aubio_tempo)                                                                             \
    X(aubio_tempo_do)                                                                              \
    X(aubio_tempo_get_bpm)                                                                         \
    X(aubio_tempo_get_last_s)                                                                      \
    X(new_aubio_onset)                                                                             \
    X(del_aubio_onset)                                                                             \
    X(aubio_onset_do)                                                                              \
    X(aubio_onset_set_minioi_ms)                                                                   \
    X(aubio_onset_get_last_s)                                                                      \
    X(new_fvec)                                                                                    \
    X(del_fvec)

// The library's functions this program calls, each under its own name.
struct AubioLibrary {
#define KOLVO_AUBIO_MEMBER(name) decltype(&::name) name = nullptr;
    KOLVO_AUBIO_FUNCTIONS(KOLVO_AUBIO_MEMBER)
#undef KOLVO_AUBIO_MEMBER
};

// The library, loaded on the first call with its log and the decoders' log
// silenced (our messages say what went wrong); nullptr when it cannot be
// loaded, with the reason in `error`.
const AubioLibrary* aubioLibrary(std::string& error);

} // namespace kolvo::analysis
