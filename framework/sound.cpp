// sound.cpp — the rotating sound-effect channels.
#include "framework/sound.h"

#include "framework/graphics.h"
#include "framework/setup.h"
#include "music/music.h"
#include "platform/platform.h"
#include "settings/settings.h"

int SfxCursor;

void PlaySfx(int n, float rate, float volume, float pan) {
    if (Settings[12] <= 0 || n < 1 || n > 200 || !SfxTable[n]) return;
    ++SfxCursor;
    if (SfxCursor >= 256) SfxCursor = 20;

    if (!(volume >= 0)) volume = 0;  // also catches NaN
    if (volume > 1) volume = 1;
    if (!(rate >= 0.25f)) rate = 0.25f;
    if (rate > 4) rate = 4;
    if (!(pan >= -1)) pan = -1;
    if (pan > 1) pan = 1;

    Channel& slot = SfxChannels[SfxCursor];
    // The slot used 236 effects ago: cut its sound off if it still plays.
    if (slot != 0 && ChannelPlaying(slot)) {
        StopChannel(slot);
        slot = 0;
    }
    if (slot == 0) slot = AllocChannel();
    slot = CueSound(SfxTable[n], slot);
    if (slot == 0) return;
    SetChannelVolume(slot, VolumeShare(Settings[11], Settings[12]) * volume);
    SetChannelPan(slot, pan);
    SetChannelRate(slot, rate);
    ResumeChannel(slot);
}
