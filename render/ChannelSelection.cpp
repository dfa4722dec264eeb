#include "ChannelSelection.h"

#include <algorithm>
#include <charconv>

namespace {

bool parseChannel(const std::string& text, int& channel) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), channel);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() && channel >= 1 &&
           channel <= 16;
}

} // namespace

bool ChannelSelection::parse(const std::string& list, std::string& error) {
    uint32_t chosen = 0;
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        const std::string item = list.substr(start, comma - start);
        const size_t dash = item.find('-');
        int first = 0, last = 0;
        const bool valid = dash == std::string::npos
                               ? parseChannel(item, first) && parseChannel(item, last)
                               : parseChannel(item.substr(0, dash), first) &&
                                     parseChannel(item.substr(dash + 1), last) && first <= last;
        if (!valid) {
            error = "--channels takes channel numbers 1 to 16 and ranges such as 1-9,11-16, "
                    "not \"" +
                    list + "\"";
            return false;
        }
        for (int channel = first; channel <= last; ++channel)
            chosen |= 1u << (channel - 1);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    mask = chosen;
    return true;
}

void ChannelSelection::apply(RenderPlan& plan) const {
    if (playsEvery())
        return;
    std::erase_if(plan.messages, [this](const ScheduledMessage& message) {
        return !plays((message.bytes[0] & 0x0f) + 1);
    });
}
