#include "capture/Handover.h"

#include "common/Error.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <algorithm>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int GivingWay = 10; // the drawing and sound threads' nice value

void WakeAll(Handover& h) {
    for (std::condition_variable* c : {&h.free.arrived, &h.free.left, &h.drawn.arrived,
                                       &h.drawn.left, &h.sound.arrived, &h.sound.left})
        c->notify_all();
}

} // namespace

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void GiveWay(const char* name) {
    pthread_setname_np(pthread_self(), name);
    setpriority(PRIO_PROCESS, unsigned(gettid()), GivingWay);
}

void GiveUp(Handover& h) {
    std::lock_guard<std::mutex> lock(h.lock);
    // The first to give up failed; the others only stopped for it.
    if (!h.gaveUp) h.reason = ErrorText();
    h.gaveUp = true;
    WakeAll(h);
}

bool GaveUp(Handover& h) {
    std::lock_guard<std::mutex> lock(h.lock);
    return h.gaveUp;
}

void HandOverAll(Handover& h) {
    std::lock_guard<std::mutex> lock(h.lock);
    h.done = true;
    WakeAll(h);
}

void GiveBack(Handover& h, AVFrame* picture) {
    if (std::find(h.pictures.begin(), h.pictures.end(), picture) != h.pictures.end())
        Put(h, h.free, picture, FramesInFlight);
    else
        av_frame_free(&picture);
}
