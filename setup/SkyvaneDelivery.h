#pragma once
// What became of a call that carries preferences to the menu program, and
// the one alert that tells the user when it did not arrive: the menu program
// could not be reached (it is not running, or did not answer), or it refused
// the value and said why.

#include <functional>
#include <string>

class Window;

struct Delivery {
    enum class Outcome { Delivered, NotRunning, Refused };
    Outcome outcome = Outcome::NotRunning;
    // The menu program's reason when it refused.
    std::string reason;

    bool delivered() const { return outcome == Outcome::Delivered; }
    explicit operator bool() const { return delivered(); }
};

// Shows why a delivery failed: notRunningText when the menu program could not
// be reached, its own reason when it refused. The alert is a sheet on parent
// (on its own for null); done runs once the user has dismissed it.
void alertNotDelivered(const Delivery& delivery, const std::string& title, const std::string& notRunningText,
                       Window* parent, std::function<void()> done = {});
