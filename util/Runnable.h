// The work a Util::Thread runs.
#pragma once

namespace Util {

class Runnable {
public:
    virtual void Run() = 0;
    virtual ~Runnable() = default;
};

} // namespace Util
