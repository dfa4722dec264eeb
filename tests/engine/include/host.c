/* A host written in C: includes only the public header, links only the engine library, and
 * drives it through the exported render callback in both buffer layouts. Exits non-zero on the
 * first broken promise. */
#include "Corvena_Core.h"

#include <stdio.h>
#include <string.h>

static int failures = 0;
#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond);                             \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

static void renderInterleaved(DspObject dsp, double sampleTime, float* data, unsigned frames) {
    AudioTimeStamp stamp;
    AudioBufferList list;
    uint32_t flags = 0;
    memset(&stamp, 0, sizeof stamp);
    stamp.mSampleTime = sampleTime;
    stamp.mHostTime = 1000000000ull;
    list.mNumberBuffers = 1;
    list.mBuffers[0].mNumberChannels = 2;
    list.mBuffers[0].mDataByteSize = frames * 8;
    list.mBuffers[0].mData = data;
    CHECK(AudioUnitAudioOutputProc(dsp, &flags, &stamp, 0, frames, &list) == 0);
}

int main(int argc, char** argv) {
    char fallback[] = "/nonexistent/Resources.bundle";
    char* path = argc > 1 ? argv[1] : fallback;
    float interleaved[2 * 512];
    float left[512], right[512];
    unsigned char storage[sizeof(AudioBufferList) + sizeof(AudioBuffer)];
    AudioBufferList* twoBuffers = (AudioBufferList*)storage;
    AudioTimeStamp stamp;
    uint32_t flags = 0;
    ParameterInfo info;
    float loudest;
    int i;
    DspObject dsp = CreateDspObject();
    CHECK(dsp != NULL);
    CHECK(strcmp(DspSetBundleDirectoryPath(dsp, path), path) == 0);
    DspSetParameterCallback(dsp, NULL);
    DspInitialize(dsp);

    memset(&stamp, 0, sizeof stamp);
    stamp.mSampleTime = 0;
    CHECK(DspSetEventWithTimeStamp(dsp, stamp, EventSubTypeParameter, ParameterTypeDelayMix, 0.4996,
                                   0, 0) == 0.5);
    CHECK(DspSetEventWithTimeStamp(dsp, stamp, EventSubTypeNoteOn, ParameterTypeNone, 60, 100, 0) ==
          60);
    info = DspGetParameterInfo(dsp, ParameterTypeDelayMix);
    CHECK(info.normalizedValue == 0.5 && strcmp(info.name, "Delay Mix") == 0);

    /* The note stamped at sample 0 is due at 1024: frames 0..1023 are silent, in both layouts. */
    memset(interleaved, 0x7f,
           sizeof interleaved); /* 0x7f bytes make NaNs: every slot must change */
    renderInterleaved(dsp, 0, interleaved, 512);
    for (i = 0; i < 1024; ++i)
        CHECK(interleaved[i] == 0.0f);

    memset(&stamp, 0, sizeof stamp);
    stamp.mSampleTime = 512;
    stamp.mHostTime = 1000000000ull;
    twoBuffers->mNumberBuffers = 2;
    twoBuffers->mBuffers[0].mNumberChannels = 1;
    twoBuffers->mBuffers[0].mDataByteSize = sizeof left;
    twoBuffers->mBuffers[0].mData = left;
    twoBuffers->mBuffers[1].mNumberChannels = 1;
    twoBuffers->mBuffers[1].mDataByteSize = sizeof right;
    twoBuffers->mBuffers[1].mData = right;
    memset(left, 0x7f, sizeof left);
    memset(right, 0x7f, sizeof right);
    CHECK(AudioUnitAudioOutputProc(dsp, &flags, &stamp, 0, 512, twoBuffers) == 0);
    for (i = 0; i < 512; ++i)
        CHECK(left[i] == 0.0f && right[i] == 0.0f);

    /* From sample 1024 on the note sounds, left and right alike. */
    renderInterleaved(dsp, 1024, interleaved, 512);
    loudest = 0.0f;
    for (i = 0; i < 512; ++i) {
        CHECK(interleaved[2 * i] == interleaved[2 * i + 1]);
        if (interleaved[2 * i] > loudest)
            loudest = interleaved[2 * i];
    }
    CHECK(loudest > 0.01f);

    CHECK(velocity_default[127] == 1.0 && velocity_default[0] == 0.001);
    CHECK(Corvena_CoreVersionNumber == 1.0);
    CHECK(strncmp((const char*)Corvena_CoreVersionString, "@(#)PROGRAM:Corvena_Core", 24) == 0);
    ReleaseDspObject(dsp);
    ReleaseDspObject(NULL);
    if (failures == 0)
        printf("C host: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
