#include "platform/display/DisplayBackend.h"

namespace platform {

namespace {

// The picture already lives in memory, which is all a headless screen is.
class HeadlessDisplay final : public DisplayBackend {
public:
    std::string name() const override { return "headless"; }
    void present(const std::shared_ptr<const ScreenImage>&) override {}
};

} // namespace

std::unique_ptr<DisplayBackend> createHeadlessDisplay() { return std::make_unique<HeadlessDisplay>(); }

} // namespace platform
