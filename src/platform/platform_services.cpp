#include "platform/platform_services.h"

#include "platform/steady_tick_source.h"
#include "platform/system_sound_player.h"

namespace sonabank {

std::unique_ptr<SoundPlayer> MakeSoundPlayer() {
    return std::make_unique<SystemSoundPlayer>();
}

std::unique_ptr<TickSource> MakeTickSource() {
    return std::make_unique<SteadyTickSource>();
}

}  // namespace sonabank
