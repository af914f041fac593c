#include "app/RunningCopy.h"

#include <cstdio>
#include <vector>

#include "app/ComTeskPlim.h"
#include "app/SkyvaneProtocols.h"

namespace {

// A live copy answers from its bus thread at once, even while its main loop
// is busy; a stopped or hung holder must not hold this start up for long.
// Every name is asked at once, each with this bound of its own.
constexpr int kEachMs = 1000;

}  // namespace

std::string runningSkyvane() {
    std::vector<std::string> names;
    for (int n = 0; n < ComTeskPlim::kVendingNames; ++n) {
        char name[64];
        std::snprintf(name, sizeof name, kSkyvaneBusNameFormat, n);
        names.emplace_back(name);
    }
    return RemoteObject::firstOffering(names, kSkyvanePublic, kEachMs);
}
