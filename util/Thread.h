// A named system thread that runs one Runnable, can be asked to stop, is joined with a time-out
// when destroyed, and lets no exception escape. A body that outlives its object's destruction
// is left running detached and never touches the destroyed object.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "util/Runnable.h"

namespace boost {
class thread;
}

namespace Util {

class Thread {
public:
    enum State : int32_t {
        kCreated = 0,
        kRunning = 1,
        kStopRequested = 2,
        kFinished = 3,
    };
    static constexpr int kNormalPriority = 3;
    static constexpr int kIdlePriority = 7;
    static constexpr int32_t kInfinite = -1;
    static constexpr int32_t kDestroyJoinTimeoutMs = 10000;

    // runnable is not owned and must outlive the body's run.
    Thread(std::string name, Runnable* runnable);
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    virtual void stop();
    virtual bool isStopRequested() const;
    // Stops, then waits up to 10 s for the body; a body still running then is left detached.
    virtual ~Thread();

    void start();
    void setPriority(int priority);
    // True when the thread is not running when this returns. kInfinite waits for good.
    bool join(int32_t timeoutMs);

    // How long the destructor waits for the body; 10 s unless a test shortens it.
    void setDestroyTimeout(int32_t timeoutMs) { m_destroyTimeoutMs = timeoutMs; }

    const std::string& name() const;
    State state() const;

private:
    struct Shared;
    static void entry(std::shared_ptr<Shared> shared);

    // Shared with the running body, so that the body can outlive this object safely.
    std::shared_ptr<Shared> m_shared;
    int32_t m_destroyTimeoutMs = kDestroyJoinTimeoutMs;
};

} // namespace Util
