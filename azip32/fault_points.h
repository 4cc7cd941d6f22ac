#pragma once
// The places where the library meets a loaded machine: a thread that cannot be started, and
// a worker's task that runs out of memory. Tests set a hook that throws there what the
// system would throw (std::system_error, std::bad_alloc); in the product there is none.
namespace ch::azip {

enum class FaultPoint {
    ThreadStart, // before each worker thread is started
    WorkerTask,  // on a worker thread, before it deflates a block or checks an entry
};

using FaultHook = void (*)(FaultPoint point);
inline FaultHook faultHook = nullptr;

inline void faultPoint(FaultPoint point) {
    if (faultHook)
        faultHook(point);
}

} // namespace ch::azip
