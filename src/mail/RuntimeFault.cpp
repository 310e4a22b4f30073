#include "mail/RuntimeFault.h"

#include <new>
#include <stdexcept>

RuntimeFault describeFault(std::exception_ptr fault)
{
    try {
        std::rethrow_exception(fault);
    } catch (const std::out_of_range& e) {
        return {9, e.what()};
    } catch (const std::bad_alloc& e) {
        return {7, e.what()};
    } catch (const std::exception& e) {
        return {5, e.what()};
    } catch (...) {
        return {5, "unknown fault"};
    }
}

SjisText faultMessage(int number, const std::string& description)
{
    return "ERR(" + std::to_string(number) + ";" + description + ")";
}
