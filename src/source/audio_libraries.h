#pragma once

// The libraries that decode, resample and measure audio files, opened with
// dlopen the first time one of them is needed: together they cost every
// process that loads them several milliseconds and megabytes at start, and
// most commands (every one on a RAW file) never use them.

#include <ebur128.h>
#include <sndfile.h>
#include <soxr.h>

namespace sonabank {

struct SndfileLibrary {
    decltype(&sf_open_virtual) open_virtual = nullptr;
    decltype(&sf_close) close = nullptr;
    decltype(&sf_readf_float) readf_float = nullptr;
    decltype(&sf_error) error = nullptr;
    decltype(&sf_strerror) strerror = nullptr;
};

struct SoxrLibrary {
    decltype(&soxr_create) create = nullptr;
    decltype(&soxr_delete) destroy = nullptr;
    decltype(&soxr_process) process = nullptr;
    decltype(&soxr_io_spec) io_spec = nullptr;
    decltype(&soxr_quality_spec) quality_spec = nullptr;
    decltype(&soxr_runtime_spec) runtime_spec = nullptr;
};

struct Ebur128Library {
    decltype(&ebur128_init) init = nullptr;
    decltype(&ebur128_destroy) destroy = nullptr;
    decltype(&ebur128_add_frames_float) add_frames_float = nullptr;
    decltype(&ebur128_loudness_global) loudness_global = nullptr;
};

// Each opens its library on the first call; std::runtime_error when the
// library or one of its functions is missing (an installation fault).
const SndfileLibrary& Sndfile();
const SoxrLibrary& Soxr();
const Ebur128Library& Ebur128();

}  // namespace sonabank
