#include "setup/dialogs/user_port_win.h"

#include "setup/dialogs/form.h"

namespace qv {
namespace {

UINT ButtonFlags(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok: return MB_OK;
        case Buttons::OkCancel: return MB_OKCANCEL;
        case Buttons::AbortRetryIgnore: return MB_ABORTRETRYIGNORE;
        case Buttons::YesNoCancel: return MB_YESNOCANCEL;
        case Buttons::YesNo: return MB_YESNO;
        case Buttons::RetryCancel: return MB_RETRYCANCEL;
    }
    return MB_OK;
}

UINT IconFlags(Icon icon) {
    switch (icon) {
        case Icon::None: return 0;
        case Icon::Critical: return MB_ICONHAND;
        case Icon::Question: return MB_ICONQUESTION;
        case Icon::Exclamation: return MB_ICONEXCLAMATION;
        case Icon::Information: return MB_ICONASTERISK;
    }
    return 0;
}

UINT DefaultButtonFlags(int position) {
    switch (position) {
        case 2: return MB_DEFBUTTON2;
        case 3: return MB_DEFBUTTON3;
        default: return MB_DEFBUTTON1;
    }
}

Answer ToAnswer(int id) {
    switch (id) {
        case IDOK: return Answer::Ok;
        case IDABORT: return Answer::Abort;
        case IDRETRY: return Answer::Retry;
        case IDIGNORE: return Answer::Ignore;
        case IDYES: return Answer::Yes;
        case IDNO: return Answer::No;
        default: return Answer::Cancel;  // IDCANCEL, and 0 when the box could not be shown
    }
}

}  // namespace

Answer WinUserPort::ShowMessage(const Message& message) {
    const UINT flags = ButtonFlags(message.buttons) | IconFlags(message.icon) |
                       DefaultButtonFlags(message.defaultButton) | (owner_ ? MB_APPLMODAL : MB_TASKMODAL);
    return ToAnswer(MessageBoxA(owner_, message.text.c_str(), message.title.c_str(), flags));
}

void WinUserPort::DoEvents() {
    if (!events_.Due()) return;
    BeforeEvents();
    PumpPendingMessages();
}

void PumpPendingMessages() { ui::PumpPendingMessages(); }

}  // namespace qv
