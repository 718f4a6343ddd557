#include "source/audio_libraries.h"

#include <stdexcept>

#include "io/shared_library.h"

namespace sonabank {

namespace {

// Opens `soname` and binds the functions `bind` names; throws on a miss.
template <typename Functions, typename Bind>
Functions Load(const char* soname, Bind bind) {
    SharedLibrary library(soname);
    Functions functions;
    if (!bind(library, functions)) throw std::runtime_error(library.error());
    return functions;
}

}  // namespace

const SndfileLibrary& Sndfile() {
    static const SndfileLibrary library =
        Load<SndfileLibrary>("libsndfile.so.1", [](SharedLibrary& l, SndfileLibrary& f) {
            return l.Bind(f.open_virtual, "sf_open_virtual") && l.Bind(f.close, "sf_close") &&
                   l.Bind(f.readf_float, "sf_readf_float") && l.Bind(f.error, "sf_error") &&
                   l.Bind(f.strerror, "sf_strerror");
        });
    return library;
}

const SoxrLibrary& Soxr() {
    static const SoxrLibrary library =
        Load<SoxrLibrary>("libsoxr.so.0", [](SharedLibrary& l, SoxrLibrary& f) {
            return l.Bind(f.create, "soxr_create") && l.Bind(f.destroy, "soxr_delete") &&
                   l.Bind(f.process, "soxr_process") && l.Bind(f.io_spec, "soxr_io_spec") &&
                   l.Bind(f.quality_spec, "soxr_quality_spec") &&
                   l.Bind(f.runtime_spec, "soxr_runtime_spec");
        });
    return library;
}

const Ebur128Library& Ebur128() {
    static const Ebur128Library library =
        Load<Ebur128Library>("libebur128.so.1", [](SharedLibrary& l, Ebur128Library& f) {
            return l.Bind(f.init, "ebur128_init") && l.Bind(f.destroy, "ebur128_destroy") &&
                   l.Bind(f.add_frames_float, "ebur128_add_frames_float") &&
                   l.Bind(f.loudness_global, "ebur128_loudness_global");
        });
    return library;
}

}  // namespace sonabank
