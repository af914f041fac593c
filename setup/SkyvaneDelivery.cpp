#include "setup/SkyvaneDelivery.h"

#include "platform/ui/Alert.h"

void alertNotDelivered(const Delivery& delivery, const std::string& title, const std::string& notRunningText,
                       Window* parent, std::function<void()> done) {
    if (delivery.delivered()) return;
    const bool refused = delivery.outcome == Delivery::Outcome::Refused && !delivery.reason.empty();
    Alert::create(title, refused ? delivery.reason : notRunningText, "OK")
        ->beginSheet(parent, [done = std::move(done)](int) {
            if (done) done();
        });
}
