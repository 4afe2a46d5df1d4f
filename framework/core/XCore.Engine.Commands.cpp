// The command classes of the engine unit.
#include "core/XCore.Engine.h"

X_REGISTER_CLASS(TXCommandNotification)
X_REGISTER_CLASS(TXCommand)

void TXCommand::Create()
{
    inherited::Create();
    SetCountMode(2);
}
