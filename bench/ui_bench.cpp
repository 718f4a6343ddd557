// The main window's rebuild of its grid for 100 fragments: what every change
// of the image costs the window on top of the core's list.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstring>

#include "bench_data.h"
#include "playback/sound_output.h"
#include "ui/main_form.h"

namespace sonabank::bench {
namespace {

// The rebuild plays nothing and asks nothing.
class SilentPlayer : public SoundPlayer {
  public:
    void Play(std::span<const std::uint8_t>) override {}
    void Stop() override {}
    SoundStatus Status() const override { return {}; }
};

class FrozenTicks : public TickSource {
  public:
    std::uint32_t Now() override { return 0; }
};

class NoPrompts : public Prompts {
  public:
    void Message(QWidget*, const QString&, Icon) override {}
    Answer AskYesNoCancel(QWidget*, const QString&) override { return Answer::Cancel; }
    bool AskYesNo(QWidget*, const QString&) override { return false; }
    std::optional<QString> OpenFile(QWidget*, FileDialogSettings&) override { return {}; }
    std::optional<QString> SaveFile(QWidget*, FileDialogSettings&) override { return {}; }
};

// `paint`: also paint the window at once, as the event loop does after the
// handler returns.
void BM_UpdateMessList(benchmark::State& state, bool paint) {
    SilentPlayer player;
    FrozenTicks ticks;
    NoPrompts prompts;
    TMain window(player, ticks, prompts);
    const MemoryImage full = FullImage();
    std::memcpy(window.image().data(), full.data(), IMAGE_SIZE);
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        window.UpdateMessList();
        if (paint) window.repaint();
    }
}

BENCHMARK_CAPTURE(BM_UpdateMessList, rebuild, false)
    ->Name("UpdateMessList/window-100")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_UpdateMessList, rebuild_paint, true)
    ->Name("UpdateMessList/window-100-painted")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sonabank::bench

int main(int argc, char** argv) {
    // Drawn offscreen unless the caller chose a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
