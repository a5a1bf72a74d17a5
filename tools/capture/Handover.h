// What passes between the video capture's threads, and how they stop.
//
// Pictures go round: free, drawn into, handed over, encoded, free again.
// Sound goes one way, in chunks of rendered music. Each queue is bounded, so
// a thread runs a few frames ahead of the next and never more; all of them
// share one lock.
//
// A thread that fails records why (SetError) and gives up; every other
// thread then stops at its next hand-over. Errors are recorded per thread,
// so the reason of the first to give up is kept here, for the thread that
// started the others to report once they have ended.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct AVFrame;

inline constexpr int FramesInFlight = 8; // pictures between drawing and encoding
inline constexpr int SoundInFlight = 64; // rendered chunks between music and encoding

using Clock = std::chrono::steady_clock;

// Seconds from `start` until now, for CaptureTimes.
double Since(Clock::time_point start);

// Names the calling thread, for top and perf, and lowers its priority (on
// Linux a thread has a nice value of its own), so that the encoder's threads
// go first whenever they can run. Only a hint: where it is refused, the
// threads share alike.
void GiveWay(const char* name);

// A queue between two threads: `arrived` wakes the one that takes, `left`
// the one that puts.
template <typename T> struct Queue {
    std::deque<T> items;
    std::condition_variable arrived, left;
};

struct Handover {
    std::mutex lock;
    std::vector<AVFrame*> pictures; // all the pictures that go round
    Queue<AVFrame*> free, drawn;
    Queue<std::vector<int16_t>> sound;
    bool done = false;   // everything has been handed over
    bool gaveUp = false; // a thread failed or was interrupted
    std::string reason;  // why the first thread to give up did
};

// Stops every thread: the calling thread has failed, after SetError. Its
// ErrorText becomes the reason, unless another thread gave up first.
void GiveUp(Handover& h);
bool GaveUp(Handover& h);
// Everything has been handed over: the takers end once the queues are empty.
void HandOverAll(Handover& h);

// Waits for room in `q`, fewer than `room` items, and puts `item` there;
// false once a thread has given up (the item is kept all the same, to be
// freed with the rest).
template <typename T> bool Put(Handover& h, Queue<T>& q, T item, size_t room) {
    std::unique_lock<std::mutex> lock(h.lock);
    q.left.wait(lock, [&] { return q.items.size() < room || h.gaveUp; });
    q.items.push_back(std::move(item));
    q.arrived.notify_one();
    return !h.gaveUp;
}

// Waits for the next of `q`; false once everything has been handed over and
// taken, or a thread has given up.
template <typename T> bool Take(Handover& h, Queue<T>& q, T& item) {
    std::unique_lock<std::mutex> lock(h.lock);
    q.arrived.wait(lock, [&] { return !q.items.empty() || h.done || h.gaveUp; });
    if (q.items.empty() || h.gaveUp) return false;
    item = std::move(q.items.front());
    q.items.pop_front();
    q.left.notify_one();
    return true;
}

// A picture after encoding: one that goes round is free again, a repeat's
// own frame is freed.
void GiveBack(Handover& h, AVFrame* picture);
