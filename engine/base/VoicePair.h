// Two voices' values side by side, for the units that render voices in lockstep.
//
// The filters' recurrences are bound by latency: one voice's next output waits for its last.
// Two voices in the lanes of one SSE2 register (baseline x86-64) advance together for the cost
// of one, and the state of a four-pole filter for two voices still fits the sixteen registers;
// four lanes would spill it to memory and lose the gain. Each lane's add, multiply and divide
// is the IEEE operation a scalar performs, so a lane gives its voice's bits.
//
// The templates that render voices take the lane type: double for one voice, VoicePair for two.
// The wavetable oscillator uses the same lanes for two frames of one voice.
#pragma once

using VoicePair = double __attribute__((vector_size(2 * sizeof(double))));

template <typename Lanes> constexpr int laneCount = 1;
template <> constexpr int laneCount<VoicePair> = 2;

inline double laneOf(double value, int) {
    return value;
}
inline double laneOf(const VoicePair& value, int lane) {
    return value[lane];
}
inline void setLane(double& value, int, double x) {
    value = x;
}
inline void setLane(VoicePair& value, int lane, double x) {
    value[lane] = x;
}
// Frame i of each lane's buffer, and back.
template <typename Lanes> inline Lanes gatherLanes(double* const* buffers, int i) {
    Lanes x{};
    for (int lane = 0; lane < laneCount<Lanes>; ++lane)
        setLane(x, lane, buffers[lane][i]);
    return x;
}
template <typename Lanes> inline void scatterLanes(double* const* buffers, int i, const Lanes& x) {
    for (int lane = 0; lane < laneCount<Lanes>; ++lane)
        buffers[lane][i] = laneOf(x, lane);
}
