// Where the composed screen goes. Private to the display library: one implementation per file.
#pragma once

#include "platform/display/Display.h"

#include <memory>
#include <string>

namespace platform {

class DisplayBackend {
public:
    virtual ~DisplayBackend() = default;
    virtual std::string name() const = 0;
    // Called with each new picture, one call at a time, from any thread.
    virtual void present(const std::shared_ptr<const ScreenImage>& image) = 0;
};

std::unique_ptr<DisplayBackend> createHeadlessDisplay();
// Null when no display can be opened.
std::unique_ptr<DisplayBackend> createSdlDisplay(int32_t width, int32_t height);

} // namespace platform
