#include "model/Location.h"

std::ostream& operator<<(std::ostream& os, const Location& location) {
    os << "LOCATION [" << location.name << "] (status " << location.status << ")" << std::endl;
    return os << location.serviceKeys;
}
