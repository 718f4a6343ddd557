// Sound through ALSA's default PCM, for systems without a PulseAudio
// compatible server.

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/output_stream.h"
#include "io/shared_library.h"

namespace sonabank {

namespace {

struct AlsaApi {
    decltype(&snd_pcm_open) open = nullptr;
    decltype(&snd_pcm_nonblock) nonblock = nullptr;
    decltype(&snd_pcm_set_params) setParams = nullptr;
    decltype(&snd_pcm_writei) writei = nullptr;
    decltype(&snd_pcm_recover) recover = nullptr;
    decltype(&snd_pcm_drain) drain = nullptr;
    decltype(&snd_pcm_drop) drop = nullptr;
    decltype(&snd_pcm_close) close = nullptr;
    decltype(&snd_pcm_delay) delay = nullptr;
    decltype(&snd_pcm_sw_params_sizeof) swParamsSize = nullptr;
    decltype(&snd_pcm_sw_params_current) swParamsCurrent = nullptr;
    decltype(&snd_pcm_sw_params_set_start_threshold) setStartThreshold = nullptr;
    decltype(&snd_pcm_sw_params) swParams = nullptr;
    decltype(&snd_strerror) strerror = nullptr;
    std::string error;  // empty when usable
};

// ALSA reports every failure on stderr as well; the player reports them itself.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

AlsaApi LoadAlsa() {
    SharedLibrary library("libasound.so.2");
    AlsaApi api;
    decltype(&snd_lib_error_set_handler) setErrorHandler = nullptr;
    if (!(library.Bind(api.open, "snd_pcm_open") &&
          library.Bind(api.nonblock, "snd_pcm_nonblock") &&
          library.Bind(api.setParams, "snd_pcm_set_params") &&
          library.Bind(api.writei, "snd_pcm_writei") &&
          library.Bind(api.recover, "snd_pcm_recover") &&
          library.Bind(api.drain, "snd_pcm_drain") && library.Bind(api.drop, "snd_pcm_drop") &&
          library.Bind(api.close, "snd_pcm_close") && library.Bind(api.delay, "snd_pcm_delay") &&
          library.Bind(api.swParamsSize, "snd_pcm_sw_params_sizeof") &&
          library.Bind(api.swParamsCurrent, "snd_pcm_sw_params_current") &&
          library.Bind(api.setStartThreshold, "snd_pcm_sw_params_set_start_threshold") &&
          library.Bind(api.swParams, "snd_pcm_sw_params") &&
          library.Bind(api.strerror, "snd_strerror") &&
          library.Bind(setErrorHandler, "snd_lib_error_set_handler"))) {
        api.error = library.error();
        return api;
    }
    setErrorHandler(Quiet);
    return api;
}

const AlsaApi& Alsa() {
    static const AlsaApi api = LoadAlsa();
    return api;
}

std::string ErrorText(int error) {
    return std::string("ALSA: ") + Alsa().strerror(error);
}

class AlsaStream final : public OutputStream {
  public:
    AlsaStream(snd_pcm_t* pcm, std::uint32_t rate) : pcm_(pcm), rate_(rate) {}
    ~AlsaStream() override {
        Alsa().drop(pcm_);
        Alsa().close(pcm_);
    }
    AlsaStream(const AlsaStream&) = delete;
    AlsaStream& operator=(const AlsaStream&) = delete;

    bool Write(std::span<const std::uint8_t> samples) override {
        while (!samples.empty()) {
            snd_pcm_sframes_t written = Alsa().writei(pcm_, samples.data(), samples.size());
            // An underrun (the worker was late) is recovered from; the sound
            // goes on after a gap.
            if (written < 0) written = Alsa().recover(pcm_, static_cast<int>(written), 1);
            if (written < 0) {
                error_ = static_cast<int>(written);
                return false;
            }
            samples = samples.subspan(static_cast<std::size_t>(written));
        }
        return true;
    }
    bool Drain() override {
        error_ = Alsa().drain(pcm_);
        return error_ == 0;
    }
    std::optional<std::chrono::microseconds> Delay() override {
        snd_pcm_sframes_t frames = 0;
        const int error = Alsa().delay(pcm_, &frames);
        // An underrun once everything was written: all of it has been heard.
        if (error == -EPIPE) return std::chrono::microseconds(0);
        if (error < 0) {
            error_ = error;
            return std::nullopt;
        }
        return std::chrono::microseconds(std::max<snd_pcm_sframes_t>(frames, 0) * 1000000 / rate_);
    }
    std::string Error() const override { return ErrorText(error_); }

  private:
    snd_pcm_t* pcm_;
    std::uint32_t rate_;
    int error_ = 0;
};

}  // namespace

OpenedStream OpenAlsaStream(std::uint32_t rate) {
    const AlsaApi& alsa = Alsa();
    if (!alsa.error.empty()) return {nullptr, "ALSA: " + alsa.error};

    snd_pcm_t* pcm = nullptr;
    // A device held by another program would block the open until it is
    // let go (and Stop with it); busy is an answer too.
    int error = alsa.open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (error < 0) return {nullptr, ErrorText(error)};
    error = alsa.nonblock(pcm, 0);
    if (error >= 0)
        error = alsa.setParams(pcm, SND_PCM_FORMAT_U8, SND_PCM_ACCESS_RW_INTERLEAVED, 1, rate, 1,
                               OUTPUT_BUFFER_MS * 1000);
    // The device would start only once its buffer is full: a shorter sound
    // would start at the drain.
    std::vector<char> swParams(alsa.swParamsSize());
    auto* sw = reinterpret_cast<snd_pcm_sw_params_t*>(swParams.data());
    if (error >= 0) error = alsa.swParamsCurrent(pcm, sw);
    if (error >= 0) error = alsa.setStartThreshold(pcm, sw, SamplesIn(CHUNK_MS, rate));
    if (error >= 0) error = alsa.swParams(pcm, sw);
    if (error < 0) {
        alsa.close(pcm);
        return {nullptr, ErrorText(error)};
    }
    return {std::make_unique<AlsaStream>(pcm, rate), {}};
}

}  // namespace sonabank
