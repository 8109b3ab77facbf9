#include "setup/session/policy_port.h"

namespace qv {

Answer PolicyAnswer(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok: return Answer::Ok;
        case Buttons::OkCancel: return Answer::Cancel;
        case Buttons::AbortRetryIgnore: return Answer::Abort;
        case Buttons::YesNo: return Answer::No;
        case Buttons::YesNoCancel: return Answer::Cancel;
        case Buttons::RetryCancel: return Answer::Cancel;
    }
    return Answer::Cancel;
}

std::string AnswerCaption(Answer answer) {
    switch (answer) {
        case Answer::Ok: return "OK";
        case Answer::Cancel: return "Cancel";
        case Answer::Abort: return "Abort";
        case Answer::Retry: return "Retry";
        case Answer::Ignore: return "Ignore";
        case Answer::Yes: return "Yes";
        case Answer::No: return "No";
    }
    return "?";
}

std::string MessageLogLine(const Message& message, Answer answer) {
    return "Message box \"" + message.title + "\": " + message.text + " -> " + AnswerCaption(answer) +
           SystemCause(message.cause);
}

Answer LoggingPort::ShowMessage(const Message& message) {
    const Answer answer = inner_.ShowMessage(message);
    log_.Write(MessageLogLine(message, answer));
    return answer;
}

void LoggingPort::LogStep(const std::string& line) {
    log_.Write(line);
    inner_.LogStep(line);
}

}  // namespace qv
