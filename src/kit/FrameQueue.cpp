#include "kit/FrameQueue.h"

#include "kit/X11FrameQueue.h"

namespace kit {

namespace {
FrameQueue::Factory& factory()
{
    static FrameQueue::Factory installed;
    return installed;
}
} // namespace

std::unique_ptr<FrameQueue> FrameQueue::create()
{
    if (factory())
        return factory()();
    return X11FrameQueue::create();
}

void FrameQueue::setFactory(Factory made)
{
    factory() = std::move(made);
}

} // namespace kit
