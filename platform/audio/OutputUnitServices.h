// The output-unit services the engine and the host call: find the default output, create and
// initialise a unit, set its stream format and render callback, start it; plus the device-time
// and device IO-procedure calls, which have no device behind them on Linux and fail.
//
// A unit of the default-output component plays through the device its component makes
// (OutputComponents, in the host's device library): started, it opens the default output at
// 44100 Hz, two interleaved float32 channels, and the backend's audio thread calls the render
// callback once per buffer. The services here link no audio system, so the engine library that
// starts units stays free of them. A unit of the manual component has no device at all, and
// whoever owns it pulls buffers with OutputUnitPull (tests, offline renders). Either way the
// stream format, if one is set, must be that one layout.
//
// The render callback is fixed while a device-backed unit runs: setting it then is refused, since
// the audio thread reads it without a lock.
#pragma once

#include "CorvenaAudioTypes.h"

#include <cstdint>

constexpr uint32_t fourCharCode(const char (&code)[5]) {
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
           (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

constexpr unsigned outputSampleRateHz = 44100;
constexpr unsigned outputChannelCount = 2;

constexpr uint32_t kAudioUnitType_Output = fourCharCode("auou");
constexpr uint32_t kAudioUnitSubType_DefaultOutput = fourCharCode("def ");
constexpr uint32_t kAudioUnitSubType_ManualOutput = fourCharCode("pull");
constexpr uint32_t kAudioUnitManufacturer_System = fourCharCode("appl");
constexpr uint32_t kAudioFormatLinearPCM = fourCharCode("lpcm");
constexpr uint32_t kAudioFormatFlagIsFloat = 1;
constexpr uint32_t kAudioFormatFlagIsPacked = 8;
constexpr uint32_t kAudioFormatFlagIsNonInterleaved = 32;

constexpr uint32_t kAudioUnitProperty_StreamFormat = 8;
constexpr uint32_t kAudioUnitProperty_SetRenderCallback = 23;
constexpr uint32_t kAudioUnitScope_Global = 0;
constexpr uint32_t kAudioUnitScope_Input = 1;
constexpr uint32_t kAudioUnitScope_Output = 2;

constexpr OSStatus kOutputUnitErr_None = 0;
constexpr OSStatus kOutputUnitErr_InvalidParameter = -50;
constexpr OSStatus kOutputUnitErr_InvalidProperty = -10879;
constexpr OSStatus kOutputUnitErr_NotInitialized = -10867;
constexpr OSStatus kOutputUnitErr_NoDevice = -10851;
constexpr OSStatus kOutputUnitErr_StreamFailed = -10875;
constexpr OSStatus kOutputUnitErr_FormatNotSupported = -10868;
constexpr OSStatus kOutputUnitErr_CannotDoInCurrentContext = -10863;

// The components and their instances: defined beside the devices (OutputComponents.cpp).
AudioComponent AudioComponentFindNext(AudioComponent previous,
                                      const AudioComponentDescription* description);
OSStatus AudioComponentInstanceNew(AudioComponent component, AudioUnit* outUnit);
OSStatus AudioComponentInstanceDispose(AudioUnit unit);

OSStatus AudioUnitInitialize(AudioUnit unit);
OSStatus AudioUnitSetProperty(AudioUnit unit, uint32_t property, uint32_t scope, uint32_t element,
                              const void* data, uint32_t dataSize);
OSStatus AudioOutputUnitStart(AudioUnit unit);
OSStatus AudioOutputUnitStop(AudioUnit unit);

// Manual units only: calls the render callback once for `frames` interleaved frames at the
// unit's running sample time and host clock, as a device would.
OSStatus OutputUnitPull(AudioUnit unit, uint32_t frames, float* interleaved);

// What the last AudioOutputUnitStart on this unit ran into, as one line naming the API and
// device and the backend's reason; "" after a good start. The pointer lives as long as the unit
// and until its next start.
const char* OutputUnitErrorText(AudioUnit unit);
// True between a successful AudioOutputUnitStart and AudioOutputUnitStop.
bool OutputUnitIsRunning(AudioUnit unit);
// Device-backed units: what is playing ("JACK, device "system" at 44100 Hz ..."), "" otherwise.
const char* OutputUnitDeviceDescription(AudioUnit unit);
// True while the audio system has ended the unit's stream (its server stopped) and the unit
// is trying to open it again; false once sound is back. Any thread.
bool OutputUnitIsInterrupted(AudioUnit unit);
// Device-backed units: buffers the backend reported as underrun since the start.
uint64_t OutputUnitXrunCount(AudioUnit unit);
// The unit's sample time at a host time (CLOCK_MONOTONIC ns), on the clock the engine stamps
// events with: what a MIDI input stamps a message with when it knows when the message came.
// False before the unit's first buffer.
bool OutputUnitSampleTimeAt(AudioUnit unit, uint64_t hostNanoseconds, double* outSampleTime);

// No device service on Linux: both fail and leave their out-parameters untouched.
OSStatus AudioDeviceCreateIOProcID(AudioDeviceID device, AudioDeviceIOProc proc, void* clientData,
                                   AudioDeviceIOProcID* outId);
OSStatus AudioDeviceGetCurrentTime(AudioDeviceID device, AudioTimeStamp* outTime);
