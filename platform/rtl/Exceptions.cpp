#include "rtl/Exceptions.h"

Exception::Exception(String Message)
    : FMessage(std::move(Message))
    , FUtf8(StringToUTF8(FMessage))
{ }

void Exception::SetMessage(String Message)
{
    FMessage = std::move(Message);
    FUtf8 = StringToUTF8(FMessage);
}
