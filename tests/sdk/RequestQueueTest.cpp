// The worker's request queue on its own, at orderings the host-level suites cannot force: a
// request queued while another runs, changes made while one waits, and the queue's close.
#include "sdk/RequestQueue.h"

#include <QObject>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A frame whose name is its device id; the queue takes its own reference.
struct Frame
{
    explicit Frame(const char *name)
        : request(FrameRequest::create(name, {}))
    { }
    ~Frame() { request->release(); }
    FrameRequest *request;
};

class Queue : public testing::Test
{
protected:
    // Runs what is queued, writing each request's name ("change" for a change) to the log.
    void run(const std::function<void(FrameRequest *)> &inside = {})
    {
        queue.run([&](FrameRequest *request) {
            log += std::string(request ? request->deviceId() : "change") + " ";
            if (request)
                request->start();
            if (inside)
                inside(request);
        });
    }

    QObject worker; // wakes are posted to it, and never delivered: the test runs the queue itself
    RequestQueue queue { &worker };
    std::string log;
};

} // namespace

// An SDK call that delivers the worker's events runs the queue again from inside a request: what
// came meanwhile waits until that request has returned, then runs in order.
TEST_F(Queue, ARequestQueuedWhileAnotherRunsRunsAfterIt)
{
    const Frame first("first"), second("second");
    queue.post(first.request);
    run([&](FrameRequest *request) {
        if (request != first.request)
            return;
        queue.post(second.request);
        queue.want(true);
        run(); // the pump: runs nothing
        log += "returned ";
    });
    EXPECT_EQ(log, "first returned second change ");
    EXPECT_EQ(second.request->waitFor(0), FrameRequest::Done);
}

// Changes made while one waits are one change that acts on the last state; one made after it
// was taken is a change of its own; a worker's own change joins a waiting one.
TEST_F(Queue, ChangesWhileOneWaitsAreOneAndActOnTheLast)
{
    queue.want(true);
    queue.want(false);
    queue.want(true);
    queue.queueChange();
    std::vector<RequestQueue::Wanted> acted;
    run([&](FrameRequest *) {
        acted.push_back(queue.takeChange());
        if (acted.size() == 1)
            queue.want(false);
    });
    ASSERT_EQ(acted.size(), 2u);
    EXPECT_TRUE(acted[0].open);
    EXPECT_EQ(acted[0].opening, 2u); // wanted open twice after being wanted closed
    EXPECT_FALSE(acted[1].open);
    EXPECT_EQ(log, "change change ");
}

// Closed, the queue drops the frames it holds and every later one at once (their hosts return),
// keeps its changes, and queues nothing more.
TEST_F(Queue, ClosedItDropsFramesAndQueuesNothing)
{
    const Frame queued("queued"), late("late");
    queue.want(true);
    queue.post(queued.request);
    queue.close();
    EXPECT_EQ(queued.request->waitFor(0), FrameRequest::Dropped);
    queue.post(late.request);
    queue.queueChange();
    EXPECT_EQ(late.request->waitFor(0), FrameRequest::Dropped);
    run();
    EXPECT_EQ(log, "change ");
}
