#pragma once
// Messages an online exchange has for the user. The exchange runs on a worker and only
// collects them; the window thread shows them afterwards, in the order they came.
#include <string>
#include <vector>

struct OnlineMessage {
    std::string text;
    std::string caption;
};

using OnlineMessages = std::vector<OnlineMessage>;

// Shows each message with an OK button (through the window port), in order.
void ShowOnlineMessages(const OnlineMessages& messages);
