#include "online/onlinemessages.h"

#include "platform/windowport.h"

void ShowOnlineMessages(const OnlineMessages& messages) {
    for (const OnlineMessage& m : messages)
        Port().MessageBox(m.text, m.caption, MB_OK_);
}
