#include "playback/qt_sound_player.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QByteArray>
#include <QMediaDevices>
#include <algorithm>

#include "playback/wav_render.h"

namespace sonabank {

namespace {

constexpr std::size_t RATE_OFFSET = 24;
constexpr std::size_t DATA_LENGTH_OFFSET = 40;

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

}  // namespace

QtSoundPlayer::QtSoundPlayer() = default;

QtSoundPlayer::~QtSoundPlayer() {
    Stop();
}

void QtSoundPlayer::Play(std::span<const std::uint8_t> wave) {
    Stop();
    if (wave.size() < WAV_HEADER_SIZE) {
        return;
    }
    const std::uint32_t rate = ReadU32(wave, RATE_OFFSET);
    // A header that claims more data than the image holds plays what is there.
    const std::size_t dataLength =
        std::min<std::size_t>(ReadU32(wave, DATA_LENGTH_OFFSET), wave.size() - WAV_HEADER_SIZE);

    // Asking for a sink without an output device only earns a warning on
    // stderr; the player is meant to stay quiet.
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        return;
    }
    QAudioFormat format;
    format.setSampleFormat(QAudioFormat::UInt8);
    format.setChannelCount(1);
    format.setSampleRate(static_cast<int>(rate));

    // fromRawData keeps the samples where they are: the caller guarantees the
    // image outlives the playback, and Stop() cuts the sink off from it.
    buffer_ = std::make_unique<QBuffer>();
    buffer_->setData(
        QByteArray::fromRawData(reinterpret_cast<const char*>(wave.data() + WAV_HEADER_SIZE),
                                static_cast<qsizetype>(dataLength)));
    buffer_->open(QIODevice::ReadOnly);
    sink_ = std::make_unique<QAudioSink>(device, format);
    sink_->start(buffer_.get());
}

void QtSoundPlayer::Stop() {
    if (sink_) {
        // The sink pulls from the buffer on this thread; once stop() returns
        // it has dropped the buffer and reads nothing more.
        sink_->stop();
        sink_.reset();
    }
    buffer_.reset();
}

}  // namespace sonabank
