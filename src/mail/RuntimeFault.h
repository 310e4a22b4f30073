#pragma once
#include <exception>
#include <string>

#include "platform/SjisText.h"

// A fault thrown inside a socket handler, shown to the operator as
// "ERR(" number ";" description ")" in the style of the classic run-time
// error numbers: 9 for an index out of range, 7 for memory, 5 for the rest.
struct RuntimeFault {
    int number = 5;
    std::string description;
};

RuntimeFault describeFault(std::exception_ptr fault);

// "ERR(" + number + ";" + description + ")"
SjisText faultMessage(int number, const std::string& description);
