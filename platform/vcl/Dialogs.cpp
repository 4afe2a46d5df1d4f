#include "vcl/Dialogs.h"

X_REGISTER_CLASS(TFindDialog)

void TFindDialog::CloseDialog()
{
    // A copy: the handler may free the dialog and with it the event.
    if (TNotifyEvent Handler = OnClose)
        Handler(this);
}

void TFindDialog::Find()
{
    if (TNotifyEvent Handler = OnFind)
        Handler(this);
}
