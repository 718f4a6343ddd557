// Sound through libpulse's simple API. Its blocking calls on one stream
// belong to one thread, the player's worker; Qt Multimedia's threaded main
// loop, which this replaces, crashed at exit.

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>

#include "platform/output_stream.h"
#include "io/shared_library.h"

namespace sonabank {

namespace {

struct PulseApi {
    decltype(&pa_simple_new) simpleNew = nullptr;
    decltype(&pa_simple_write) write = nullptr;
    decltype(&pa_simple_drain) drain = nullptr;
    decltype(&pa_simple_get_latency) latency = nullptr;
    decltype(&pa_simple_free) free = nullptr;
    decltype(&pa_strerror) strerror = nullptr;
    std::string error;  // empty when usable
};

PulseApi LoadPulse() {
    SharedLibrary library("libpulse-simple.so.0");
    PulseApi api;
    // pa_strerror lives in libpulse.so.0, which the simple API depends on.
    if (!(library.Bind(api.simpleNew, "pa_simple_new") &&
          library.Bind(api.write, "pa_simple_write") &&
          library.Bind(api.drain, "pa_simple_drain") &&
          library.Bind(api.latency, "pa_simple_get_latency") &&
          library.Bind(api.free, "pa_simple_free") && library.Bind(api.strerror, "pa_strerror"))) {
        api.error = library.error();
    }
    return api;
}

const PulseApi& Pulse() {
    static const PulseApi api = LoadPulse();
    return api;
}

std::string ErrorText(int error) {
    return std::string("PulseAudio: ") + Pulse().strerror(error);
}

class PulseStream final : public OutputStream {
  public:
    explicit PulseStream(pa_simple* stream) : stream_(stream) {}
    ~PulseStream() override { Pulse().free(stream_); }
    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    bool Write(std::span<const std::uint8_t> samples) override {
        return Pulse().write(stream_, samples.data(), samples.size(), &error_) == 0;
    }
    bool Drain() override { return Pulse().drain(stream_, &error_) == 0; }
    std::optional<std::chrono::microseconds> Delay() override {
        const pa_usec_t delay = Pulse().latency(stream_, &error_);
        if (delay == static_cast<pa_usec_t>(-1)) return std::nullopt;
        return std::chrono::microseconds(delay);
    }
    std::string Error() const override { return ErrorText(error_); }

  private:
    pa_simple* stream_;
    int error_ = 0;
};

}  // namespace

OpenedStream OpenPulseStream(std::uint32_t rate, std::size_t length) {
    const PulseApi& pulse = Pulse();
    if (!pulse.error.empty()) return {nullptr, "PulseAudio: " + pulse.error};

    const pa_sample_spec format{PA_SAMPLE_U8, rate, 1};
    // By default the server holds about 2 s and starts playing once it is
    // full: a shorter sound would start only at the drain. A sound shorter
    // than the buffer fills it, so it starts once written.
    const std::uint32_t unset = static_cast<std::uint32_t>(-1);
    const auto buffer = static_cast<std::uint32_t>(
        std::clamp<std::size_t>(length, 1, SamplesIn(OUTPUT_BUFFER_MS, rate)));
    const pa_buffer_attr attributes{unset, buffer, unset, unset, unset};
    int error = 0;
    pa_simple* stream = pulse.simpleNew(nullptr, "Sonabank", PA_STREAM_PLAYBACK, nullptr,
                                        "fragment", &format, nullptr, &attributes, &error);
    if (!stream) return {nullptr, ErrorText(error)};
    return {std::make_unique<PulseStream>(stream), {}};
}

}  // namespace sonabank
