/*
 * Records that cross between an audio output, the engine and its host.
 *
 * They keep the layout a host's audio callback is written against: a time stamp of 64 bytes,
 * a buffer list with a variable number of buffers, an opaque output-unit handle and 32-bit
 * device ids. Plain C so the engine's public header can carry them.
 */
#ifndef CORVENA_AUDIO_TYPES_H
#define CORVENA_AUDIO_TYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t OSStatus;
typedef uint32_t AudioObjectID;
typedef AudioObjectID AudioDeviceID;

/* Opaque handles: the engine and the host only pass them on. */
typedef struct OutputUnit* AudioUnit;
typedef struct OutputComponent* AudioComponent;
typedef struct DeviceIOProcRecord* AudioDeviceIOProcID;

typedef struct SMPTETime {
    int16_t mSubframes;
    int16_t mSubframeDivisor;
    uint32_t mCounter;
    uint32_t mType;
    uint32_t mFlags;
    int16_t mHours;
    int16_t mMinutes;
    int16_t mSeconds;
    int16_t mFrames;
} SMPTETime;

typedef struct AudioTimeStamp {
    double mSampleTime; /* output frames since the output started */
    uint64_t mHostTime; /* host clock, nanoseconds */
    double mRateScalar;
    uint64_t mWordClockTime;
    SMPTETime mSMPTETime;
    uint32_t mFlags;
    uint32_t mReserved;
} AudioTimeStamp;

typedef struct AudioBuffer {
    uint32_t mNumberChannels;
    uint32_t mDataByteSize;
    void* mData;
} AudioBuffer;

/* mBuffers is declared with one element; a list of n buffers is allocated with room for n. */
typedef struct AudioBufferList {
    uint32_t mNumberBuffers;
    AudioBuffer mBuffers[1];
} AudioBufferList;

typedef OSStatus (*AURenderCallback)(void* inRefCon, uint32_t* ioActionFlags,
                                     const AudioTimeStamp* inTimeStamp, uint32_t inBusNumber,
                                     uint32_t inNumberFrames, AudioBufferList* ioData);

typedef struct AURenderCallbackStruct {
    AURenderCallback inputProc;
    void* inputProcRefCon;
} AURenderCallbackStruct;

typedef OSStatus (*AudioDeviceIOProc)(AudioObjectID inDevice, const AudioTimeStamp* inNow,
                                      const AudioBufferList* inInputData,
                                      const AudioTimeStamp* inInputTime,
                                      AudioBufferList* outOutputData,
                                      const AudioTimeStamp* inOutputTime, void* inClientData);

typedef struct AudioStreamBasicDescription {
    double mSampleRate;
    uint32_t mFormatID;
    uint32_t mFormatFlags;
    uint32_t mBytesPerPacket;
    uint32_t mFramesPerPacket;
    uint32_t mBytesPerFrame;
    uint32_t mChannelsPerFrame;
    uint32_t mBitsPerChannel;
    uint32_t mReserved;
} AudioStreamBasicDescription;

typedef struct AudioComponentDescription {
    uint32_t componentType;
    uint32_t componentSubType;
    uint32_t componentManufacturer;
    uint32_t componentFlags;
    uint32_t componentFlagsMask;
} AudioComponentDescription;

#ifdef __cplusplus
} /* extern "C" */
#endif

#ifdef __cplusplus
#define CORVENA_STATIC_ASSERT static_assert
#else
#define CORVENA_STATIC_ASSERT _Static_assert
#endif

CORVENA_STATIC_ASSERT(sizeof(SMPTETime) == 24, "SMPTETime is 24 bytes");
CORVENA_STATIC_ASSERT(sizeof(AudioTimeStamp) == 64, "AudioTimeStamp is 64 bytes");
CORVENA_STATIC_ASSERT(offsetof(AudioTimeStamp, mSampleTime) == 0, "mSampleTime at 0");
CORVENA_STATIC_ASSERT(offsetof(AudioTimeStamp, mHostTime) == 8, "mHostTime at 8");
CORVENA_STATIC_ASSERT(offsetof(AudioTimeStamp, mRateScalar) == 16, "mRateScalar at 16");
CORVENA_STATIC_ASSERT(offsetof(AudioTimeStamp, mWordClockTime) == 24, "mWordClockTime at 24");
CORVENA_STATIC_ASSERT(offsetof(AudioTimeStamp, mSMPTETime) == 32, "mSMPTETime at 32");
CORVENA_STATIC_ASSERT(offsetof(AudioTimeStamp, mFlags) == 56, "mFlags at 56");
CORVENA_STATIC_ASSERT(offsetof(AudioTimeStamp, mReserved) == 60, "mReserved at 60");
CORVENA_STATIC_ASSERT(sizeof(AURenderCallbackStruct) == 16, "render callback record is 16 bytes");
CORVENA_STATIC_ASSERT(sizeof(AudioStreamBasicDescription) == 40, "stream format is 40 bytes");
CORVENA_STATIC_ASSERT(offsetof(AudioBufferList, mBuffers) == 8, "buffers follow the count");
CORVENA_STATIC_ASSERT(sizeof(AudioBuffer) == 16, "AudioBuffer is 16 bytes");

#endif
