#include "support/recording_port.h"

namespace qvtest {

using qv::Answer;
using qv::Buttons;

Answer ButtonAt(Buttons buttons, int position) {
    const int i = position - 1;
    switch (buttons) {
        case Buttons::Ok: return Answer::Ok;
        case Buttons::OkCancel: return i == 1 ? Answer::Cancel : Answer::Ok;
        case Buttons::AbortRetryIgnore: return i == 2 ? Answer::Ignore : i == 1 ? Answer::Retry : Answer::Abort;
        case Buttons::YesNoCancel: return i == 2 ? Answer::Cancel : i == 1 ? Answer::No : Answer::Yes;
        case Buttons::YesNo: return i == 1 ? Answer::No : Answer::Yes;
        case Buttons::RetryCancel: return i == 1 ? Answer::Cancel : Answer::Retry;
    }
    return Answer::Ok;
}

Answer RecordingPort::ShowMessage(const qv::Message& message) {
    messages.push_back(message);
    if (onMessage) onMessage(message);
    if (answers.empty()) return ButtonAt(message.buttons, message.defaultButton);
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

}  // namespace qvtest
