// test_hooks.h — what the audio tests need beyond platform.h: leaving the
// memory device, replacing the OpenAL library name, and rendering OpenAL
// output into memory. Not for game code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat::audio {

// Closes every back end and returns to the state of a fresh program: no
// memory device, the first driver chosen, nothing open.
void ResetAudioForTest();
// The file dlopen is given for OpenAL ("libopenal.so.1" by default). Closes a
// loaded library so the next use loads the new name.
void SetOpenALLibraryForTest(const std::string& name);
// Makes EnableOpenAL open a loopback device (rendered by RenderOpenALForTest)
// instead of the default device.
void UseOpenALLoopbackForTest(bool on);
// Renders `frames` stereo frames at 44100 Hz from the open loopback device;
// empty when none is open.
std::vector<int16_t> RenderOpenALForTest(int frames);
// Channels the open OpenAL device keeps state for; -1 when none is open.
int OpenALHeldChannelsForTest();

}  // namespace plat::audio
